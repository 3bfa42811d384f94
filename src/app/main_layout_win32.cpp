// Applying the layout to the children, the toolbar background, placement and
// full screen.
#include <windows.h>

#include <commctrl.h>

#include "app/main_layout.h"
#include "app/main_window_win32.h"
#include "app/placement_rules.h"
#include "views/scan_view_win32.h"

namespace sk720 {

namespace {

HWND toolbarWindow(const AppData& a, ToolbarItem item) {
  switch (item) {
    case ToolbarItem::HeadLabel:
      return a.labels[0];
    case ToolbarItem::GpsLabel:
      return a.labels[1];
    case ToolbarItem::DeviceGroup:
      return a.deviceGroup;
    case ToolbarItem::HeadPortList:
      return a.headPortCombo;
    case ToolbarItem::HeadBaudList:
      return a.headBaudCombo;
    case ToolbarItem::GpsPortList:
      return a.gpsPortCombo;
    case ToolbarItem::GpsBaudList:
      return a.gpsBaudCombo;
    case ToolbarItem::Start:
      return a.startButton;
    case ToolbarItem::Stop:
      return a.stopButton;
    case ToolbarItem::Hold:
      return a.holdButton;
    case ToolbarItem::Record:
      return a.recordButton;
    case ToolbarItem::QuickSonarGroup:
      return a.quickSonarGroup;
    case ToolbarItem::RangeList:
      return a.rangeCombo;
    case ToolbarItem::SpeedList:
      return a.speedCombo;
    case ToolbarItem::SectorCheck:
      return a.sectorCheck;
    case ToolbarItem::HeadingList:
      return a.headingCombo;
    case ToolbarItem::WidthList:
      return a.widthCombo;
    case ToolbarItem::Apply:
      return a.applyButton;
    case ToolbarItem::RangeLabel:
      return a.labels[2];
    case ToolbarItem::SpeedLabel:
      return a.labels[3];
    case ToolbarItem::HeadingLabel:
      return a.labels[5];
    case ToolbarItem::WidthLabel:
      return a.labels[6];
    case ToolbarItem::QuickViewGroup:
      return a.quickViewGroup;
    case ToolbarItem::ContrastLabel:
      return a.labels[7];
    case ToolbarItem::BrightnessLabel:
      return a.labels[8];
    case ToolbarItem::ContrastBar:
      return a.contrastBar;
    case ToolbarItem::BrightnessBar:
      return a.brightnessBar;
    case ToolbarItem::SonarSettings:
      return a.sonarSettingsButton;
    case ToolbarItem::ViewSettings:
      return a.viewSettingsButton;
    case ToolbarItem::OpenFile:
      return a.openFileButton;
    case ToolbarItem::PlaySpeed:
      return a.playSpeedButton;
    case ToolbarItem::Pause:
      return a.pauseButton;
    case ToolbarItem::Count:
      break;
  }
  return nullptr;
}

void place(HWND w, const LayoutRect& r) {
  if (w) MoveWindow(w, r.x, r.y, r.width, r.height, TRUE);
}

void selectIn(HWND combo, int32_t index) { SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0); }

}  // namespace

void showRecordsInToolbar(AppData& a) {
  std::lock_guard<std::mutex> g(a.settingsLock);
  SendMessageW(a.contrastBar, TBM_SETPOS, TRUE, a.view.contrast);
  SendMessageW(a.brightnessBar, TBM_SETPOS, TRUE, a.view.brightness);
  selectIn(a.rangeCombo, a.sonar.rangeIndex);
  selectIn(a.speedCombo, a.sonar.stepIndex);
  selectIn(a.headingCombo, a.sonar.sectorHeadingIndex);
  selectIn(a.widthCombo, a.sonar.sectorWidthIndex);
  selectIn(a.gainCombo, a.sonar.gainIndex);
  SendMessageW(a.sectorCheck, BM_SETCHECK, a.sonar.sectorEnabled == 1 ? BST_CHECKED : BST_UNCHECKED,
               0);
}

