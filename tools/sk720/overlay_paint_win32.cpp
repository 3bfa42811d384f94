#include "sk720/overlay_paint.h"

namespace sk720::cli {

// The console companion on Windows links no drawing library; the program itself
// draws these with GDI+.
bool paintOverlayList(uint32_t*, int32_t, int32_t, int32_t, const OverlayList&, std::string* error,
                      int32_t, int32_t) {
  if (error) *error = "--overlays is drawn by the native build of sk720 only";
  return false;
}

void releaseOverlayFonts() {}

}  // namespace sk720::cli
