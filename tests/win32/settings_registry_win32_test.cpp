// The registry back end under Wine: value types and byte counts as stored, key handling, and
// the first start over an empty key. (The default folder in Documents is seen end to end.)
#include "settings/settings_registry_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <utility>

#include "base/utf16.h"

namespace sk720 {
namespace {

class SettingsRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    keyPath = "Software\\SK720 Tests\\Settings" + std::to_string(rd());
    wideKey = std::wstring(keyPath.begin(), keyPath.end());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, wideKey.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, wideKey.c_str());
  }
  // Type and size as the registry itself reports them; 0, 0 when absent.
  std::pair<DWORD, DWORD> stored(const wchar_t* name) {
    DWORD type = 0, size = 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return {0, 0};
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) type = 0;
    RegCloseKey(key);
    return {type, type ? size : 0};
  }
  bool keyExists() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    RegCloseKey(key);
    return true;
  }
  std::string keyPath;
  std::wstring wideKey;
};

TEST_F(SettingsRegistry, FirstStartStoresTypesAndSizes) {
  SettingsRegistryBackend b(keyPath);
  // Record reads open an existing key only: a missing key stays missing.
  SonarSettings sonar{.rangeIndex = 9};
  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sonar.rangeIndex, 9);
  EXPECT_FALSE(keyExists());

  EXPECT_EQ(initLanguage(b), "0409");
  ViewSettings view;
  loadRecordsAtStart(b, false, sonar, view);
  EXPECT_EQ(SetHeadLink(b, 3, 460800), ERROR_SUCCESS);

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sk720 folder " + std::to_string(GetTickCount()));
  EXPECT_EQ(loadWorkingFolderAtStart(b, pathToUtf8(folder)), pathToUtf8(folder));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  std::filesystem::remove(folder);

  using Stored = std::pair<DWORD, DWORD>;
  EXPECT_EQ(stored(L"Language"), Stored(REG_SZ, 12));
  EXPECT_EQ(stored(L"WorkingFolder"),
            Stored(REG_SZ, 2 * utf8ToUtf16(pathToUtf8(folder)).size() + 4));
  EXPECT_EQ(stored(L"SonarDialogBinV2"), Stored(REG_BINARY, 72));
  EXPECT_EQ(stored(L"ViewDialogBinV3"), Stored(REG_BINARY, 84));
  EXPECT_EQ(stored(L"SerialSpeed"), Stored(REG_DWORD, 4));

  uint32_t port = 0, baud = 0;
  EXPECT_EQ(GetHeadLink(b, port, baud), ERROR_SUCCESS);
  EXPECT_EQ(baud, 460800u);
}

TEST_F(SettingsRegistry, LongFolderReadBackAtTheNextStart) {
  SettingsRegistryBackend b(keyPath);
  std::string folder = "C:\\\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\\";
  while (utf8ToUtf16(folder).size() < 200) folder += 'x';
  ASSERT_EQ(SetWorkingFolder(b, folder), ERROR_SUCCESS);
  std::string read;
  SettingsRegistryBackend nextStart(keyPath);
  EXPECT_EQ(GetWorkingFolder(nextStart, read), ERROR_SUCCESS);
  EXPECT_EQ(read, folder);
}

}  // namespace
}  // namespace sk720
