// The main window's creation: the children in their fixed order, the lists, the
// stored records and the start values.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/main_window_win32.h"
#include "app/text_fit_win32.h"
#include "app/ui_text_win32.h"
#include "link/com_port.h"
#include "link/serial_port_win32.h"
#include "live/live_link_win32.h"
#include "live/live_rules.h"
#include "resource.h"
#include "views/echo_trace_win32.h"
#include "views/scan_view_win32.h"
#include "views/slider_bar_win32.h"

namespace sk720 {

namespace {

HWND child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style) {
  return CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                         programInstance(), nullptr);
}
HWND button(HWND parent, UINT textId, DWORD style = BS_PUSHBUTTON) {
  return child(parent, L"Button", loadText(textId), style);
}
HWND combo(HWND parent) {
  return child(parent, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
}
HWND label(HWND parent, UINT textId) { return child(parent, L"Static", loadText(textId), 0); }

void addItems(HWND combo, std::initializer_list<const wchar_t*> items) {
  for (const wchar_t* t : items) SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(t));
}

void buildChildren(HWND hwnd, AppData& app) {
  app.scanWindow = child(hwnd, kScanViewClass, L"", 0);
  app.sliderBar = child(hwnd, kSliderBarClass, L"", 0);
  app.oscWindow = child(hwnd, kEchoTraceClass, L"", 0);
  app.headPortCombo = combo(hwnd);
  app.gpsPortCombo = combo(hwnd);
  app.headBaudCombo = combo(hwnd);
  app.gpsBaudCombo = combo(hwnd);
  app.connectButton = button(hwnd, IDS_CONNECT);
  app.deviceGroup = button(hwnd, IDS_DEVICE, BS_GROUPBOX);
  app.startButton = button(hwnd, IDS_START);
  app.holdButton = button(hwnd, IDS_HOLD);
  app.stopButton = button(hwnd, IDS_STOP);
  app.recordButton = button(hwnd, IDS_RECORD);
  app.rangeCombo = combo(hwnd);
  app.speedCombo = combo(hwnd);
  app.gainCombo = combo(hwnd);
  app.headingCombo = combo(hwnd);
  app.widthCombo = combo(hwnd);
  app.sectorCheck = button(hwnd, IDS_SECTOR_MODE, BS_AUTOCHECKBOX);
  app.applyButton = button(hwnd, IDS_APPLY);
  app.quickSonarGroup = button(hwnd, IDS_QUICK_SONAR, BS_GROUPBOX);
  const UINT labelIds[9] = {IDS_HEAD,    IDS_GPS,   IDS_RANGE,    IDS_SPEED,     IDS_GAIN,
                            IDS_HEADING, IDS_WIDTH, IDS_CONTRAST, IDS_BRIGHTNESS};
  for (int i = 0; i < 7; ++i) app.labels[i] = label(hwnd, labelIds[i]);
  app.labels[7] = label(hwnd, labelIds[7]);
  app.labels[8] = label(hwnd, labelIds[8]);
  app.quickViewGroup = button(hwnd, IDS_QUICK_VIEW, BS_GROUPBOX);
  app.contrastBar = child(hwnd, TRACKBAR_CLASSW, L"Contrast", TBS_AUTOTICKS);
  app.brightnessBar = child(hwnd, TRACKBAR_CLASSW, L"Brightness", TBS_AUTOTICKS);
  app.sonarSettingsButton = button(hwnd, IDS_SONAR_SETTINGS);
  app.viewSettingsButton = button(hwnd, IDS_VIEW_SETTINGS);
  app.openFileButton = button(hwnd, IDS_OPEN_FILE);
  app.playSpeedButton = child(hwnd, L"Button", L"\u25BA", BS_PUSHBUTTON);
  app.pauseButton = child(hwnd, L"Button", L"ll", BS_PUSHBUTTON);
  app.statusBar = child(hwnd, STATUSCLASSNAMEW, L"", 0);
}

void setupStatusBar(AppData& app) {
  SendMessageW(app.statusBar, SB_SETMINHEIGHT, 10, 0);
  int parts[4] = {100, 250, 550, -1};
  SendMessageW(app.statusBar, SB_SETPARTS, 4, LPARAM(parts));
  setStatusPart(app.statusBar, 0, loadText(IDS_DISCONNECTED));
}

