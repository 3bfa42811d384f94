#pragma once
// Draws overlay primitives onto a 32-bit BGRX image (cairo, native builds
// only).
#include <cstdint>
#include <string>

#include "scan/overlay_primitives.h"

namespace sk720::cli {

// The font the texts are drawn in: a fixed installed family, so that renders do
// not depend on the machine's default.
inline constexpr const char* kOverlayFontFamily = "DejaVu Sans";

// pixels: width x height, stridePixels apart, holding the part of the list's
// coordinate space that starts at (originX, originY). False (with a reason)
// when this build cannot draw.
bool paintOverlayList(uint32_t* pixels, int32_t width, int32_t height, int32_t stridePixels,
                      const OverlayList& list, std::string* error, int32_t originX = 0,
                      int32_t originY = 0);

// Gives back the font caches the drawing library keeps for the life of the
// process (so that leak checkers see a clean exit); the next paint builds them
// again.
void releaseOverlayFonts();

}  // namespace sk720::cli
