#include <windows.h>

#include "app/app_start_win32.h"

#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>  // after objidl.h, which it needs
#include <shellapi.h>

#include "app/main_commands_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_strings_win32.h"
#include "app/ui_text_win32.h"
#include "resource.h"
#include "views/echo_trace_win32.h"
#include "views/scan_view_win32.h"
#include "views/slider_bar_win32.h"

namespace sk720 {

CommandLine parseProgramCommandLine(const wchar_t* commandLine) {
  CommandLine out;
  int argc = 0;
  // The full command line: its first word is the program, parsed by the
  // program-name rules.
  LPWSTR* argv = CommandLineToArgvW(commandLine, &argc);
  if (!argv) return out;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"-tunable") {
      out.tunable = true;
    } else if (arg == L"-extrange") {
      out.extendedRange = true;
    } else if (!arg.empty() && arg[0] != L'-') {
      // Checked as Open File checks its files: a missing one is reported, not skipped.
      out.files.push_back(arg);
    }
  }
  LocalFree(argv);
  return out;
}

LANGID chooseInterfaceLanguage() {
  auto settings = makeDefaultSettingsBackend();
  std::string stored;
  LANGID lang = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  if (GetLanguage(*settings, stored) != kSettingsOk) {
    SetLanguage(*settings, "0409");
  } else if (stored == "0412") {
    lang = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);
  } else if (stored == "0419") {
    lang = MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA);
  }
  selectInterfaceLanguage(lang);
  return lang;
}

bool registerWindowClasses(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SK720));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(COLOR_MENU + 1);
  wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
  wc.lpszClassName = kMainClassName;
  return RegisterClassExW(&wc) != 0;
}

bool InitInstance(HINSTANCE instance, int showCommand, LANGID language) {
  setProgramInstance(instance);
  registerScanViewClass(instance);
  registerEchoTraceClass(instance);
  registerSliderBarClass(instance);

  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  auto settings = makeDefaultSettingsBackend();
  WindowPlacement stored;
  int x = CW_USEDEFAULT, y = 0, w = CW_USEDEFAULT, h = 0;
  if (GetWindowPlacement(*settings, stored) == kSettingsOk) {
    if (fitPlacementToScreen(stored, screenHeight)) SetWindowPlacement(*settings, stored);
    x = stored.left;
    y = stored.top;
    w = stored.right - stored.left;
    h = stored.bottom - stored.top;
  }
  const std::wstring title = loadText(IDS_APP_TITLE);
  HWND hwnd = CreateWindowExW(0, kMainClassName, title.c_str(), WS_OVERLAPPEDWINDOW, x, y, w, h,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return false;
  AppData* app = appDataOf(hwnd);

  const UINT langItem = PRIMARYLANGID(language) == LANG_KOREAN    ? IDM_LANG_KOREAN
                        : PRIMARYLANGID(language) == LANG_RUSSIAN ? IDM_LANG_RUSSIAN
                                                                  : IDM_LANG_ENGLISH;
  HMENU menu = GetMenu(hwnd);
  for (UINT item : {UINT(IDM_LANG_ENGLISH), UINT(IDM_LANG_KOREAN), UINT(IDM_LANG_RUSSIAN)}) {
    CheckMenuItem(menu, item, MF_BYCOMMAND | (item == langItem ? MF_CHECKED : MF_UNCHECKED));
  }
  app->workingFolder = loadWorkingFolderAtStart(*app->settings);

  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);
  if (GetWindowPlacement(*app->settings, app->placement) == kSettingsOk) {
    applyStoredPlacement(hwnd, app->placement);
  } else {
    CapturePlacement(hwnd, app->placement);
    storePlacement(*app);
  }
  app->trackPlacement = 1;
  return true;
}

int runProgram(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput,
                          nullptr);  // never shut down

  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&icc);

  (void)commandLine;  // wWinMain's line lacks the program name; the full line
                      // parses alike
  const CommandLine args = parseProgramCommandLine(GetCommandLineW());
  setProgramSwitches({args.tunable, args.extendedRange});
  setProgramInstance(instance);
  registerWindowClasses(instance);
  const LANGID language = chooseInterfaceLanguage();
  if (!InitInstance(instance, showCommand, language)) return 0;
  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  HWND main = programMainWindow();
  if (!args.files.empty() && main) openPlaybackPaths(main, args.files);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!TranslateAcceleratorW(main, accelerators, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return int(msg.wParam);
}

}  // namespace sk720