void setupFont(HWND hwnd, AppData& app) {
  LOGFONTW lf{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  app.font = CreateFontIndirectW(&lf);
  for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    SendMessageW(c, WM_SETFONT, WPARAM(app.font), FALSE);
  }
}

void setupTrackbars(AppData& app) {
  SendMessageW(app.contrastBar, TBM_SETRANGE, FALSE, MAKELPARAM(1, 10));
  SendMessageW(app.contrastBar, TBM_SETPAGESIZE, 0, 1);
  SendMessageW(app.contrastBar, TBM_SETTICFREQ, 1, 0);
  SendMessageW(app.brightnessBar, TBM_SETRANGE, FALSE, MAKELPARAM(0, 19));
  SendMessageW(app.brightnessBar, TBM_SETPAGESIZE, 0, 1);
  SendMessageW(app.brightnessBar, TBM_SETTICFREQ, 2, 0);
}

void fillBaudLists(AppData& app) {
  uint32_t port = 0, baud = 0;
  const bool headReadable = GetHeadLink(*app.settings, port, baud) == kSettingsOk;
  for (int32_t b : kHeadBaudChoices) {
    SendMessageW(app.headBaudCombo, CB_ADDSTRING, 0, LPARAM(std::to_wstring(b).c_str()));
  }
  SendMessageW(app.headBaudCombo, CB_SETCURSEL, WPARAM(headBaudSelection(baud, headReadable)), 0);
  uint32_t gpsPort = 0, gpsBaud = 0;
  const bool gpsReadable = GetGpsLink(*app.settings, gpsPort, gpsBaud) == kSettingsOk;
  for (int32_t b : kGpsBaudChoices) {
    SendMessageW(app.gpsBaudCombo, CB_ADDSTRING, 0, LPARAM(std::to_wstring(b).c_str()));
  }
  SendMessageW(app.gpsBaudCombo, CB_SETCURSEL, WPARAM(gpsBaudSelection(gpsBaud, gpsReadable)), 0);
}

void fillQuickLists(AppData& app) {
  addItems(app.rangeCombo,
           {L"1.5", L"2.5", L"3", L"5", L"6", L"7.5", L"10", L"15", L"20", L"30", L"45", L"60"});
  if (app.extendedRange) addItems(app.rangeCombo, {L"100", L"120", L"150"});
  for (UINT id = IDS_SPEED_STOP; id <= IDS_SPEED_FASTEST; ++id) {
    SendMessageW(app.speedCombo, CB_ADDSTRING, 0, LPARAM(loadText(id).c_str()));
  }
  addItems(app.gainCombo,
           {L"+15", L"+12", L"+9", L"+6", L"+3", L"0", L"-3", L"-6", L"-9", L"-12", L"-15"});
  addItems(app.headingCombo, {L"0\u00B0", L"45\u00B0", L"90\u00B0", L"135\u00B0", L"180\u00B0",
                              L"225\u00B0", L"270\u00B0", L"315\u00B0"});
  addItems(app.widthCombo, {L"45\u00B0", L"90\u00B0", L"135\u00B0", L"180\u00B0"});
  SendMessageW(app.rangeCombo, CB_SETCURSEL, 6, 0);
  SendMessageW(app.speedCombo, CB_SETCURSEL, 1, 0);
  SendMessageW(app.gainCombo, CB_SETCURSEL, 5, 0);
  SendMessageW(app.headingCombo, CB_SETCURSEL, 0, 0);
  SendMessageW(app.widthCombo, CB_SETCURSEL, 0, 0);
  SendMessageW(app.sectorCheck, BM_SETCHECK, BST_UNCHECKED, 0);
}

void setAutoshotTicks(HWND hwnd, UINT chosen) {
  const UINT items[] = {IDM_AUTOSHOT_OFF, IDM_AUTOSHOT_30,  IDM_AUTOSHOT_60,  IDM_AUTOSHOT_90,
                        IDM_AUTOSHOT_120, IDM_AUTOSHOT_180, IDM_AUTOSHOT_TURN};
  HMENU menu = GetMenu(hwnd);
  for (UINT id : items) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | (id == chosen ? MF_CHECKED : MF_UNCHECKED));
  }
}

}  // namespace

void tickAutoshotItem(HWND hwnd, UINT chosen) { setAutoshotTicks(hwnd, chosen); }

