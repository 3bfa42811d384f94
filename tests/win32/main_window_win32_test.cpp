// The real main window in-process (menus cannot be read from another process under Wine): per
// interface language its menu bar's ticks and texts (the buttons' are seen end to end), every
// dialog template and the notices' texts; the Autoscreenshot and Hide Toolbar commands as a user
// meets them. Its live state without a head: what the view settings hand to the working loop, the
// Hold button against the hold in force, a file under review against Apply and a live start.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_data_win32.h"
#include "app/app_start_win32.h"
#include "app/main_commands_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_strings_win32.h"
#include "app/ui_text_win32.h"
#include "dialogs/dialogs_win32.h"
#include "dialogs/view_dialog_rules.h"
#include "record_builder.h"
#include "resources/resource.h"
#include "scratch_test.h"
#include "settings/settings_store.h"

namespace sk720 {
namespace {

bool ticked(HMENU menu, UINT id) {
  return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

RECT clientOf(HWND w) {
  RECT r{};
  GetClientRect(w, &r);
  return r;
}

void drain() {
  for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
}

std::wstring textOf(HWND w) {
  wchar_t text[128] = {};
  GetWindowTextW(w, text, 128);
  return text;
}

void click(HWND main, HWND button) {
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(button));
}

// The program's main window as a start in the stored language makes it; destroyed at the end.
struct ProgramWindow {
  explicit ProgramWindow(const char* language) {
    auto settings = makeDefaultSettingsBackend();
    SetLanguage(*settings, language);
    ViewSettings view = viewDialogDefaults();  // started without the hold, whatever was stored
    LoadRecords(*settings, nullptr, &view);
    view.hold = 0;
    SaveRecords(*settings, nullptr, &view);
    setProgramSwitches({});
    registerWindowClasses(GetModuleHandleW(nullptr));
    const LANGID lang = chooseInterfaceLanguage();
    if (InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, lang)) main = programMainWindow();
    drain();
  }
  ~ProgramWindow() {
    if (main) DestroyWindow(main);
    drain();
  }
  HWND main = nullptr;
};

// Every text the program adds to the template's, as the notice shows it.
std::vector<std::wstring> addedNotices() {
  std::vector<std::wstring> out;
  for (UINT id : {IDS_NO_HEAD_PORT, IDS_STILL_ENDING_CONNECTION, IDS_HEAD_REFUSED_PARAMETERS,
                  IDS_TOO_MANY_FILES})
    out.push_back(loadUiString(id));
  out.push_back(formatText(loadUiString(IDS_FILE_DIALOG_FAILED), L"12290"));
  for (UINT reason : {IDS_SHOT_NO_ENCODER, IDS_SHOT_PATH_TOO_LONG, IDS_SHOT_FOLDER_NOT_WRITABLE})
    out.push_back(formatText(loadUiString(IDS_SCREENSHOT_NOT_SAVED), loadUiString(reason)));
  return out;
}

TEST(MainWindow, MenuDialogsAndNoticesFollowTheStoredLanguage) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  std::vector<std::wstring> inEnglish;
  for (const auto& [code, tickedItem] : {std::pair{"0409", UINT(IDM_LANG_ENGLISH)},
                                         {"0412", UINT(IDM_LANG_KOREAN)},
                                         {"0419", UINT(IDM_LANG_RUSSIAN)}}) {
    SCOPED_TRACE(code);
    const ProgramWindow program(code);
    ASSERT_NE(program.main, nullptr);
    HMENU menu = GetMenu(program.main);
    for (UINT item : {UINT(IDM_LANG_ENGLISH), UINT(IDM_LANG_KOREAN), UINT(IDM_LANG_RUSSIAN)})
      EXPECT_EQ(ticked(menu, item), item == tickedItem) << item;
    EXPECT_TRUE(ticked(menu, IDM_AUTOSHOT_OFF));
    EXPECT_FALSE(ticked(menu, IDM_HIDE_TOOLBAR));
    wchar_t first[64] = {};
    GetMenuStringW(menu, 0, first, 64, MF_BYPOSITION);
    EXPECT_EQ(first == std::wstring(L"&File"), tickedItem == IDM_LANG_ENGLISH);
    // A template the dialog manager cannot build (a bad control class, a broken block) would
    // leave its command doing nothing in that language only.
    for (int id :
         {IDD_SONARSETTINGS, IDD_SONARSETTINGS_TUNABLE, IDD_VIEWSETTINGS,
          IDD_VIEWSETTINGS_NOCOMPASS, IDD_CONNECT, IDD_WORKINGFOLDER, IDD_ABOUT, IDD_NOTICE}) {
      HWND dialog = CreateDialogParamW(
          GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
          [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; },
          0);
      EXPECT_NE(dialog, nullptr) << id << ": " << GetLastError();
      if (dialog) DestroyWindow(dialog);
    }
    // The texts the program adds to the notice's.
    const std::vector<std::wstring> texts = addedNotices();
    if (inEnglish.empty()) inEnglish = texts;  // English comes first
    for (size_t i = 0; i < texts.size(); ++i) {
      SCOPED_TRACE(narrow(texts[i]));
      EXPECT_EQ(texts[i].find(L'%'), std::wstring::npos);
      EXPECT_TRUE(tickedItem == IDM_LANG_ENGLISH || texts[i] != inEnglish[i]) << "not translated";
      HWND notice = createNoticeWindow(nullptr, texts[i], NoticeKind::Failure);
      ASSERT_NE(notice, nullptr);
      HWND line = GetDlgItem(notice, IDC_NOTICE_TEXT);
      ASSERT_EQ(textOf(line), texts[i].substr(0, 127));
      const RECT shown = clientOf(line);
      HDC dc = GetDC(line);
      HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageW(line, WM_GETFONT, 0, 0)));
      RECT need{0, 0, shown.right, 0};
      DrawTextW(dc, texts[i].c_str(), int(texts[i].size()), &need,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_CENTER);
      SelectObject(dc, old);
      ReleaseDC(line, dc);
      EXPECT_LE(need.right, shown.right);
      EXPECT_LE(need.bottom, shown.bottom);
      EXPECT_LE(shown.bottom, clientOf(notice).bottom);
      // A click closes a notice before its time.
      ShowWindow(notice, SW_SHOWNA);
      ASSERT_TRUE(IsWindowVisible(notice));
      SendMessageW(notice, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
      EXPECT_FALSE(IsWindowVisible(notice));
      DestroyWindow(notice);
    }
  }
}

