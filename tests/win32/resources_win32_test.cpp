// The program's resources as the program loads them: the texts of the chosen interface language
// and every dialog template, in every language.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

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
  InterfaceLanguage(const InterfaceLanguage&) = delete;
  InterfaceLanguage& operator=(const InterfaceLanguage&) = delete;

 private:
  LANGID previous_;
};

// One entry of one language's string table, read from its block directly (the
// neutral table cannot be chosen through the thread's language).
std::wstring tableString(UINT id, LANGID lang) {
  HRSRC found = FindResourceExW(module(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
  if (found == nullptr) return L"<no block>";
  const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(module(), found)));
  for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

INT_PTR CALLBACK quietDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

class PerLanguage : public ::testing::TestWithParam<LANGID> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
  }
  InterfaceLanguage language{GetParam()};
};

// The program's texts come from the chosen language's own table, not from the neutral one or
// the system's language.
TEST_P(PerLanguage, TextsAreTheChosenLanguagesOwn) {
  for (UINT id :
       {IDS_LANGUAGE_NAME, IDS_CONNECT, IDS_CONTRAST, IDS_OPENING_PORT, IDS_DISCONNECTED}) {
    EXPECT_EQ(sk720::loadUiString(id), tableString(id, GetParam())) << id;
  }
}

// A template the dialog manager cannot build (a bad control class, a broken block) would leave
// its command doing nothing in that language only.
TEST_P(PerLanguage, EveryDialogTemplateCreates) {
  for (int id :
       {IDD_SONARSETTINGS, IDD_SONARSETTINGS_TUNABLE, IDD_VIEWSETTINGS, IDD_VIEWSETTINGS_NOCOMPASS,
        IDD_CONNECT, IDD_WORKINGFOLDER, IDD_ABOUT, IDD_NOTICE}) {
    HWND dialog = CreateDialogParamW(module(), MAKEINTRESOURCEW(id), nullptr, quietDialog, 0);
    EXPECT_NE(dialog, nullptr) << id << ": " << GetLastError();
    if (dialog) DestroyWindow(dialog);
  }
}

INSTANTIATE_TEST_SUITE_P(Resources, PerLanguage,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA)));

}  // namespace
