// What the toolbar buttons and menu items do, and the main window's timers.
#include <windows.h>

#include "app/main_commands_win32.h"

#include <commctrl.h>

#include "app/main_window_win32.h"
#include "app/playback_commands.h"
#include "app/ui_text_win32.h"
#include "dialogs/connect_dialog_win32.h"
#include "dialogs/dialogs_win32.h"
#include "dialogs/view_dialog_win32.h"
#include "live/live_link_win32.h"
#include "live/live_rules.h"
#include "resource.h"

namespace sk720 {

namespace {

void toggleHold(AppData& a) {
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    a.view.hold = 1 - a.view.hold;
  }
  a.playback->setViewSettings(a.view);
  a.live.acq->setViewSettings(a.view);  // the working loop freezes the display too
  SetWindowTextW(a.holdButton, loadText(a.view.hold == 1 ? IDS_RESUME : IDS_HOLD).c_str());
}

void playbackSpeedClicked(AppData& a) {
  a.playback->playbackPaused.store(0);
  if (!a.playbackOpen) return;
  const SpeedStep step = nextPlaybackSpeed(a.playback->playbackSpeed.load());
  a.playback->playbackSpeed.store(step.speed);
  SetWindowTextW(a.playSpeedButton, step.text.c_str());
}

void pauseClicked(AppData& a) {
  a.playback->playbackPaused.store(1);
  a.playback->playbackSpeed.store(16);
  SetWindowTextW(a.playSpeedButton, speedButtonText(16).c_str());
}

void chooseLanguage(HWND hwnd, AppData& a, UINT id) {
  HMENU menu = GetMenu(hwnd);
  for (UINT item : {UINT(IDM_LANG_ENGLISH), UINT(IDM_LANG_KOREAN), UINT(IDM_LANG_RUSSIAN)}) {
    CheckMenuItem(menu, item, MF_BYCOMMAND | (item == id ? MF_CHECKED : MF_UNCHECKED));
  }
  SetLanguage(*a.settings, id == IDM_LANG_KOREAN    ? "0412"
                           : id == IDM_LANG_RUSSIAN ? "0419"
                                                    : "0409");
  MessageBoxW(hwnd, loadText(IDS_RESTART_FOR_LANGUAGE).c_str(), loadText(IDS_NOTICE).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

void chooseAutoshot(HWND hwnd, AppData& a, UINT id) {
  tickAutoshotItem(hwnd, id);
  a.screenshotEveryTurn = 0;
  switch (id) {
    case IDM_AUTOSHOT_OFF:
      KillTimer(hwnd, 5);
      return;
    case IDM_AUTOSHOT_30:
      SetTimer(hwnd, 5, 30000, nullptr);
      return;
    case IDM_AUTOSHOT_60:
      SetTimer(hwnd, 5, 60000, nullptr);
      return;
    case IDM_AUTOSHOT_90:
      SetTimer(hwnd, 5, 90000, nullptr);
      return;
    case IDM_AUTOSHOT_120:
      SetTimer(hwnd, 5, 120000, nullptr);
      return;
    case IDM_AUTOSHOT_180:
      SetTimer(hwnd, 5, 180000, nullptr);
      return;
    case IDM_AUTOSHOT_TURN:
      SetTimer(hwnd, 5, 1000, nullptr);
      a.screenshotEveryTurn = 1;
      return;
    default:
      return;
  }
}

void toggleToolbar(HWND hwnd, AppData& a) {
  a.toolbarShown = !a.toolbarShown;
  CheckMenuItem(GetMenu(hwnd), IDM_HIDE_TOOLBAR,
                MF_BYCOMMAND | (a.toolbarShown ? MF_UNCHECKED : MF_CHECKED));
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    a.view.toolbarVisible = a.toolbarShown ? 1 : 0;
  }
  SaveRecords(*a.settings, nullptr, &a.view);
  LayoutMainWindow(hwnd);
  if (a.toolbarShown) UpdateWindow(hwnd);
}

bool onButton(HWND hwnd, AppData& a, HWND c) {
  if (c == a.holdButton) {
    toggleHold(a);
  } else if (c == a.playSpeedButton) {
    playbackSpeedClicked(a);
  } else if (c == a.pauseButton) {
    pauseClicked(a);
  } else if (c == a.openFileButton) {
    openFileCommand(hwnd);
  } else if (c == a.startButton) {
    startCommand(hwnd);
  } else if (c == a.stopButton) {
    stopCommand(hwnd);
  } else if (c == a.recordButton) {
    recordCommand(hwnd);
  } else if (c == a.applyButton) {
    applyCommand(hwnd);
  } else if (c == a.sonarSettingsButton) {
    runSonarDialog(hwnd);
  } else if (c == a.viewSettingsButton) {
    showViewSettingsDialog(hwnd);
  } else if (c == a.connectButton) {
    // The group's button has no command of its own.
  } else {
    return false;
  }
  return true;
}

bool onMenu(HWND hwnd, AppData& a, UINT id) {
  switch (id) {
    case IDM_EXIT:
      DestroyWindow(hwnd);
      return true;
    case IDM_ABOUT:
      showAboutDialog(hwnd);
      return true;
    case IDM_LANG_ENGLISH:
    case IDM_LANG_KOREAN:
    case IDM_LANG_RUSSIAN:
      chooseLanguage(hwnd, a, id);
      return true;
    case IDM_AUTOSHOT_OFF:
    case IDM_AUTOSHOT_30:
    case IDM_AUTOSHOT_60:
    case IDM_AUTOSHOT_90:
    case IDM_AUTOSHOT_120:
    case IDM_AUTOSHOT_180:
    case IDM_AUTOSHOT_TURN:
      chooseAutoshot(hwnd, a, id);
      return true;
    case IDM_HIDE_TOOLBAR:
      toggleToolbar(hwnd, a);
      return true;
    case IDM_SONAR_SETTINGS:
      runSonarDialog(hwnd);
      return true;
    case IDM_WORKING_FOLDER:
      runWorkingFolderDialog(hwnd);
      return true;
    case IDM_VIEW_SETTINGS:
      showViewSettingsDialog(hwnd);
      return true;
    default:
      return false;
  }
}

// "No selection" keeps the record's value.
int32_t comboSelection(HWND combo, int32_t keep) {
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  return selectionOrKeep(int32_t(SendMessageW(combo, CB_GETCURSEL, 0, 0)), int32_t(count), keep);
}

}  // namespace

void toolbarToRecords(AppData& a) {
  bool viewChanged = false;
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    const int32_t c = int32_t(SendMessageW(a.contrastBar, TBM_GETPOS, 0, 0));
    const int32_t b = int32_t(SendMessageW(a.brightnessBar, TBM_GETPOS, 0, 0));
    viewChanged = c != a.view.contrast || b != a.view.brightness;
    a.view.contrast = c;
    a.view.brightness = b;
    a.sonar.rangeIndex = comboSelection(a.rangeCombo, a.sonar.rangeIndex);
    a.sonar.stepIndex = comboSelection(a.speedCombo, a.sonar.stepIndex);
    a.sonar.sectorHeadingIndex = comboSelection(a.headingCombo, a.sonar.sectorHeadingIndex);
    a.sonar.sectorWidthIndex = comboSelection(a.widthCombo, a.sonar.sectorWidthIndex);
    a.sonar.gainIndex = comboSelection(a.gainCombo, a.sonar.gainIndex);
    a.sonar.sectorEnabled = SendMessageW(a.sectorCheck, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  }
  if (viewChanged) {
    SaveRecords(*a.settings, nullptr, &a.view);
    a.playback->setViewSettings(a.view);
  }
}

namespace {

void refreshPortLists(AppData& a) {
  const uint32_t head =
      headPortNumberAt(a.comPorts, int32_t(SendMessageW(a.headPortCombo, CB_GETCURSEL, 0, 0)));
  const uint32_t gps =
      gpsPortNumberAt(a.comPorts, int32_t(SendMessageW(a.gpsPortCombo, CB_GETCURSEL, 0, 0)));
  fillPortLists(a, head, gps);
}

void autoScreenshotTick(AppData& a) {
  if (a.screenshotEveryTurn) {
    if (a.inputs.turnCompleted.exchange(0) == 1) a.screenshotRequest.store(1);
  } else {
    a.screenshotRequest.store(1);
  }
}

}  // namespace

bool OnMainCommand(HWND hwnd, UINT id, HWND control, UINT /*code*/) {
  AppData* a = appDataOf(hwnd);
  if (!a) return false;
  if (control && onButton(hwnd, *a, control)) return true;
  return onMenu(hwnd, *a, id);
}

void OnMainTimer(HWND hwnd, UINT id) {
  AppData* a = appDataOf(hwnd);
  if (!a) return;
  switch (id) {
    case 1:
      toolbarToRecords(*a);
      break;
    case 2:
      refreshPortLists(*a);
      break;
    case 3:
      connectionWatchTick(hwnd);
      break;
    case 4:
      recordBlinkTick(hwnd);
      break;
    case 5:
      autoScreenshotTick(*a);
      break;
    default:
      break;
  }
}

}  // namespace sk720
