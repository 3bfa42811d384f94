#include "gps/gps_fix.h"

namespace sk720 {

GpsFix& processGpsFix() {
  static GpsFix fix;
  return fix;
}

}  // namespace sk720
