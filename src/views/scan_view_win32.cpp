// The scan view's window procedure: messages to interaction states, rebuilds
// and repaints.
#include <windows.h>

#include "views/scan_view_win32.h"

#include <windowsx.h>

#include "app/app_data_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_text_win32.h"
#include "dialogs/dialogs_win32.h"
#include "resource.h"
#include "scan/screenshot_rules.h"

namespace sk720 {

const wchar_t kScanViewClass[] = L"Radar scan";

namespace {

void rebuild(HWND hwnd, ScanView& v) {
  v.rebuildPending = false;
  AppData* a = appDataOf(hwnd);
  if (!a) return;
  RECT rc;
  GetClientRect(hwnd, &rc);
  v.image.panX = v.ui.panX;
  v.image.panY = v.ui.panY;
  v.image.displayRangeIndex = v.ui.displayRangeIndex;
  rebuildScanGeometry(v.image, *a->store, a->view, a->inputs, rc.right, rc.bottom);
  v.ui.displayRangeIndex = v.image.displayRangeIndex;
}

// A zoom or pan rebuilds at the next paint, not at once: the wheel turns queued before it then
// cost one rebuild instead of one each, and the picture keeps up with a fast wheel.
void apply(HWND hwnd, ScanView& v, ScanEffect e) {
  if (e == ScanEffect::Rebuild) v.rebuildPending = true;
  if (e != ScanEffect::None) InvalidateRect(hwnd, nullptr, FALSE);
}

int32_t dataRangeMm(HWND hwnd) {
  AppData* a = appDataOf(hwnd);
  return a ? a->inputs.currentRangeMm.load() : 10000;
}

void toggleFullScreen(HWND hwnd) {
  AppData* a = appDataOf(hwnd);
  if (!a) return;
  HWND main = a->mainWindow;
  if (a->placement.fullScreen == 0) {
    EnterFullScreen(main, a->placement);
  } else {
    LeaveFullScreen(main, a->placement);
    storePlacement(*a);
  }
}

void takeFocus(HWND hwnd) {
  if (GetFocus() != hwnd) SetFocus(hwnd);
}

void showContextMenu(HWND hwnd, ScanView& v, int x, int y) {
  if (!v.contextMenu) return;
  HMENU sub = GetSubMenu(v.contextMenu, 0);
  CheckMenuItem(sub, IDM_RULER, MF_BYCOMMAND | (v.ui.rulerMode == 1 ? MF_CHECKED : MF_UNCHECKED));
  POINT p{x, y};
  ClientToScreen(hwnd, &p);
  TrackPopupMenu(sub, 0, p.x, p.y, 0, hwnd, nullptr);
}

LRESULT onCreate(HWND hwnd) {
  auto* v = new ScanView();
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(v));
  v->ui.displayRangeIndex = rangeIndexOf(10000);
  v->image.displayRangeIndex = v->ui.displayRangeIndex;
  v->contextMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_SCANCONTEXT));
  SetTimer(hwnd, 1, 25, nullptr);
  return 0;
}

void onDestroy(HWND hwnd, ScanView* v) {
  KillTimer(hwnd, 1);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  if (!v) return;
  releaseScanSurfaces(v->surfaces);
  if (v->contextMenu) DestroyMenu(v->contextMenu);
  delete v;
}

