// The real main window in-process (menus cannot be read from another process under Wine): per
// interface language its menu bar, ticks and texts; the Autoscreenshot and Hide Toolbar
// commands as a user meets them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_start_win32.h"
#include "app/main_window_win32.h"
#include "resources/resource.h"
#include "settings/settings_store.h"

namespace sk720 {
namespace {

bool ticked(HMENU menu, UINT id) {
  return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

std::wstring topMenuText(HMENU menu, int position) {
  wchar_t text[64] = {};
  GetMenuStringW(menu, UINT(position), text, 64, MF_BYPOSITION);
  return text;
}

void drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HWND startProgramWindow(const char* language) {
  auto settings = makeDefaultSettingsBackend();
  SetLanguage(*settings, language);
  setProgramSwitches({});
  registerWindowClasses(GetModuleHandleW(nullptr));
  const LANGID lang = chooseInterfaceLanguage();
  if (!InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL, lang)) return nullptr;
  drain();
  return programMainWindow();
}

struct LanguageCase {
  const char* code;
  UINT tickedItem;
  const wchar_t* fileMenu;
  const wchar_t* startButton;
};

TEST(MainWindow, MenuTicksAndTextsFollowTheStoredLanguage) {
  const LanguageCase cases[] = {
      {"0409", IDM_LANG_ENGLISH, L"&File", L"Start"},
      {"0412", IDM_LANG_KOREAN, nullptr, L"\uC2DC\uC791"},
      {"0419", IDM_LANG_RUSSIAN, nullptr, L"\u0421\u0442\u0430\u0440\u0442"},
      {"0407", IDM_LANG_ENGLISH, L"&File", L"Start"},  // any other code is English
  };
  for (const LanguageCase& c : cases) {
    SCOPED_TRACE(c.code);
    HWND main = startProgramWindow(c.code);
    ASSERT_NE(main, nullptr);
    HMENU menu = GetMenu(main);
    for (UINT item : {UINT(IDM_LANG_ENGLISH), UINT(IDM_LANG_KOREAN), UINT(IDM_LANG_RUSSIAN)}) {
      EXPECT_EQ(ticked(menu, item), item == c.tickedItem) << item;
    }
    EXPECT_TRUE(ticked(menu, IDM_AUTOSHOT_OFF));
    EXPECT_FALSE(ticked(menu, IDM_HIDE_TOOLBAR));
    if (c.fileMenu) {
      EXPECT_EQ(topMenuText(menu, 0), c.fileMenu);
    } else {
      EXPECT_NE(topMenuText(menu, 0), L"&File");
    }
    EXPECT_NE(FindWindowExW(main, nullptr, L"Button", c.startButton), nullptr);
    DestroyWindow(main);
    drain();
  }
}

TEST(MainWindow, AutoscreenshotTicksOneItemAndHideToolbarGivesTheScanViewTheWidth) {
  HWND main = startProgramWindow("0409");
  ASSERT_NE(main, nullptr);
  HMENU menu = GetMenu(main);
  SendMessageW(main, WM_COMMAND, IDM_AUTOSHOT_90, 0);
  SendMessageW(main, WM_COMMAND, IDM_AUTOSHOT_OFF, 0);
  SendMessageW(main, WM_COMMAND, IDM_AUTOSHOT_TURN, 0);
  for (UINT item : {UINT(IDM_AUTOSHOT_OFF), UINT(IDM_AUTOSHOT_30), UINT(IDM_AUTOSHOT_60),
                    UINT(IDM_AUTOSHOT_90), UINT(IDM_AUTOSHOT_120), UINT(IDM_AUTOSHOT_180)}) {
    EXPECT_FALSE(ticked(menu, item)) << item;
  }
  EXPECT_TRUE(ticked(menu, IDM_AUTOSHOT_TURN));

  HWND scan = FindWindowExW(main, nullptr, L"Radar scan", nullptr);
  HWND start = FindWindowExW(main, nullptr, L"Button", L"Start");
  ASSERT_NE(scan, nullptr);
  RECT client, scanRect;
  GetClientRect(main, &client);
  GetClientRect(scan, &scanRect);
  EXPECT_EQ(scanRect.right, client.right - 200);
  SendMessageW(main, WM_COMMAND, IDM_HIDE_TOOLBAR, 0);
  drain();
  GetClientRect(scan, &scanRect);
  EXPECT_EQ(scanRect.right, client.right);
  EXPECT_TRUE(ticked(menu, IDM_HIDE_TOOLBAR));
  EXPECT_FALSE(IsWindowVisible(start));
  ViewSettings stored;
  auto settings = makeDefaultSettingsBackend();
  ASSERT_EQ(LoadRecords(*settings, nullptr, &stored), kSettingsOk);
  EXPECT_EQ(stored.toolbarVisible, 0);
  SendMessageW(main, WM_COMMAND, IDM_HIDE_TOOLBAR, 0);
  EXPECT_TRUE(IsWindowVisible(start));
  DestroyWindow(main);
  drain();
}

}  // namespace
}  // namespace sk720
