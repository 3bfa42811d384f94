#include <windows.h>

#include "dialogs/view_dialog_win32.h"

#include <commctrl.h>

#include <string>

#include "app/main_window_win32.h"
#include "app/ui_text_win32.h"
#include "dialogs/view_dialog_rules.h"
#include "resource.h"
#include "views/scan_view_win32.h"

namespace sk720 {

namespace {

// Control identifiers of both templates.
enum : int {
  kGainList = 1000,
  kDeadZoneList = 1001,
  kBrown = 1002,
  kRainbow = 1003,
  kNorthUp = 1004,
  kZeroUp = 1005,
  kOffset = 1007,
  kGrid = 1008,
  kAutoContrast = 1009,
  kCompassEnable = 1010,
  kSet = 1012,
  kCancel = 1013,
  kPointer = 1014,
  kLinear = 1015,
  kLog = 1016,
  kContrast = 1020,
  kBrightness = 1021,
  kEchogram = 1022,
  kFit = 1023,
  kShowInfo = 1024,
  kContinuous = 1025
};

void check(HWND dlg, int id, bool on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool ticked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

void setupLists(HWND dlg) {
  for (const wchar_t* t :
       {L"0.5", L"1.0", L"1.2", L"1.5", L"1.7", L"2.0", L"4.0", L"6.0", L"8.0"}) {
    SendDlgItemMessageW(dlg, kGainList, CB_ADDSTRING, 0, LPARAM(t));
  }
  for (const wchar_t* t : {L"0.0m", L"0.1m", L"0.2m", L"0.3m", L"0.6m", L"1.0m"}) {
    SendDlgItemMessageW(dlg, kDeadZoneList, CB_ADDSTRING, 0, LPARAM(t));
  }
}

void setupBars(HWND dlg, int contrast, int brightness) {
  SendDlgItemMessageW(dlg, kContrast, TBM_SETRANGE, FALSE, MAKELPARAM(1, 10));
  SendDlgItemMessageW(dlg, kContrast, TBM_SETPAGESIZE, 0, 4);
  SendDlgItemMessageW(dlg, kContrast, TBM_SETTICFREQ, 1, 0);
  SendDlgItemMessageW(dlg, kBrightness, TBM_SETRANGE, FALSE, MAKELPARAM(0, 19));
  SendDlgItemMessageW(dlg, kBrightness, TBM_SETPAGESIZE, 0, 4);
  SendDlgItemMessageW(dlg, kBrightness, TBM_SETTICFREQ, 2, 0);
  SendDlgItemMessageW(dlg, kContrast, TBM_SETPOS, TRUE, contrast);
  SendDlgItemMessageW(dlg, kBrightness, TBM_SETPOS, TRUE, brightness);
}

void initialise(HWND dlg, AppData& a) {
  setupLists(dlg);
  const int32_t gain = a.view.gainIndex, contrast = a.view.contrast, brightness = a.view.brightness;
  // The hold in force is the Hold button's, not the stored one.
  const int32_t hold = a.view.hold;
  const int32_t loaded = LoadRecords(*a.settings, nullptr, &a.view);
  a.view.hold = hold;
  if (loaded == kSettingsOk) {
    const ViewSettings& v = a.view;
    check(dlg, v.palette != 0 ? kRainbow : kBrown, true);
    check(dlg, v.linear == 1 ? kLinear : kLog, true);
    check(dlg, kGrid, v.grid == 1);
    check(dlg, kAutoContrast, v.autoContrast == 1);
    check(dlg, kPointer, v.pointer == 1);
    check(dlg, kEchogram, v.echogram == 1);
    check(dlg, kFit, v.fitToWindow == 1);
    check(dlg, kShowInfo, v.showInfo == 1);
    check(dlg, kContinuous, v.playbackContinuously == 1);
    check(dlg, kCompassEnable, v.compassEnabled == 1);
    a.inputs.compassEnabled.store(v.compassEnabled == 1 ? 1 : 0);
    check(dlg, kZeroUp, true);
    EnableWindow(GetDlgItem(dlg, kNorthUp), FALSE);
    EnableWindow(GetDlgItem(dlg, kZeroUp), TRUE);
    a.inputs.zeroAlwaysUp.store(1);
    SetDlgItemTextW(dlg, kOffset, std::to_wstring(v.zeroOffset).c_str());
    {
      std::lock_guard<std::mutex> g(a.settingsLock);
      setupBars(dlg, contrast, brightness);
      SendDlgItemMessageW(dlg, kGainList, CB_SETCURSEL, WPARAM(gain), 0);
    }
    SendDlgItemMessageW(dlg, kDeadZoneList, CB_SETCURSEL, WPARAM(v.deadZoneIndex), 0);
  } else {
    check(dlg, kBrown, true);
    SendDlgItemMessageW(dlg, kGainList, CB_SETCURSEL, 1, 0);
    SendDlgItemMessageW(dlg, kDeadZoneList, CB_SETCURSEL, 3, 0);
    a.view = viewDialogDefaults();
    a.view.hold = hold;
    a.inputs.compassEnabled.store(0);
    a.inputs.zeroAlwaysUp.store(1);
    for (int id : {kGrid, kAutoContrast, kPointer, kEchogram, kLinear, kZeroUp})
      check(dlg, id, true);
    setupBars(dlg, 3, 9);
    SetDlgItemTextW(dlg, kOffset, L"0");
    SaveRecords(*a.settings, nullptr, &a.view);
  }
}

int32_t listSelection(HWND dlg, int id, int32_t keep) {
  const LRESULT i = SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0);
  return i == CB_ERR ? keep : int32_t(i);
}

void applySet(HWND dlg, AppData& a) {
  ViewSettings& v = a.view;
  v.palette = ticked(dlg, kBrown) ? 0 : 1;
  v.linear = ticked(dlg, kLinear) ? 1 : 0;
  v.gainIndex = listSelection(dlg, kGainList, v.gainIndex);
  v.deadZoneIndex = listSelection(dlg, kDeadZoneList, v.deadZoneIndex);
  v.grid = ticked(dlg, kGrid) ? 1 : 0;
  v.autoContrast = ticked(dlg, kAutoContrast) ? 1 : 0;
  v.pointer = ticked(dlg, kPointer) ? 1 : 0;
  v.echogram = ticked(dlg, kEchogram) ? 1 : 0;
  v.fitToWindow = ticked(dlg, kFit) ? 1 : 0;
  v.showInfo = ticked(dlg, kShowInfo) ? 1 : 0;
  v.playbackContinuously = ticked(dlg, kContinuous) ? 1 : 0;
  v.compassEnabled = ticked(dlg, kCompassEnable) ? 1 : 0;
  v.zeroAlwaysUp = ticked(dlg, kZeroUp) ? 1 : 0;
  a.inputs.compassEnabled.store(v.compassEnabled);
  a.inputs.zeroAlwaysUp.store(v.zeroAlwaysUp);
  wchar_t text[64] = {};
  GetDlgItemTextW(dlg, kOffset, text, 64);
  const std::wstring w(text);
  v.zeroOffset = parseOffsetField(std::u16string(w.begin(), w.end()), v.zeroOffset);
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    v.contrast = int32_t(SendDlgItemMessageW(dlg, kContrast, TBM_GETPOS, 0, 0));
    v.brightness = int32_t(SendDlgItemMessageW(dlg, kBrightness, TBM_GETPOS, 0, 0));
    SendMessageW(a.contrastBar, TBM_SETPOS, TRUE, v.contrast);
    SendMessageW(a.brightnessBar, TBM_SETPOS, TRUE, v.brightness);
  }
}

INT_PTR CALLBACK viewDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  AppData* a = appDataOf(GetParent(dlg));
  if (!a) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      initialise(dlg, *a);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kSet:
          applySet(dlg, *a);
          SaveRecords(*a->settings, nullptr, &a->view);
          a->playback->setViewSettings(a->view);
          a->playback->playbackContinuously.store(a->view.playbackContinuously);
          LayoutMainWindow(a->mainWindow);
          EndDialog(dlg, kSet);
          return TRUE;
        case kCancel:
        case IDCANCEL:
          EndDialog(dlg, LOWORD(wParam));
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void showViewSettingsDialog(HWND mainWindow) {
  AppData* a = appDataOf(mainWindow);
  if (!a) return;
  const int32_t id =
      viewDialogTemplate(a->inputs.compassFieldsPresent.load(), a->inputs.compassValid.load());
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(id), mainWindow, viewDialogProc, 0);
  // The zero offset and fit turn the picture: rebuild it for whatever the
  // dialog left.
  if (a->scanWindow) {
    RECT rc;
    GetClientRect(a->scanWindow, &rc);
    scanViewResized(a->scanWindow, rc.right, rc.bottom, true);
  }
  a->playback->setViewSettings(a->view);
  // The working loop expands each line with its own copy: the next ping takes the new values.
  a->live.acq->setViewSettings(a->view);
}

}  // namespace sk720
