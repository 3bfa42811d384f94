// Dialog 107 (and 132 with "-tunable"): the whole sonar settings record. "Set" derives the
// working values, mirrors the quick fields into the toolbar, restarts the sonar and stores.
#include <windows.h>

#include "app/app_data_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_text_win32.h"
#include "dialogs/connect_dialog_win32.h"
#include "live/live_link_win32.h"
#include "live/live_rules.h"
#include "resource.h"

namespace sk720 {

namespace {

enum : int {
  kIdHeading = 1000,
  kIdWidth = 1001,
  kIdCwLength = 1004,
  kIdSpeed = 1005,
  kIdRotation = 1006,
  kIdFrequency = 1007,
  kIdHeadUp = 1008,
  kIdRange = 1010,
  kIdGain = 1011,
  kIdSet = 1012,
  kIdCancel = 1013,
  kIdSectorEnable = 1014,
  kIdBandwidth = 1025,
  kIdTvgSlope = 1026,
  kIdPulseCw = 1028,
  kIdPulseAfm = 1029,
  kIdPulseFm = 1030,
  kIdPulseAuto = 1031,
};

void fill(HWND dlg, int id, const char* const* texts, int32_t count, int32_t selected) {
  HWND list = GetDlgItem(dlg, id);
  for (int32_t i = 0; i < count; ++i) {
    SendMessageW(list, CB_ADDSTRING, 0, LPARAM(widen(texts[i]).c_str()));
  }
  SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
}

void fillTexts(HWND dlg, int id, UINT firstText, int32_t count, int32_t selected) {
  HWND list = GetDlgItem(dlg, id);
  for (int32_t i = 0; i < count; ++i) {
    SendMessageW(list, CB_ADDSTRING, 0, LPARAM(loadText(firstText + UINT(i)).c_str()));
  }
  SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
}

void setField(HWND dlg, int id, const std::string& text) {
  if (HWND f = GetDlgItem(dlg, id)) {
    // What the field can hold is what Set reads.
    SendMessageW(f, EM_SETLIMITTEXT, kTunableFieldChars, 0);
    SetWindowTextW(f, widen(text).c_str());
  }
}

std::string fieldText(HWND dlg, int id) {
  wchar_t text[16] = {};
  GetDlgItemTextW(dlg, id, text, 16);
  return narrow(text);
}

void initialise(HWND dlg, const AppData& a, const SonarSettings& s) {
  const int32_t ranges = a.extendedRange ? kRangeCount : kStandardRangeCount;
  fill(dlg, kIdRange, kRangeTexts, ranges, s.rangeIndex);
  fill(dlg, kIdCwLength, kCwLengthTexts, kCwLengthCount, s.cwLengthIndex);
  fill(dlg, kIdGain, kGainTexts, kGainCount, s.gainIndex);
  fill(dlg, kIdHeading, kSectorHeadingTexts, kSectorHeadingCount, s.sectorHeadingIndex);
  fill(dlg, kIdWidth, kSectorWidthTexts, kSectorWidthCount, s.sectorWidthIndex);
  fillTexts(dlg, kIdSpeed, IDS_SPEED_STOP, kStepCount, s.stepIndex);
  const char* const rotations[] = {"CW", "CCW"};
  fill(dlg, kIdRotation, rotations, 2, s.rotationIndex);
  const int radio = s.pulseType == kPulseCw    ? kIdPulseCw
                    : s.pulseType == kPulseAfm ? kIdPulseAfm
                    : s.pulseType == kPulseFm  ? kIdPulseFm
                                               : kIdPulseAuto;
  CheckRadioButton(dlg, kIdPulseCw, kIdPulseAuto, radio);
  const TunableTexts t = tunableTexts(s);
  setField(dlg, kIdFrequency, t.centralFrequencyKhz);
  setField(dlg, kIdBandwidth, t.bandwidthKhz);
  setField(dlg, kIdTvgSlope, t.tvgSlope);
  CheckDlgButton(dlg, kIdSectorEnable, s.sectorEnabled == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, kIdHeadUp, s.headUp == 1 ? BST_CHECKED : BST_UNCHECKED);
}

int32_t listSelection(HWND dlg, int id, int32_t count, int32_t keep) {
  return selectionOrKeep(int32_t(SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0)), count, keep);
}

SonarDialogValues readDialog(HWND dlg, const AppData& a, const SonarSettings& s) {
  SonarDialogValues d;
  d.pulseType = IsDlgButtonChecked(dlg, kIdPulseCw)    ? kPulseCw
                : IsDlgButtonChecked(dlg, kIdPulseAfm) ? kPulseAfm
                : IsDlgButtonChecked(dlg, kIdPulseFm)  ? kPulseFm
                                                       : kPulseAuto;
  d.rangeIndex = listSelection(dlg, kIdRange, kRangeCount, s.rangeIndex);
  d.cwLengthIndex = listSelection(dlg, kIdCwLength, kCwLengthCount, s.cwLengthIndex);
  d.sectorHeadingIndex = listSelection(dlg, kIdHeading, kSectorHeadingCount, s.sectorHeadingIndex);
  d.sectorWidthIndex = listSelection(dlg, kIdWidth, kSectorWidthCount, s.sectorWidthIndex);
  d.stepIndex = listSelection(dlg, kIdSpeed, kStepCount, s.stepIndex);
  d.rotationIndex = listSelection(dlg, kIdRotation, 2, s.rotationIndex);
  d.gainIndex = listSelection(dlg, kIdGain, kGainCount, s.gainIndex);
  d.sectorEnabled = IsDlgButtonChecked(dlg, kIdSectorEnable) == BST_CHECKED;
  d.headUp = IsDlgButtonChecked(dlg, kIdHeadUp) == BST_CHECKED;
  d.tuningForm = a.tunable != 0 && GetDlgItem(dlg, kIdFrequency) != nullptr;
  if (d.tuningForm) {
    d.centralFrequencyKhz = fieldText(dlg, kIdFrequency);
    d.bandwidthKhz = fieldText(dlg, kIdBandwidth);
    d.tvgSlope = fieldText(dlg, kIdTvgSlope);
  }
  return d;
}

void set(HWND dlg, AppData& a) {
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    const SonarDialogValues d = readDialog(dlg, a, a.sonar);
    applySonarDialog(a.sonar, a.params, d, a.live.acq->state.headBaud.load());
  }
  showRecordsInToolbar(a);  // takes the settings lock itself
  applySettingsNow(a);
  SaveRecords(*a.settings, &a.sonar, nullptr);
  EndDialog(dlg, kIdSet);
}

INT_PTR CALLBACK sonarProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  AppData* a = appDataOf(GetParent(dlg));
  switch (msg) {
    case WM_INITDIALOG: {
      if (!a) return TRUE;
      SonarSettings s;
      {
        std::lock_guard<std::mutex> g(a->settingsLock);
        s = a->sonar;
      }
      initialise(dlg, *a, s);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kIdSet && a) {
        set(dlg, *a);
        return TRUE;
      }
      if (LOWORD(wParam) == kIdCancel || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void runSonarDialog(HWND main) {
  AppData* a = appDataOf(main);
  if (!a) return;
  const int id = a->tunable ? IDD_SONARSETTINGS_TUNABLE : IDD_SONARSETTINGS;
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(id), main, sonarProc, 0);
}

}  // namespace sk720
