#pragma once
// Writes a 32-bit top-down BGRX image as a PNG file (libpng natively, the GDI+ encoder on Windows).
#include <cstdint>
#include <string>

namespace sk720 {

// stridePixels: distance between rows in pixels. Returns false with a message on failure.
bool writePngBgrx(const std::string& path, const uint32_t* pixels, int width, int height,
                  int stridePixels, std::string* error);

// The same from 32-bit ARGB pixels (0xAARRGGBB), keeping the alpha channel: map layers whose
// pixels outside the scanned area must stay see-through.
bool writePngArgb(const std::string& path, const uint32_t* pixels, int width, int height,
                  int stridePixels, std::string* error);

}  // namespace sk720
