// The program's resources as the program loads them: per interface language the
// string table, the menus and every dialog template with its controls; the
// neutral table, the accelerators, the icon and the manifest.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <string_view>

#include "app/ui_strings_win32.h"
#include "resources/resource.h"

namespace {

HMODULE module() { return GetModuleHandleW(nullptr); }

// Selects the interface language for the test and restores the previous one
// afterwards.
class InterfaceLanguage {
 public:
  explicit InterfaceLanguage(LANGID lang) : previous_(sk720::interfaceLanguage()) {
    sk720::selectInterfaceLanguage(lang);
  }
  ~InterfaceLanguage() { sk720::selectInterfaceLanguage(previous_); }
  InterfaceLanguage(const InterfaceLanguage &) = delete;
  InterfaceLanguage &operator=(const InterfaceLanguage &) = delete;

 private:
  LANGID previous_;
};

std::wstring loadString(UINT id) { return sk720::loadUiString(id); }

// One entry of one language's string table, read from its block directly (the
// neutral table cannot be chosen through the thread's language).
std::wstring tableString(UINT id, LANGID lang) {
  HRSRC found = FindResourceExW(module(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
  if (found == nullptr) return L"<no block>";
  const auto *p = static_cast<const WCHAR *>(LockResource(LoadResource(module(), found)));
  for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

std::wstring menuText(HMENU menu, int pos) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, static_cast<UINT>(pos), text, 128, MF_BYPOSITION);
  return text;
}

bool checked(HMENU menu, int pos) {
  return (GetMenuState(menu, static_cast<UINT>(pos), MF_BYPOSITION) & MF_CHECKED) != 0;
}

std::wstring windowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct Language {
  LANGID id;
  const char *name;
  // Texts that tell the tables apart: 999, 1003, 1014, 10006 and 20000.
  const wchar_t *languageName;
  const wchar_t *connect;
  const wchar_t *contrast;
  const wchar_t *openingPort;
  const wchar_t *stopFirst;
  const wchar_t *screenshot;  // the context menu's first item
};

const Language kLanguages[] = {
    {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "English", L"English", L"Connect", L"Constrast:",
     L"Opening serial port", L"To open a file you should press \"Stop\" button first.",
     L"Screenshot"},
    {MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN), "Korean", L"Korean", L"적용", L"명암:",
     L"시리얼 포트 연결중", L"저장된 파일을 열려면 먼저 \"멈춤\" 버튼을 누를것", L"화면 저장"},
    {MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), "Russian", L"Русский", L"Подключение",
     L"Контраст:", L"Открытие порта", L"Для открытия файла сначала нажмите кнопку \"Стоп\".",
     L"Снимок экрана"},
};

class PerLanguage : public ::testing::TestWithParam<Language> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }
  InterfaceLanguage language{GetParam().id};
};

TEST_P(PerLanguage, StringTableIsTheLanguagesOwn) {
  const Language &l = GetParam();
  EXPECT_EQ(loadString(IDS_APP_TITLE), L"BRINECAST SK720 Control Program");
  EXPECT_EQ(loadString(IDS_WINDOW_CLASS), L"QUORVIA_VEZADUDOR_GUI");
  EXPECT_EQ(loadString(IDS_LANGUAGE_NAME), l.languageName);
  EXPECT_EQ(loadString(IDS_CONNECT), l.connect);
  EXPECT_EQ(loadString(IDS_CONTRAST), l.contrast);
  EXPECT_EQ(loadString(IDS_OPENING_PORT), l.openingPort);
  EXPECT_EQ(loadString(IDS_STOP_BEFORE_OPEN), l.stopFirst);
  // The program loads the same texts that the language's own block holds.
  EXPECT_EQ(tableString(IDS_DISCONNECTED, l.id), loadString(IDS_DISCONNECTED));
}

