#pragma once
// The small modal dialogs: About and the half-second notice.
#include <windows.h>

#include <string>

namespace sk720 {

void showAboutDialog(HWND owner);
// Template 130 with its text replaced when text is not empty; closes itself
// after 500 ms.
void showNoticeDialog(HWND owner, const std::wstring &text = {});

} // namespace sk720
