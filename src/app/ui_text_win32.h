#pragma once
// Texts of the interface: strings of the current language, conversions, message
// boxes.
#include <windows.h>

#include <string>

#include "base/wide_text_win32.h"

namespace sk720 {

HINSTANCE programInstance();
void setProgramInstance(HINSTANCE instance);

// String id of the current thread language's table; empty when absent.
std::wstring loadText(UINT id);

// The calling thread's last system error in a box titled "GetLastError".
void ShowLastError(HWND owner);
// A failure that is not a system error, in the same kind of box, with our own
// words.
void showErrorText(HWND owner, const std::wstring& text);

// A string table pattern with its one "%s" or "%u" replaced by the value's text.
std::wstring formatText(const std::wstring& pattern, const std::wstring& value);

// Status bar part text.
void setStatusPart(HWND statusBar, int part, const std::wstring& text);

}  // namespace sk720