void LayoutMainWindow(HWND hwnd) {
  AppData* a = appDataOf(hwnd);
  if (!a || !a->statusBar) return;
  RECT rc;
  GetClientRect(hwnd, &rc);
  LayoutInput in;
  in.clientWidth = rc.right;
  in.clientHeight = rc.bottom;
  in.toolbarShown = a->toolbarShown;
  in.echoTraceOn = a->view.echogram == 1;
  in.playbackRunning = a->playbackOpen;
  const MainLayout m = layoutMainWindow(in);
  a->minTrackHeight = m.minTrackHeight;
  place(a->scanWindow, m.scan);
  if (m.sliderPlaced) place(a->sliderBar, m.slider);
  // Only a playback has a slider bar; without one it would linger under the live picture.
  if (a->sliderBar) ShowWindow(a->sliderBar, m.sliderPlaced ? SW_SHOWNA : SW_HIDE);
  if (m.echoPlaced) place(a->oscWindow, m.echo);
  for (int32_t i = 0; i < kToolbarItemCount; ++i) {
    HWND w = toolbarWindow(*a, ToolbarItem(i));
    if (!w) continue;
    if (m.toolbarPlaced) {
      place(w, m.toolbar[size_t(i)]);
      ShowWindow(w, SW_SHOW);
    } else {
      ShowWindow(w, SW_HIDE);
    }
  }
  SendMessageW(a->statusBar, WM_SIZE, 0, 0);
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
  showRecordsInToolbar(*a);
  if (a->scanWindow) {
    RECT sc;
    GetClientRect(a->scanWindow, &sc);
    scanViewResized(a->scanWindow, sc.right, sc.bottom);
    SetFocus(a->scanWindow);
  }
}

void CapturePlacement(HWND hwnd, WindowPlacement& p) {
  if (IsIconic(hwnd)) return;
  p.fullScreen = 0;
  p.maximized = IsZoomed(hwnd) ? 1 : 0;
  p.style = uint32_t(GetWindowLongW(hwnd, GWL_STYLE));
  p.exStyle = uint32_t(GetWindowLongW(hwnd, GWL_EXSTYLE));
  RECT r;
  GetWindowRect(hwnd, &r);
  p.left = r.left;
  p.top = r.top;
  p.right = r.right;
  p.bottom = r.bottom;
}

void EnterFullScreen(HWND hwnd, WindowPlacement& p) {
  p.fullScreen = 1;
  p.maximized = IsZoomed(hwnd) ? 1 : 0;
  if (p.maximized) SendMessageW(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  p.style = uint32_t(GetWindowLongW(hwnd, GWL_STYLE));
  p.exStyle = uint32_t(GetWindowLongW(hwnd, GWL_EXSTYLE));
  RECT r;
  GetWindowRect(hwnd, &r);
  p.left = r.left;
  p.top = r.top;
  p.right = r.right;
  p.bottom = r.bottom;
  SetWindowLongW(hwnd, GWL_STYLE, LONG(fullScreenStyle(p.style)));
  SetWindowLongW(hwnd, GWL_EXSTYLE, LONG(fullScreenExStyle(p.exStyle)));
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &mi);
  SetWindowPos(hwnd, nullptr, mi.rcMonitor.left, mi.rcMonitor.top,
               mi.rcMonitor.right - mi.rcMonitor.left, mi.rcMonitor.bottom - mi.rcMonitor.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void LeaveFullScreen(HWND hwnd, WindowPlacement& p) {
  p.fullScreen = 0;
  // Only the frame bits we toggle come from the record; the window keeps its other bits.
  SetWindowLongW(hwnd, GWL_STYLE,
                 LONG((uint32_t(GetWindowLongW(hwnd, GWL_STYLE)) & ~kStyleOverlappedWindow) |
                      sanitizedStyle(p.style)));
  SetWindowLongW(hwnd, GWL_EXSTYLE,
                 LONG((uint32_t(GetWindowLongW(hwnd, GWL_EXSTYLE)) & ~kExStyleFullScreenBits) |
                      sanitizedExStyle(p.exStyle)));
  SetWindowPos(hwnd, nullptr, p.left, p.top, p.right - p.left, p.bottom - p.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (p.maximized == 1) ShowWindow(hwnd, SW_MAXIMIZE);
}

namespace {
BOOL CALLBACK collectMonitor(HMONITOR m, HDC, LPRECT, LPARAM data) {
  auto* list = reinterpret_cast<std::vector<MonitorArea>*>(data);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(m, &mi)) {
    list->push_back({mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom});
  }
  return TRUE;
}
}  // namespace

void applyStoredPlacement(HWND hwnd, WindowPlacement& p) {
  std::vector<MonitorArea> monitors;
  EnumDisplayMonitors(nullptr, nullptr, collectMonitor, LPARAM(&monitors));
  placeOnMonitors(p, monitors.data(), int32_t(monitors.size()));
  LeaveFullScreen(hwnd, p);
}

void storePlacement(AppData& app) { SetWindowPlacement(*app.settings, app.placement); }

}  // namespace sk720
