#include <windows.h>

#include "app/dialogs_win32.h"

#include "app/ui_text_win32.h"
#include "resource.h"

namespace sk720 {

namespace {

INT_PTR CALLBACK aboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
  case WM_INITDIALOG: {
    HICON icon = LoadIconW(programInstance(), MAKEINTRESOURCEW(IDI_SK720));
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        SendMessageW(c, STM_SETICON, WPARAM(icon), 0);
      }
    }
    return TRUE;
  }
  case WM_COMMAND:
    if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
      EndDialog(dlg, LOWORD(wParam));
      return TRUE;
    }
    break;
  default:
    break;
  }
  return FALSE;
}

INT_PTR CALLBACK noticeProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
  case WM_INITDIALOG: {
    const auto *text = reinterpret_cast<const std::wstring *>(lParam);
    if (text && !text->empty()) {
      // The template's one static text carries the message.
      for (HWND c = GetWindow(dlg, GW_CHILD); c;
           c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(c, cls, 16);
        if (lstrcmpiW(cls, L"Static") == 0) {
          SetWindowTextW(c, text->c_str());
          break;
        }
      }
    }
    // Centred on the mouse pointer.
    POINT p;
    GetCursorPos(&p);
    RECT r;
    GetWindowRect(dlg, &r);
    SetWindowPos(dlg, nullptr, p.x - (r.right - r.left) / 2,
                 p.y - (r.bottom - r.top) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetTimer(dlg, 1, 500, nullptr);
    return TRUE;
  }
  case WM_TIMER:
    KillTimer(dlg, 1);
    EndDialog(dlg, 0);
    return TRUE;
  case WM_COMMAND:
    if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
      EndDialog(dlg, 0);
      return TRUE;
    }
    break;
  default:
    break;
  }
  return FALSE;
}

} // namespace

void showAboutDialog(HWND owner) {
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(IDD_ABOUT), owner,
                  aboutProc, 0);
}

void showNoticeDialog(HWND owner, const std::wstring &text) {
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(IDD_NOTICE), owner,
                  noticeProc, LPARAM(&text));
}

} // namespace sk720
