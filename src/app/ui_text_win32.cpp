#include <windows.h>

#include "app/ui_text_win32.h"

#include <commctrl.h>

#include "app/ui_strings_win32.h"
#include "base/utf16.h"

namespace sk720 {

namespace {
HINSTANCE gInstance = nullptr;
}

HINSTANCE programInstance() { return gInstance ? gInstance : GetModuleHandleW(nullptr); }
void setProgramInstance(HINSTANCE instance) { gInstance = instance; }

std::wstring loadText(UINT id) { return loadUiString(id); }

void ShowLastError(HWND owner) {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&text), 0,
      nullptr);
  std::wstring message = n && text ? std::wstring(text, n) : L"Error " + std::to_wstring(error);
  if (text) LocalFree(text);
  MessageBoxW(owner, message.c_str(), L"GetLastError", MB_OK);
}

void showErrorText(HWND owner, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), L"Error", MB_OK | MB_ICONWARNING);
}

void setStatusPart(HWND statusBar, int part, const std::wstring& text) {
  if (statusBar) SendMessageW(statusBar, SB_SETTEXTW, WPARAM(part), LPARAM(text.c_str()));
}

std::wstring formatText(const std::wstring& pattern, const std::wstring& value) {
  std::wstring out = pattern;
  for (const wchar_t* mark : {L"%s", L"%u"}) {
    const size_t at = out.find(mark);
    if (at != std::wstring::npos) return out.replace(at, 2, value);
  }
  return out;
}

}  // namespace sk720
