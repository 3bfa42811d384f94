// Where settings and data live on systems without a registry.
#include <cstdlib>
#include <system_error>

#include "base/utf16.h"
#include "settings/settings_file_backend.h"

namespace sk720 {

namespace {

std::filesystem::path homeFolder() {
  const char* home = std::getenv("HOME");
  std::error_code ec;
  return home && *home ? std::filesystem::path(home) : std::filesystem::temp_directory_path(ec);
}

std::filesystem::path xdgFolder(const char* variable, const char* fallbackUnderHome) {
  const char* v = std::getenv(variable);
  // The XDG rules ignore relative paths.
  if (v && *v == '/') return std::filesystem::path(v);
  return homeFolder() / fallbackUnderHome;
}

}  // namespace

std::unique_ptr<SettingsBackend> makeDefaultSettingsBackend() {
  return std::make_unique<SettingsFileBackend>(
      xdgFolder("XDG_CONFIG_HOME", ".config") / "sk720" / "settings", writeFileDurably);
}

std::string defaultWorkingFolder() {
  std::error_code ec;
  const std::filesystem::path documents = homeFolder() / "Documents";
  if (std::filesystem::is_directory(documents, ec)) return pathToUtf8(documents / "SK720_DATA");
  return pathToUtf8(xdgFolder("XDG_DATA_HOME", ".local/share") / "sk720");
}

std::string loadWorkingFolderAtStart(SettingsBackend& b) {
  return loadWorkingFolderAtStart(b, defaultWorkingFolder());
}

}  // namespace sk720