// The program's window in English, over a scratch folder.
class LiveState : public testing::ScratchTest {
 protected:
  void SetUp() override { ASSERT_NE(app, nullptr); }
  const ProgramWindow program{"0409"};
  const HWND main = program.main;
  AppData* const app = main ? appDataOf(main) : nullptr;
};

TEST_F(LiveState, AutoscreenshotTicksOneItemAndHideToolbarGivesTheScanViewTheWidth) {
  HMENU menu = GetMenu(main);
  for (UINT id : {IDM_AUTOSHOT_90, IDM_AUTOSHOT_OFF, IDM_AUTOSHOT_TURN})
    SendMessageW(main, WM_COMMAND, id, 0);
  for (UINT item : {IDM_AUTOSHOT_OFF, IDM_AUTOSHOT_30, IDM_AUTOSHOT_60, IDM_AUTOSHOT_90,
                    IDM_AUTOSHOT_120, IDM_AUTOSHOT_180, IDM_AUTOSHOT_TURN})
    EXPECT_EQ(ticked(menu, item), item == IDM_AUTOSHOT_TURN) << item;

  const LONG width = clientOf(main).right;
  EXPECT_EQ(clientOf(app->scanWindow).right, width - 200);
  SendMessageW(main, WM_COMMAND, IDM_HIDE_TOOLBAR, 0);
  drain();
  EXPECT_EQ(clientOf(app->scanWindow).right, width);
  EXPECT_TRUE(ticked(menu, IDM_HIDE_TOOLBAR));
  EXPECT_FALSE(IsWindowVisible(app->startButton));
  ViewSettings stored;
  ASSERT_EQ(LoadRecords(*app->settings, nullptr, &stored), kSettingsOk);
  EXPECT_EQ(stored.toolbarVisible, 0);
  SendMessageW(main, WM_COMMAND, IDM_HIDE_TOOLBAR, 0);
  EXPECT_TRUE(IsWindowVisible(app->startButton));
}

// Picks gain 6 and dead zone 5 in the view settings dialog once it shows, from inside that
// dialog's own modal loop.
void CALLBACK setViewDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr));)
    if (IsWindowVisible(w)) dialog = w;
  if (!dialog) return;
  KillTimer(nullptr, timer);
  SendDlgItemMessageW(dialog, IDC_VIEW_GAIN, CB_SETCURSEL, 6, 0);
  SendDlgItemMessageW(dialog, IDC_VIEW_DEAD_ZONE, CB_SETCURSEL, 5, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_VIEW_SET, BN_CLICKED), 0);
}

TEST_F(LiveState, ViewSettingsKeepTheHoldAndApplyWithoutAHeadKeepsTheReview) {
  AppData& a = *app;
  click(main, a.holdButton);
  ASSERT_EQ(a.live.acq->state.hold.load(), 1);

  SetTimer(nullptr, 0, 50, setViewDialog);
  SendMessageW(main, WM_COMMAND, IDM_VIEW_SETTINGS, 0);  // returns once the dialog has closed

  // The next ping is expanded with the new values, and the hold is still the one in force.
  const ViewSettings live = a.live.acq->viewSettings();
  EXPECT_EQ(
      std::vector<int>({live.gainIndex, live.deadZoneIndex, a.live.acq->state.hold, a.view.hold}),
      std::vector<int>({6, 5, 1, 1}));
  EXPECT_EQ(textOf(a.holdButton), L"Resume");
  // One click resumes (the button's text then is seen end to end).
  click(main, a.holdButton);
  EXPECT_EQ(a.live.acq->state.hold.load(), 0);

  const LONG fullHeight = clientOf(a.scanWindow).bottom;
  std::vector<uint8_t> bytes;
  for (uint32_t i = 0; i < 400; ++i)
    testing::append(
        bytes, testing::buildRecord({.angle = i * 8, .samples = std::vector<uint8_t>(200, 40)}));
  write("review.bin", bytes);
  openPlaybackPaths(main, {(dir / "review.bin").wstring()});  // its slider bar is seen end to end
  ASSERT_TRUE(a.playbackOpen);

  // Preparing the next dive's settings does not end the review.
  click(main, a.applyButton);
  EXPECT_TRUE(a.playbackOpen);
  EXPECT_FALSE(a.playbackController->threadEnded());

  // A start that loads a head closes the playback from its thread's message.
  SendMessageW(main, kMsgStopPlayback, 0, 0);
  EXPECT_FALSE(a.playbackOpen);
  EXPECT_FALSE(IsWindowVisible(a.sliderBar));
  EXPECT_EQ(clientOf(a.scanWindow).bottom, fullHeight);
}

}  // namespace
}  // namespace sk720
