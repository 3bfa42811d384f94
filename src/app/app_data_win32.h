#pragma once
// The one application state record of the Windows program. The main window's
// creation makes it and keeps it as the window's user data; every window and
// dialog reaches it from there.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/port_lists.h"
#include "base/status_text.h"
#include "gps/gps_fix.h"
#include "link/sonar_params.h"
#include "live/live_link_win32.h"
#include "records/playback.h"
#include "scan/line_store.h"
#include "scan/scan_image.h"
#include "scan/view_settings.h"
#include "settings/settings_store.h"

namespace sk720 {

// Messages of our own between threads and windows.
constexpr UINT kMsgPlaybackReport = WM_USER;  // lParam: a PlaybackReport the receiver frees
constexpr UINT kMsgViewReset = WM_APP + 1;    // to the scan view: a new file or sonar start
constexpr UINT kMsgStatusText = WM_APP + 2;   // to the main window: wParam part, lParam text
// To the scan view after a manual screenshot: wParam 1 when saved, lParam the ScreenshotFailure.
constexpr UINT kMsgScreenshotNotice = WM_APP + 3;

// Program-wide values outside AppData, set by the entry point.
struct ProgramSwitches {
  bool tunable = false;
  bool extendedRange = false;
};

struct AppData {
  WindowPlacement placement;
  uint32_t trackPlacement = 0;
  uint32_t tunable = 0;
  uint32_t extendedRange = 0;

  HWND mainWindow = nullptr;
  HWND scanWindow = nullptr;
  HWND oscWindow = nullptr;
  HWND sliderBar = nullptr;
  HWND headPortCombo = nullptr, gpsPortCombo = nullptr, headBaudCombo = nullptr,
       gpsBaudCombo = nullptr;
  HWND connectButton = nullptr, deviceGroup = nullptr;
  HWND startButton = nullptr, holdButton = nullptr, stopButton = nullptr, recordButton = nullptr;
  HWND rangeCombo = nullptr, speedCombo = nullptr, gainCombo = nullptr, headingCombo = nullptr,
       widthCombo = nullptr, sectorCheck = nullptr, applyButton = nullptr;
  HWND quickSonarGroup = nullptr;
  // Head, GPS, Range, Speed, Gain, Heading, Width, Contrast, Brightness.
  HWND labels[9] = {};
  HWND quickViewGroup = nullptr, contrastBar = nullptr, brightnessBar = nullptr;
  HWND sonarSettingsButton = nullptr, viewSettingsButton = nullptr, openFileButton = nullptr;
  HWND playSpeedButton = nullptr, pauseButton = nullptr, statusBar = nullptr;
  HFONT font = nullptr;
  std::vector<HFONT> condensedFonts;  // for texts too wide for their places

  // Playback: the files are owned by the controller while it plays them.
  uint64_t playbackFileSize = 0;
  bool playbackOpen = false;  // a playback thread was started and not yet stopped

  std::vector<PortListEntry> comPorts;

  // The engine shared with the worker threads.
  std::unique_ptr<SettingsBackend> settings;
  std::unique_ptr<LineStore> store;
  ScanInputs inputs;
  GpsFix& gps = processGpsFix();
  StatusText statusText;
  std::unique_ptr<PlaybackPacer> pacer;
  std::unique_ptr<PlaybackContext> playback;
  std::unique_ptr<PlaybackController> playbackController;

  std::mutex settingsLock;  // every transfer between the toolbar and the records
  SonarSettings sonar;
  ViewSettings view;
  SonarParams params;

  std::atomic<uint32_t> screenshotRequest{0};
  uint32_t screenshotEveryTurn = 0;
  std::string workingFolder;  // UTF-8, as the core and the settings hold it

  // Shell state kept outside the record in the original layout.
  bool toolbarShown = true;
  int32_t minTrackHeight = 750;
  int32_t recordBlink = 0;

  // The live head: the acquisition, its connect thread and the connection watch.
  LiveLink live;
};

// The record of the main window that owns (or is) hwnd; null before creation.
AppData* appDataOf(HWND hwnd);

}  // namespace sk720
