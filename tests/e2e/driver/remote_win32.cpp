#include "remote_win32.h"

#include <commctrl.h>

namespace sk720drive {

std::optional<std::wstring> statusText(HWND statusBar, int part) {
  DWORD pid = 0;
  GetWindowThreadProcessId(statusBar, &pid);
  HANDLE process = OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
      pid);
  if (!process) return std::nullopt;
  constexpr size_t kChars = 2048;
  std::vector<wchar_t> local(kChars, L'\0');
  void* remote = VirtualAllocEx(process, nullptr, kChars * sizeof(wchar_t),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  std::optional<std::wstring> result;
  // Wine writes nothing at all for an empty part, not even the terminator: zero first.
  if (remote &&
      WriteProcessMemory(process, remote, local.data(), kChars * sizeof(wchar_t), nullptr)) {
    DWORD_PTR ignored = 0;
    const DWORD_PTR lengthWord = SendMessageW(statusBar, SB_GETTEXTLENGTHW, WPARAM(part), 0);
    if (LOWORD(lengthWord) < kChars &&
        SendMessageTimeoutW(statusBar, SB_GETTEXTW, WPARAM(part), LPARAM(remote), SMTO_ABORTIFHUNG,
                            2000, &ignored) &&
        ReadProcessMemory(process, remote, local.data(), kChars * sizeof(wchar_t), nullptr)) {
      local[kChars - 1] = L'\0';
      result = std::wstring(local.data());
    }
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return result;
}

ComboContents comboContents(HWND combo) {
  ComboContents c;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(i), 0);
    std::wstring text(size_t(len > 0 ? len : 0) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), LPARAM(text.data()));
    text.resize(wcslen(text.c_str()));
    c.items.push_back(text);
  }
  c.selection = int(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  return c;
}

std::optional<uint64_t> pictureHash(HWND w) {
  RECT r;
  if (!GetWindowRect(w, &r)) return std::nullopt;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return 0;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::optional<uint64_t> result;
  if (dib) {
    HGDIOBJ old = SelectObject(memory, dib);
    if (BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY)) {
      GdiFlush();
      uint64_t hash = 1469598103934665603ull;  // FNV-1a over the pixels
      const auto* px = static_cast<const uint32_t*>(bits);
      for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
        hash = (hash ^ (px[i] & 0xFFFFFFu)) * 1099511628211ull;
      result = hash;
    }
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return result;
}

}  // namespace sk720drive
