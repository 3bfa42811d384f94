#include <windows.h>

#include "dialogs/dialogs_win32.h"

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

struct NoticeRequest {
  const std::wstring* text;
  NoticeKind kind;
};

// Grows the text control and the window downwards until the wrapped text fits the control's
// width (a failure's reason is longer than the one line the template gives).
void fitNoticeText(HWND dlg, HWND line) {
  RECT r;
  GetWindowRect(line, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  const int length = GetWindowTextLengthW(line);
  std::wstring text(size_t(length) + 1, L'\0');
  GetWindowTextW(line, text.data(), length + 1);
  HDC dc = GetDC(line);
  HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageW(line, WM_GETFONT, 0, 0)));
  RECT need{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), length, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_CENTER);
  SelectObject(dc, old);
  ReleaseDC(line, dc);
  const int grow = need.bottom - height;
  if (grow <= 0) return;
  POINT topLeft{r.left, r.top};
  ScreenToClient(dlg, &topLeft);
  SetWindowPos(line, nullptr, topLeft.x, topLeft.y, width, height + grow,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RECT d;
  GetWindowRect(dlg, &d);
  SetWindowPos(dlg, nullptr, 0, 0, d.right - d.left, d.bottom - d.top + grow,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK noticeProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* request = reinterpret_cast<const NoticeRequest*>(lParam);
      HWND line = GetDlgItem(dlg, IDC_NOTICE_TEXT);
      if (request && request->text && !request->text->empty() && line) {
        SetWindowTextW(line, request->text->c_str());
      }
      if (line) fitNoticeText(dlg, line);
      const NoticeKind kind = request ? request->kind : NoticeKind::Done;
      // Centred on the mouse pointer.
      POINT p;
      GetCursorPos(&p);
      RECT r;
      GetWindowRect(dlg, &r);
      SetWindowPos(dlg, nullptr, p.x - (r.right - r.left) / 2, p.y - (r.bottom - r.top) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      SetTimer(dlg, 1, noticeShowMs(kind, size_t(GetWindowTextLengthW(line))), nullptr);
      return TRUE;
    }
    case WM_TIMER:
    case WM_LBUTTONDOWN:  // the text lets clicks through to the window
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

}  // namespace

void showAboutDialog(HWND owner) {
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(IDD_ABOUT), owner, aboutProc, 0);
}

void showNoticeDialog(HWND owner, const std::wstring& text, NoticeKind kind) {
  const NoticeRequest request{&text, kind};
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(IDD_NOTICE), owner, noticeProc,
                  LPARAM(&request));
}

HWND createNoticeWindow(HWND owner, const std::wstring& text, NoticeKind kind) {
  const NoticeRequest request{&text, kind};
  return CreateDialogParamW(programInstance(), MAKEINTRESOURCEW(IDD_NOTICE), owner, noticeProc,
                            LPARAM(&request));
}

}  // namespace sk720