void fillPortLists(AppData& app, uint32_t headPort, uint32_t gpsPort) {
  SendMessageW(app.headPortCombo, CB_RESETCONTENT, 0, 0);
  SendMessageW(app.gpsPortCombo, CB_RESETCONTENT, 0, 0);
  app.comPorts.clear();
  std::vector<ComPortEntry> table(kComPortTableSize);
  if (enumerateComPorts(table.data())) {
    for (const ComPortEntry& e : table) {
      if (e.portNumber == 0) break;
      app.comPorts.push_back({e.portNumber, widen(comPortNameUtf8(e))});
    }
  }
  sortPortsByNumber(app.comPorts);
  SendMessageW(app.gpsPortCombo, CB_ADDSTRING, 0, LPARAM(L"N/A"));
  for (const PortListEntry& p : app.comPorts) {
    SendMessageW(app.headPortCombo, CB_ADDSTRING, 0, LPARAM(p.name.c_str()));
    SendMessageW(app.gpsPortCombo, CB_ADDSTRING, 0, LPARAM(p.name.c_str()));
  }
  SendMessageW(app.headPortCombo, CB_SETCURSEL, WPARAM(headPortSelection(app.comPorts, headPort)),
               0);
  SendMessageW(app.gpsPortCombo, CB_SETCURSEL, WPARAM(gpsPortSelection(app.comPorts, gpsPort)), 0);
}

bool createMainWindowContents(HWND hwnd, const ProgramSwitches& switches) {
  auto* app = new AppData();
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(app));
  app->mainWindow = hwnd;
  app->tunable = switches.tunable ? 1 : 0;
  app->extendedRange = switches.extendedRange ? 1 : 0;
  app->settings = makeDefaultSettingsBackend();
  app->store = std::make_unique<LineStore>();
  app->pacer = makePlatformPacer();
  app->playback = std::make_unique<PlaybackContext>(*app->store, app->inputs, app->gps,
                                                    app->statusText, systemClock(), *app->pacer);
  app->playbackController = std::make_unique<PlaybackController>(*app->playback);

  buildChildren(hwnd, *app);
  initLiveLink(*app);
  setupStatusBar(*app);
  setupFont(hwnd, *app);
  setupTrackbars(*app);

  uint32_t headPort = 0, headBaud = 0, gpsPort = 0, gpsBaud = 0;
  const bool linksReadable = GetHeadLink(*app->settings, headPort, headBaud) == kSettingsOk &&
                             GetGpsLink(*app->settings, gpsPort, gpsBaud) == kSettingsOk;
  if (!linksReadable) headPort = gpsPort = 0;
  fillPortLists(*app, headPort, gpsPort);
  fillBaudLists(*app);
  fillQuickLists(*app);

  loadRecordsAtStart(*app->settings, app->extendedRange != 0, app->sonar, app->view);
  app->inputs.compassEnabled.store(app->view.compassEnabled);
  app->inputs.zeroAlwaysUp.store(app->view.zeroAlwaysUp);
  // The stored record drives the head from the first start, as "Set" would derive it.
  const int32_t baudSelection = int32_t(SendMessageW(app->headBaudCombo, CB_GETCURSEL, 0, 0));
  deriveStartParams(app->sonar, app->params, app->tunable != 0,
                    kHeadBaudChoices[selectionOrKeep(baudSelection, 5, 3)]);
  app->inputs.currentRangeMm.store(10000);
  app->playback->setViewSettings(app->view);
  app->playback->playbackContinuously.store(app->view.playbackContinuously);
  // A stored hold is in force until a start clears it, and the button says so.
  app->live.acq->setViewSettings(app->view);
  showHoldState(*app);

  LayoutMainWindow(hwnd);
  // The toolbar's places are fixed: measured once they have their sizes.
  condenseTextsThatDoNotFit(hwnd, app->font, app->condensedFonts);

  app->screenshotRequest.store(0);
  setAutoshotTicks(hwnd, IDM_AUTOSHOT_OFF);
  SetTimer(hwnd, 1, 200, nullptr);
  SetTimer(hwnd, 2, 5000, nullptr);
  SetTimer(hwnd, 3, 10000, nullptr);
  SetTimer(hwnd, 4, 2147483647u, nullptr);
  app->screenshotEveryTurn = 0;
  app->trackPlacement = 0;
  DragAcceptFiles(hwnd, TRUE);
  return true;
}

}  // namespace sk720
