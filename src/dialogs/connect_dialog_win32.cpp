// Dialog 129: runs the connect thread and stays up until it has ended.
#include "dialogs/connect_dialog_win32.h"

#include <windows.h>

#include "app/app_data_win32.h"
#include "app/main_commands_win32.h"
#include "app/ui_text_win32.h"
#include "live/live_link_win32.h"
#include "resource.h"

namespace sk720 {

namespace {

// The template's one text line (identifier -1) is its first static control.
HWND progressLine(HWND dlg) {
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    GetClassNameW(c, cls, 16);
    if (lstrcmpiW(cls, L"Static") == 0) return c;
  }
  return nullptr;
}

INT_PTR CALLBACK connectProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  AppData* a = appDataOf(GetParent(dlg));
  switch (msg) {
    case WM_INITDIALOG: {
      if (!a) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      a->live.connectDialog = dlg;
      {
        std::lock_guard<std::mutex> g(a->settingsLock);
        LoadRecords(*a->settings, &a->sonar, &a->view);
      }
      // The head starts with what the toolbar shows, not with the stored quick settings.
      toolbarToRecords(*a);
      if (!beginConnect(*a, *reinterpret_cast<const ConnectJob*>(lParam))) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      SetTimer(dlg, 1, 1000, nullptr);
      return TRUE;
    }
    case WM_TIMER:
      if (a && !a->live.connecting.load()) {
        KillTimer(dlg, 1);
        EndDialog(dlg, IDOK);
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL && a) {
        cancelConnect(*a);
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      if (a && a->live.connectDialog == dlg) a->live.connectDialog = nullptr;
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void setConnectProgress(HWND dlg, UINT textId) {
  if (HWND line = progressLine(dlg)) SetWindowTextW(line, loadText(textId).c_str());
}

void runConnectDialog(HWND main, const ConnectJob& job) {
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(IDD_CONNECT), main, connectProc,
                  LPARAM(&job));
}

}  // namespace sk720