TEST_P(PerLanguage, MainMenuHasEveryCommandAndTheStartTicks) {
  HMENU menu = LoadMenuW(module(), MAKEINTRESOURCEW(IDR_MAINMENU));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 3);

  HMENU file = GetSubMenu(menu, 0);
  ASSERT_EQ(GetMenuItemCount(file), 1);
  EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(IDM_EXIT));

  HMENU settings = GetSubMenu(menu, 1);
  ASSERT_EQ(GetMenuItemCount(settings), 6);
  HMENU languages = GetSubMenu(settings, 0);
  ASSERT_EQ(GetMenuItemCount(languages), 3);
  const UINT languageIds[] = {IDM_LANG_ENGLISH, IDM_LANG_KOREAN, IDM_LANG_RUSSIAN};
  const wchar_t *languageNames[] = {L"English", L"한국어", L"Русский"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetMenuItemID(languages, i), languageIds[i]);
    EXPECT_EQ(menuText(languages, i), languageNames[i]);
    EXPECT_EQ(checked(languages, i), i == 0) << i;
  }
  EXPECT_EQ(GetMenuItemID(settings, 1), static_cast<UINT>(IDM_SONAR_SETTINGS));
  EXPECT_EQ(GetMenuItemID(settings, 2), static_cast<UINT>(IDM_VIEW_SETTINGS));
  EXPECT_EQ(GetMenuItemID(settings, 3), static_cast<UINT>(IDM_WORKING_FOLDER));
  // Menu and string table speak the same language.
  EXPECT_EQ(menuText(settings, 1), loadString(IDS_SONAR_SETTINGS));
  EXPECT_EQ(menuText(settings, 2), loadString(IDS_VIEW_SETTINGS));

  HMENU autoshot = GetSubMenu(settings, 4);
  const UINT autoshotIds[] = {IDM_AUTOSHOT_OFF, IDM_AUTOSHOT_30,  IDM_AUTOSHOT_60,  IDM_AUTOSHOT_90,
                              IDM_AUTOSHOT_120, IDM_AUTOSHOT_180, IDM_AUTOSHOT_TURN};
  ASSERT_EQ(GetMenuItemCount(autoshot), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(GetMenuItemID(autoshot, i), autoshotIds[i]);
    EXPECT_EQ(checked(autoshot, i), i == 0) << i;
  }
  EXPECT_EQ(GetMenuItemID(settings, 5), static_cast<UINT>(IDM_HIDE_TOOLBAR));
  EXPECT_FALSE(checked(settings, 5));

  HMENU help = GetSubMenu(menu, 2);
  ASSERT_EQ(GetMenuItemCount(help), 1);
  EXPECT_EQ(GetMenuItemID(help, 0), static_cast<UINT>(IDM_ABOUT));
  DestroyMenu(menu);
}

