// GDI+ needs windows.h and objidl.h before it.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <string>
#include <vector>

#include "base/wide_text_win32.h"
#include "scan/png_writer.h"

namespace sk720 {

namespace {

bool findPngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) {
    return false;
  }
  std::vector<uint8_t> buf(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
  if (Gdiplus::DllExports::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

bool writePng(const std::string& path, const uint32_t* pixels, int width, int height,
              int stridePixels, Gdiplus::PixelFormat format, std::string* error) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
    if (error) *error = "GDI+ could not be started";
    return false;
  }
  bool ok = false;
  CLSID png;
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (!findPngEncoder(&png)) {
    if (error) *error = "no PNG encoder available";
  } else if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(
                 width, height, stridePixels * 4, format,
                 reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels)), &bitmap) != Gdiplus::Ok) {
    if (error) *error = "cannot create the image";
  } else {
    const std::wstring wpath = widen(path);
    ok = Gdiplus::DllExports::GdipSaveImageToFile(bitmap, wpath.c_str(), &png, nullptr) ==
         Gdiplus::Ok;
    if (!ok && error) *error = "cannot write " + path;
  }
  if (bitmap) Gdiplus::DllExports::GdipDisposeImage(bitmap);
  Gdiplus::GdiplusShutdown(token);
  return ok;
}

}  // namespace

bool writePngBgrx(const std::string& path, const uint32_t* pixels, int width, int height,
                  int stridePixels, std::string* error) {
  return writePng(path, pixels, width, height, stridePixels, PixelFormat32bppRGB, error);
}

// Non-premultiplied ARGB is the layout of 0xAARRGGBB in memory, and the encoder keeps the alpha.
bool writePngArgb(const std::string& path, const uint32_t* pixels, int width, int height,
                  int stridePixels, std::string* error) {
  return writePng(path, pixels, width, height, stridePixels, PixelFormat32bppARGB, error);
}

}  // namespace sk720
