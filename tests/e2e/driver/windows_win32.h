// Finding and reading the windows of the program under test from another process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sk720drive {

// The class name and title of the program's main window.
inline constexpr wchar_t kMainClass[] = L"QUORVIA_VEZADUDOR_GUI";
inline constexpr wchar_t kScanClass[] = L"Radar scan";

std::string toUtf8(const std::wstring& w);

std::wstring className(HWND w);
// The window's text as its own procedure reports it (WM_GETTEXT, marshalled across processes).
std::wstring windowText(HWND w);

// The descendants of parent, in creation (Z) order, of the given class (case-insensitive) whose
// text equals text; text "*" matches any.
std::vector<HWND> findChildren(HWND parent, const std::wstring& cls, const std::wstring& text);

HWND findMainWindow();
// A top-level dialog ("#32770") of the program's process whose title equals title ("*": any).
HWND findDialog(const std::wstring& title);

// Runs probe every 50 ms until it returns true or timeoutMs passed; true when it succeeded.
bool pollUntil(DWORD timeoutMs, const std::function<bool()>& probe);

}  // namespace sk720drive
