#include "views/dib_surface_win32.h"

namespace sk720 {

BITMAPINFO dibInfo(int32_t w, int32_t h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

void makeSurface(HDC ref, int32_t w, int32_t h, HDC& dc, HBITMAP& bmp, HGDIOBJ& old,
                 uint32_t** bits) {
  const BITMAPINFO bi = dibInfo(w, h);
  void* p = nullptr;
  bmp = CreateDIBSection(ref, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  dc = nullptr;
  if (!bmp) return;
  dc = CreateCompatibleDC(ref);
  old = SelectObject(dc, bmp);
}

void freeSurface(HDC& dc, HBITMAP& bmp, HGDIOBJ old) {
  if (dc) {
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  if (bmp) DeleteObject(bmp);
  dc = nullptr;
  bmp = nullptr;
}

}  // namespace sk720
