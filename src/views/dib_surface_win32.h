#pragma once
// 32-bit top-down DIB sections selected into their own memory DCs: the off-screen surfaces of
// the scan view and its overlay layer.
#include <windows.h>

#include <cstdint>

namespace sk720 {

BITMAPINFO dibInfo(int32_t w, int32_t h);

// Leaves dc null when the bitmap cannot be made.
void makeSurface(HDC ref, int32_t w, int32_t h, HDC& dc, HBITMAP& bmp, HGDIOBJ& old,
                 uint32_t** bits);
void freeSurface(HDC& dc, HBITMAP& bmp, HGDIOBJ old);

}  // namespace sk720
