#include "gps/gps_fix.h"

namespace sk720 {

void clearGpsFix(GpsFix& fix) {
  const GpsFix start;
  fix.lat.store(start.lat.load());
  fix.lon.store(start.lon.load());
  fix.pdop.store(start.pdop.load());
  fix.sig.store(start.sig.load());
  fix.fix.store(start.fix.load());
}

GpsFix& processGpsFix() {
  static GpsFix fix;
  return fix;
}

}  // namespace sk720
