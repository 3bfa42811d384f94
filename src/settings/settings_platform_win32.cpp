// Where settings and data live on Windows.
#include <shlobj.h>
#include <windows.h>

#include <system_error>

#include "base/utf16.h"
#include "settings/settings_registry_win32.h"

namespace sk720 {

std::unique_ptr<SettingsBackend> makeDefaultSettingsBackend() {
  return std::make_unique<SettingsRegistryBackend>();
}

std::string defaultWorkingFolder() {
  wchar_t documents[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents))) {
    std::error_code ec;
    return pathToUtf8(std::filesystem::temp_directory_path(ec) / "SK720_DATA");
  }
  std::wstring folder(documents);
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  folder += L"SK720_DATA";
  return utf16ToUtf8(std::u16string(folder.begin(), folder.end()));
}

std::string loadWorkingFolderAtStart(SettingsBackend& b) {
  return loadWorkingFolderAtStart(b, defaultWorkingFolder());
}

}  // namespace sk720
