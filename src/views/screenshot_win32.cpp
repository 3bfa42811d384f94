#include "views/screenshot_win32.h"

// clang-format off
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <vector>

#include "base/timestamp.h"
#include "base/wide_text_win32.h"

namespace sk720 {

namespace G = Gdiplus::DllExports;

namespace {

bool isDirectory(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool FindImageEncoder(const wchar_t* mimeType, CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (G::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0) {
    return false;
  }
  std::vector<uint8_t> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (G::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, mimeType) == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

ScreenshotResult saveScreenshotAs(const std::string& workingFolder, const std::string& name,
                                  const BITMAPINFO* info, void* pixels) {
  ScreenshotResult result;
  CLSID png;
  if (!FindImageEncoder(L"image/png", &png)) {
    result.failure = ScreenshotFailure::NoEncoder;
    return result;
  }
  if (!screenshotPath(workingFolder, name, result.path)) {
    result.failure = ScreenshotFailure::PathTooLong;
    return result;
  }
  const std::wstring folder = widen(workingFolder);
  if (!isDirectory(folder)) CreateDirectoryW(folder.c_str(), nullptr);

  Gdiplus::GpBitmap* bitmap = nullptr;
  if (G::GdipCreateBitmapFromGdiDib(info, pixels, &bitmap) != Gdiplus::Ok || !bitmap) {
    result.failure = ScreenshotFailure::FolderNotWritable;
    return result;
  }
  const std::wstring path = widen(result.path);
  result.saved = G::GdipSaveImageToFile(bitmap, path.c_str(), &png, nullptr) == Gdiplus::Ok;
  G::GdipDisposeImage(bitmap);
  if (!result.saved) result.failure = ScreenshotFailure::FolderNotWritable;
  return result;
}

ScreenshotResult saveScreenshot(const std::string& workingFolder, ScreenshotKind kind,
                                const BITMAPINFO* info, void* pixels) {
  return saveScreenshotAs(workingFolder, screenshotFileName(kind, FormatTimestamp()), info, pixels);
}

}  // namespace sk720