LRESULT onMouse(HWND hwnd, ScanView& v, UINT msg, WPARAM keys, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  const bool shift = (keys & MK_SHIFT) != 0;  // from the message, not the keyboard state
  switch (msg) {
    case WM_MOUSEMOVE:
      takeFocus(hwnd);
      apply(hwnd, v, onMouseMove(v.ui, x, y, (keys & MK_LBUTTON) != 0, shift));
      break;
    case WM_LBUTTONDOWN:
      takeFocus(hwnd);
      SetCapture(hwnd);
      apply(hwnd, v, onLeftButtonDown(v.ui, x, y, shift));
      break;
    case WM_LBUTTONUP:
      // The drag ends here first: the release below reports a lost capture.
      apply(hwnd, v, onLeftButtonUp(v.ui, x, y, (keys & MK_LBUTTON) != 0));
      ReleaseCapture();
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

ScanView* scanViewOf(HWND hwnd) {
  return reinterpret_cast<ScanView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void scanViewResized(HWND hwnd, int32_t width, int32_t height, bool force) {
  ScanView* v = scanViewOf(hwnd);
  if (!v) return;
  if (!force && v->image.clientWidth == width && v->image.clientHeight == height &&
      v->image.imageSize > 0) {
    return;
  }
  rebuild(hwnd, *v);
}

void resetScanView(HWND hwnd) {
  ScanView* v = scanViewOf(hwnd);
  if (!v) return;
  resetForNewData(v->ui, dataRangeMm(hwnd));
  rebuild(hwnd, *v);
  InvalidateRect(hwnd, nullptr, FALSE);
}

namespace {

// "Screenshot saved" is the template's own text; a failure is said in the interface's language.
std::wstring screenshotNotice(bool saved, ScreenshotFailure failure) {
  if (saved) return std::wstring();
  const UINT reason = failure == ScreenshotFailure::NoEncoder     ? IDS_SHOT_NO_ENCODER
                      : failure == ScreenshotFailure::PathTooLong ? IDS_SHOT_PATH_TOO_LONG
                                                                  : IDS_SHOT_FOLDER_NOT_WRITABLE;
  return formatText(loadText(IDS_SCREENSHOT_NOT_SAVED), loadText(reason));
}

LRESULT CALLBACK scanViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) return onCreate(hwnd);
  ScanView* v = scanViewOf(hwnd);
  if (!v) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_DESTROY:
      onDestroy(hwnd, v);
      return 0;
    case WM_SIZE:
      resetForResize(v->ui);
      rebuild(hwnd, *v);
      return 0;
    case WM_PAINT:
      if (v->rebuildPending) rebuild(hwnd, *v);
      paintScanView(hwnd, *v);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the client area
    case WM_TIMER:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      switch (scanKeyOf(uint32_t(wParam))) {
        case ScanKey::ZoomIn:
          apply(hwnd, *v, onZoomKey(v->ui, true, dataRangeMm(hwnd)));
          break;
        case ScanKey::ZoomOut:
          apply(hwnd, *v, onZoomKey(v->ui, false, dataRangeMm(hwnd)));
          break;
        case ScanKey::FullScreen:
          if (v->ui.rulerMode != 1) toggleFullScreen(hwnd);
          break;
        case ScanKey::Other:
          break;
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDM_SCREENSHOT) v->screenshotRequested = 1;
      if (LOWORD(wParam) == IDM_RULER) toggleRuler(v->ui);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return onMouse(hwnd, *v, msg, wParam, lParam);
    case WM_RBUTTONDOWN:
      showContextMenu(hwnd, *v, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_CAPTURECHANGED:
      if (HWND(lParam) != hwnd) apply(hwnd, *v, onCaptureLost(v->ui));
      return 0;
    case WM_MOUSEWHEEL:
      apply(hwnd, *v, onWheel(v->ui, GET_WHEEL_DELTA_WPARAM(wParam), dataRangeMm(hwnd)));
      return 0;
    case kMsgPlaybackReport:
      delete reinterpret_cast<PlaybackReport*>(lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case kMsgScreenshotNotice: {
      // Opened here, after the paint that saved the file has ended.
      const bool saved = wParam != 0;
      showNoticeDialog(GetParent(hwnd), screenshotNotice(saved, ScreenshotFailure(lParam)),
                       saved ? NoticeKind::Done : NoticeKind::Failure);
      return 0;
    }
    case kMsgViewReset:
      resetScanView(hwnd);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

bool registerScanViewClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = scanViewProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kScanViewClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace sk720
