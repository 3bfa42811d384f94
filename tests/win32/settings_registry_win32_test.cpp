// The registry back end under Wine: value types and byte counts as stored, key handling, and
// the first start over an empty key.
#include "settings/settings_registry_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <tuple>
#include <utility>

#include "base/utf16.h"

namespace sk720 {
namespace {

class SettingsRegistry : public ::testing::Test {
 protected:
  ~SettingsRegistry() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, wideKey.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, wideKey.c_str());
  }
  const std::string keyPath =
      "Software\\SK720 Tests\\Settings" + std::to_string(std::random_device{}());
  const std::wstring wideKey{keyPath.begin(), keyPath.end()};
};

TEST_F(SettingsRegistry, FirstStartStoresTypesAndSizesAndTheNextStartReadsThem) {
  SettingsRegistryBackend b(keyPath);
  // Record reads open an existing key only: a missing key stays missing.
  SonarSettings sonar{.rangeIndex = 9};
  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sonar.rangeIndex, 9);
  HKEY key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(initLanguage(b), "0409");
  EXPECT_EQ(SetHeadLink(b, 3, 460800), ERROR_SUCCESS);

  // The folder made on the way is the native tests' and the first end-to-end start's to see.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sk720 folder " + std::to_string(GetTickCount()));
  EXPECT_EQ(loadWorkingFolderAtStart(b, pathToUtf8(folder)), pathToUtf8(folder));
  std::filesystem::remove(folder);

  // Type and size as the registry itself reports them (the records' binary values are compared
  // byte for byte by the first end-to-end start).
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wideKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  const DWORD folderBytes = DWORD(2 * utf8ToUtf16(pathToUtf8(folder)).size() + 4);
  for (const auto& [name, type, size] : {std::tuple{L"Language", REG_SZ, 12ul},
                                         {L"WorkingFolder", REG_SZ, folderBytes},
                                         {L"SerialSpeed", REG_DWORD, 4ul}}) {
    DWORD storedType = 0, storedSize = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &storedType, nullptr, &storedSize),
              ERROR_SUCCESS);
    EXPECT_EQ(std::pair(storedType, storedSize), std::pair(DWORD(type), size)) << name;
  }
  RegCloseKey(key);

  // A long folder name beyond the Latin letters, and the link, read back at the next start.
  std::string longFolder = "C:\\\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\\";
  while (utf8ToUtf16(longFolder).size() < 200) longFolder += 'x';
  ASSERT_EQ(SetWorkingFolder(b, longFolder), ERROR_SUCCESS);
  SettingsRegistryBackend nextStart(keyPath);
  std::string read;
  uint32_t port = 0, baud = 0;
  EXPECT_EQ(GetWorkingFolder(nextStart, read), ERROR_SUCCESS);
  EXPECT_EQ(read, longFolder);
  EXPECT_EQ(GetHeadLink(nextStart, port, baud), ERROR_SUCCESS);
  EXPECT_EQ(baud, 460800u);
}

}  // namespace
}  // namespace sk720
