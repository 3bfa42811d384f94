#pragma once
// The small modal dialogs: About and the notice.
#include <windows.h>

#include <string>

#include "dialogs/notice_rules.h"

namespace sk720 {

void showAboutDialog(HWND owner);
// Template 130 with its text replaced when text is not empty, grown to show the whole text;
// closes itself after the kind's time (noticeShowMs) or at a click.
void showNoticeDialog(HWND owner, const std::wstring& text = {},
                      NoticeKind kind = NoticeKind::Done);
// The same notice without its own message loop (the caller destroys it).
HWND createNoticeWindow(HWND owner, const std::wstring& text, NoticeKind kind);

}  // namespace sk720
