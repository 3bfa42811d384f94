// The main window procedure: dispatch only. Creation, layout, commands and
// timers live in their own files.
#include <windows.h>

#include "app/main_window_win32.h"

#include <shellapi.h>

#include "app/main_commands_win32.h"
#include "app/main_layout.h"
#include "app/ui_text_win32.h"
#include "live/live_link_win32.h"

namespace sk720 {

const wchar_t kMainClassName[] = L"QUORVIA_VEZADUDOR_GUI";

namespace {
ProgramSwitches gSwitches;
HWND gMainWindow = nullptr;

void paintToolbarBackground(HWND hwnd, HDC dc) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  const LayoutRect r = toolbarBackground(rc.right, rc.bottom);
  if (r.width <= 0 || r.height <= 0) return;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, r.width, r.height);
  HGDIOBJ old = SelectObject(mem, bmp);
  RECT fill{0, 0, r.width, r.height};
  FillRect(mem, &fill, HBRUSH(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND)));
  BitBlt(dc, r.x, r.y, r.width, r.height, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

void onDestroy(HWND hwnd) {
  AppData* a = appDataOf(hwnd);
  if (a) {
    // Nothing the playback thread uses may go away while it runs; the record file is closed
    // after its pending writes.
    stopPlaybackNow(*a);
    shutdownLiveLink(*a);
    if (a->placement.fullScreen == 1) LeaveFullScreen(hwnd, a->placement);
    CapturePlacement(hwnd, a->placement);
    storePlacement(*a);
  }
  PostQuitMessage(0);
}

void onMoveOrSize(HWND hwnd) {
  AppData* a = appDataOf(hwnd);
  if (!a) return;
  if (a->placement.fullScreen == 0 && a->trackPlacement == 1 && !IsIconic(hwnd)) {
    CapturePlacement(hwnd, a->placement);
    storePlacement(*a);
  }
  LayoutMainWindow(hwnd);
}

void onDropFiles(HWND hwnd, HDROP drop) {
  std::vector<std::wstring> paths;
  const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    const UINT len = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring p(len + 1, L'\0');
    DragQueryFileW(drop, i, p.data(), len + 1);
    p.resize(len);
    paths.push_back(std::move(p));
  }
  DragFinish(drop);
  openPlaybackPaths(hwnd, paths);
}

}  // namespace

void setProgramSwitches(const ProgramSwitches& s) { gSwitches = s; }
HWND programMainWindow() { return gMainWindow; }

AppData* appDataOf(HWND hwnd) {
  for (HWND w = hwnd; w; w = GetParent(w)) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (lstrcmpW(cls, kMainClassName) == 0) {
      return reinterpret_cast<AppData*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    }
  }
  return nullptr;
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      gMainWindow = hwnd;
      return createMainWindowContents(hwnd, gSwitches) ? 0 : -1;
    case WM_DESTROY:
      onDestroy(hwnd);
      return 0;
    case WM_MOVE:
    case WM_SIZE:
      onMoveOrSize(hwnd);
      return 0;
    case WM_ERASEBKGND:
      paintToolbarBackground(hwnd, HDC(wParam));
      return 1;
    case WM_GETMINMAXINFO: {
      AppData* a = appDataOf(hwnd);
      auto* mm = reinterpret_cast<MINMAXINFO*>(lParam);
      mm->ptMinTrackSize.x = kMinTrackWidth;
      mm->ptMinTrackSize.y = a ? a->minTrackHeight : kMinTrackHeightShown;
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Labels, boxes and bars on the toolbar strip take the strip's colour.
      HDC dc = HDC(wParam);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
      return LRESULT(GetSysColorBrush(COLOR_MENU));
    }
    case WM_QUERYENDSESSION:
      return 1;
    case WM_ENDSESSION:
      // Only when the session really ends; a cancelled shutdown leaves the
      // program running.
      if (wParam) {
        if (AppData* a = appDataOf(hwnd)) {
          stopPlaybackNow(*a);
          shutdownLiveLink(*a);
        }
        PostQuitMessage(0);
      }
      return 0;
    case WM_COMMAND:
      if (OnMainCommand(hwnd, LOWORD(wParam), HWND(lParam), HIWORD(wParam))) return 0;
      break;
    case WM_TIMER:
      OnMainTimer(hwnd, UINT(wParam));
      return 0;
    case WM_DROPFILES:
      onDropFiles(hwnd, HDROP(wParam));
      return 0;
    case kMsgStatusText: {
      AppData* a = appDataOf(hwnd);
      auto* text = reinterpret_cast<std::wstring*>(lParam);
      if (a && text) setStatusPart(a->statusBar, int(wParam), *text);
      delete text;
      return 0;
    }
    default:
      if (onLinkMessage(hwnd, msg, wParam, lParam)) return 0;
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace sk720
