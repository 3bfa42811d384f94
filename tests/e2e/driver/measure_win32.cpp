#include "measure_win32.h"

#include <chrono>
#include <string>
#include <thread>

#include "remote_win32.h"
#include "windows_win32.h"

namespace sk720drive {

int64_t headLogRecords(const std::wstring& path) {
  // The simulator appends while we read: share everything, read what is there.
  const HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return -1;
  int64_t records = 0;
  bool lineStart = true, comment = false;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got; ++i) {
      if (lineStart) comment = buffer[i] == '#';
      lineStart = buffer[i] == '\n';
      if (lineStart && !comment) ++records;  // a line counts once it is complete
    }
  }
  CloseHandle(f);
  return records;
}

int64_t millisecondsUntil(DWORD timeoutMs, const std::function<bool()>& probe) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool done = probe();
    const auto now = std::chrono::steady_clock::now();
    if (done) return std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
    if (now >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool captureWindow(HWND w, const std::wstring& path) {
  RECT r;
  if (!GetWindowRect(w, &r)) return false;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib) {
    HGDIOBJ old = SelectObject(memory, dib);
    if (BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY)) {
      GdiFlush();
      const DWORD stride = DWORD((width * 3 + 3) & ~3);
      const DWORD imageBytes = stride * DWORD(height);
      BITMAPFILEHEADER file = {};
      file.bfType = 0x4D42;  // "BM"
      file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
      file.bfSize = file.bfOffBits + imageBytes;
      info.bmiHeader.biSizeImage = imageBytes;
      const HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
      if (f != INVALID_HANDLE_VALUE) {
        DWORD n = 0;
        ok = WriteFile(f, &file, sizeof file, &n, nullptr) &&
             WriteFile(f, &info.bmiHeader, sizeof info.bmiHeader, &n, nullptr) &&
             WriteFile(f, bits, imageBytes, &n, nullptr);
        CloseHandle(f);
      }
    }
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace sk720drive