TEST_P(PerLanguage, ScanContextMenuIsScreenshotSeparatorRuler) {
  HMENU menu = LoadMenuW(module(), MAKEINTRESOURCEW(IDR_SCANCONTEXT));
  ASSERT_NE(menu, nullptr);
  HMENU popup = GetSubMenu(menu, 0);
  ASSERT_EQ(GetMenuItemCount(popup), 3);
  EXPECT_EQ(GetMenuItemID(popup, 0), static_cast<UINT>(IDM_SCREENSHOT));
  EXPECT_EQ(menuText(popup, 0), GetParam().screenshot);
  EXPECT_NE(GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
  EXPECT_EQ(GetMenuItemID(popup, 2), static_cast<UINT>(IDM_RULER));
  EXPECT_FALSE(checked(popup, 2));
  DestroyMenu(menu);
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

struct Control {
  int id;
  std::wstring_view className;
};

struct Template {
  int id;
  std::initializer_list<Control> controls;
  std::initializer_list<int> absent;
};

const wchar_t kCombo[] = L"ComboBox";
const wchar_t kButton[] = L"Button";
const wchar_t kEdit[] = L"Edit";
const wchar_t kStatic[] = L"Static";
const wchar_t kTrackbar[] = L"msctls_trackbar32";

const Template kTemplates[] = {
    {IDD_SONARSETTINGS,
     {{IDC_SONAR_RANGE, kCombo},
      {IDC_SONAR_PULSE_CW, kButton},
      {IDC_SONAR_PULSE_AFM, kButton},
      {IDC_SONAR_PULSE_FM, kButton},
      {IDC_SONAR_PULSE_AUTO, kButton},
      {IDC_SONAR_CW_LENGTH, kCombo},
      {IDC_SONAR_GAIN, kCombo},
      {IDC_SONAR_SECTOR_ENABLE, kButton},
      {IDC_SONAR_HEADING, kCombo},
      {IDC_SONAR_WIDTH, kCombo},
      {IDC_SONAR_SPEED, kCombo},
      {IDC_SONAR_ROTATION, kCombo},
      {IDC_SONAR_HEAD_UP, kButton},
      {IDC_SONAR_SET, kButton},
      {IDC_SONAR_CANCEL, kButton}},
     {IDC_SONAR_FREQUENCY, IDC_SONAR_BANDWIDTH, IDC_SONAR_TVG_SLOPE}},
    {IDD_SONARSETTINGS_TUNABLE,
     {{IDC_SONAR_RANGE, kCombo},
      {IDC_SONAR_PULSE_CW, kButton},
      {IDC_SONAR_PULSE_AUTO, kButton},
      {IDC_SONAR_CW_LENGTH, kCombo},
      {IDC_SONAR_FREQUENCY, kEdit},
      {IDC_SONAR_BANDWIDTH, kEdit},
      {IDC_SONAR_GAIN, kCombo},
      {IDC_SONAR_TVG_SLOPE, kEdit},
      {IDC_SONAR_SECTOR_ENABLE, kButton},
      {IDC_SONAR_HEADING, kCombo},
      {IDC_SONAR_WIDTH, kCombo},
      {IDC_SONAR_SPEED, kCombo},
      {IDC_SONAR_ROTATION, kCombo},
      {IDC_SONAR_HEAD_UP, kButton},
      {IDC_SONAR_SET, kButton},
      {IDC_SONAR_CANCEL, kButton}},
     {}},
    {IDD_VIEWSETTINGS,
     {{IDC_VIEW_BROWN, kButton},
      {IDC_VIEW_RAINBOW, kButton},
      {IDC_VIEW_GAIN, kCombo},
      {IDC_VIEW_DEAD_ZONE, kCombo},
      {IDC_VIEW_CONTRAST, kTrackbar},
      {IDC_VIEW_LINEAR, kButton},
      {IDC_VIEW_LOG, kButton},
      {IDC_VIEW_BRIGHTNESS, kTrackbar},
      {IDC_VIEW_AUTO_CONTRAST, kButton},
      {IDC_VIEW_ZERO_OFFSET, kEdit},
      {IDC_VIEW_COMPASS_ENABLE, kButton},
      {IDC_VIEW_NORTH_UP, kButton},
      {IDC_VIEW_ZERO_UP, kButton},
      {IDC_VIEW_GRID, kButton},
      {IDC_VIEW_POINTER, kButton},
      {IDC_VIEW_ECHOGRAM, kButton},
      {IDC_VIEW_FIT_TO_WINDOW, kButton},
      {IDC_VIEW_SHOW_INFO, kButton},
      {IDC_VIEW_PLAYBACK_CONTINUOUSLY, kButton},
      {IDC_VIEW_SET, kButton},
      {IDC_VIEW_CANCEL, kButton}},
     {}},
    {IDD_VIEWSETTINGS_NOCOMPASS,
     {{IDC_VIEW_BROWN, kButton},
      {IDC_VIEW_RAINBOW, kButton},
      {IDC_VIEW_GAIN, kCombo},
      {IDC_VIEW_DEAD_ZONE, kCombo},
      {IDC_VIEW_CONTRAST, kTrackbar},
      {IDC_VIEW_LINEAR, kButton},
      {IDC_VIEW_LOG, kButton},
      {IDC_VIEW_BRIGHTNESS, kTrackbar},
      {IDC_VIEW_AUTO_CONTRAST, kButton},
      {IDC_VIEW_ZERO_OFFSET, kEdit},
      {IDC_VIEW_GRID, kButton},
      {IDC_VIEW_POINTER, kButton},
      {IDC_VIEW_ECHOGRAM, kButton},
      {IDC_VIEW_FIT_TO_WINDOW, kButton},
      {IDC_VIEW_SHOW_INFO, kButton},
      {IDC_VIEW_PLAYBACK_CONTINUOUSLY, kButton},
      {IDC_VIEW_SET, kButton},
      {IDC_VIEW_CANCEL, kButton}},
     {IDC_VIEW_COMPASS_ENABLE, IDC_VIEW_NORTH_UP, IDC_VIEW_ZERO_UP}},
    {IDD_CONNECT, {{IDC_CONNECT_PROGRESS, kStatic}, {IDCANCEL, kButton}}, {}},
    {IDD_WORKINGFOLDER,
     {{IDC_FOLDER_PATH, kEdit}, {IDC_FOLDER_CHANGE, kButton}, {IDOK, kButton}, {IDCANCEL, kButton}},
     {}},
    {IDD_ABOUT, {{IDC_ABOUT_ICON, kStatic}, {IDOK, kButton}}, {}},
    {IDD_NOTICE, {{IDC_NOTICE_TEXT, kStatic}}, {}},
};

TEST_P(PerLanguage, EveryDialogTemplateCreatesWithItsControls) {
  for (const Template &t : kTemplates) {
    SCOPED_TRACE(t.id);
    HWND dialog = CreateDialogParamW(module(), MAKEINTRESOURCEW(t.id), nullptr, quietDialog, 0);
    ASSERT_NE(dialog, nullptr) << GetLastError();
    for (const Control &c : t.controls) {
      HWND control = GetDlgItem(dialog, c.id);
      ASSERT_NE(control, nullptr) << c.id;
      EXPECT_EQ(_wcsicmp(className(control).c_str(), std::wstring(c.className).c_str()), 0)
          << c.id << ": " << std::string(className(control).begin(), className(control).end());
    }
    for (int id : t.absent) EXPECT_EQ(GetDlgItem(dialog, id), nullptr) << id;
    DestroyWindow(dialog);
  }
}

// Titles and texts: the translated templates follow the interface language, the
// English-only ones keep their English texts in every language.
TEST_P(PerLanguage, DialogTextsFollowTheLanguage) {
  auto text = [](int dialogId, int controlId) {
    HWND dialog = CreateDialogParamW(module(), MAKEINTRESOURCEW(dialogId), nullptr, quietDialog, 0);
    std::wstring result =
        controlId == 0 ? windowText(dialog) : windowText(GetDlgItem(dialog, controlId));
    DestroyWindow(dialog);
    return result;
  };
  EXPECT_EQ(text(IDD_SONARSETTINGS, 0), loadString(IDS_SONAR_SETTINGS));
  EXPECT_EQ(text(IDD_VIEWSETTINGS, 0), loadString(IDS_VIEW_SETTINGS));
  EXPECT_EQ(text(IDD_VIEWSETTINGS_NOCOMPASS, 0), loadString(IDS_VIEW_SETTINGS));
  EXPECT_EQ(text(IDD_SONARSETTINGS_TUNABLE, 0), L"Sonar settings");
  EXPECT_EQ(text(IDD_ABOUT, 0), L"About SK720 Control Program");
  EXPECT_EQ(text(IDD_NOTICE, IDC_NOTICE_TEXT), L"Screenshot saved");
  EXPECT_EQ(text(IDD_CONNECT, IDC_CONNECT_PROGRESS), L"");

  // The connect dialog can only be left through Cancel; the notice has no
  // caption.
  HWND connect =
      CreateDialogParamW(module(), MAKEINTRESOURCEW(IDD_CONNECT), nullptr, quietDialog, 0);
  EXPECT_EQ(GetWindowLongW(connect, GWL_STYLE) & WS_SYSMENU, 0);
  DestroyWindow(connect);
  HWND notice = CreateDialogParamW(module(), MAKEINTRESOURCEW(IDD_NOTICE), nullptr, quietDialog, 0);
  EXPECT_NE(GetWindowLongW(notice, GWL_STYLE) & WS_POPUP, 0);
  EXPECT_NE(GetWindowLongW(notice, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
  DestroyWindow(notice);
}

INSTANTIATE_TEST_SUITE_P(Resources, PerLanguage, ::testing::ValuesIn(kLanguages),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Resources, NeutralTableIsEnglishWithItsTwoDifferences) {
  const LANGID neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  EXPECT_EQ(tableString(IDS_LANGUAGE_NAME, neutral), L"Neutral");
  EXPECT_EQ(tableString(IDS_OPENING_PORT, neutral), L"Opening serial port...");
  EXPECT_EQ(tableString(IDS_APP_TITLE, neutral), L"BRINECAST SK720 Control Program");
  EXPECT_EQ(tableString(IDS_WINDOW_CLASS, neutral), L"QUORVIA_VEZADUDOR_GUI");
  EXPECT_EQ(tableString(IDS_CONTRAST, neutral), L"Constrast:");
  EXPECT_EQ(tableString(IDS_STOP_BEFORE_OPEN, neutral),
            L"To open a file you should press \"Stop\" button first.");
  EXPECT_EQ(tableString(IDS_SELECT_WORKING_FOLDER, neutral), L"Please select new working folder");
}

TEST(Resources, AltQuestionMarkAndAltSlashOpenAbout) {
  HACCEL table = LoadAcceleratorsW(module(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
  ASSERT_NE(table, nullptr);
  ACCEL entries[4] = {};
  ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
  std::set<WORD> keys;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(entries[i].cmd, IDM_ABOUT);
    EXPECT_EQ(entries[i].fVirt & (FALT | FVIRTKEY | FCONTROL | FSHIFT), FALT);
    keys.insert(entries[i].key);
  }
  EXPECT_EQ(keys, (std::set<WORD>{'?', '/'}));
}

TEST(Resources, IconHasSeveralSizesAndManifestAsksForCommonControls6) {
  HRSRC group = FindResourceW(module(), MAKEINTRESOURCEW(IDI_SK720), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  auto *directory = static_cast<PBYTE>(LockResource(LoadResource(module(), group)));
  const int small = LookupIconIdFromDirectoryEx(directory, TRUE, 16, 16, LR_DEFAULTCOLOR);
  const int large = LookupIconIdFromDirectoryEx(directory, TRUE, 48, 48, LR_DEFAULTCOLOR);
  EXPECT_NE(small, 0);
  EXPECT_NE(large, 0);
  EXPECT_NE(small, large);
  HICON icon =
      static_cast<HICON>(LoadImageW(module(), MAKEINTRESOURCEW(IDI_SK720), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon != nullptr) DestroyIcon(icon);

  HRSRC manifest = FindResourceW(module(), MAKEINTRESOURCEW(IDR_MANIFEST), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char *>(LockResource(LoadResource(module(), manifest))),
                         SizeofResource(module(), manifest));
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(text.find("<dpiAware"), std::string::npos);
}

}  // namespace
