#pragma once
// The settings back end for systems without a registry: one text file per user
// holding the same named values with their types and sizes.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace sk720 {

// Puts a file's whole new content in place in one step; false when it could not.
using SettingsFileWriter = bool (*)(const std::filesystem::path& file, const std::string& content);

// Through a temporary file beside it and replaceFileAtomically.
bool writeFileReplacing(const std::filesystem::path& file, const std::string& content);
// The same, with the content synced to the disk before the rename, so that a power cut after
// the rename cannot leave an empty file behind (POSIX).
bool writeFileDurably(const std::filesystem::path& file, const std::string& content);
std::filesystem::path temporaryFileBeside(const std::filesystem::path& file);

// The file's values by name. A line that cannot be read leaves its name marked damaged (the value
// reads as absent and the next write leaves it out).
struct SettingsFileValue {
  SettingsType type = SettingsType::Binary;
  std::vector<uint8_t> data;
  bool damaged = false;
};
using SettingsFileValues = std::map<std::string, SettingsFileValue>;

// The file's text to values and back; formatting leaves damaged values out.
void parseSettingsText(const std::string& text, SettingsFileValues& values);
std::string formatSettingsText(const SettingsFileValues& values);

class SettingsFileBackend : public SettingsBackend {
 public:
  explicit SettingsFileBackend(std::filesystem::path file,
                               SettingsFileWriter writer = writeFileReplacing)
      : file_(std::move(file)), writer_(writer) {}
  int32_t writeValue(const char* name, SettingsType type, const uint8_t* data,
                     uint32_t size) override;
  int32_t readValue(const char* name, SettingsType& type, std::vector<uint8_t>& data,
                    bool existingKeyOnly) override;
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
  SettingsFileWriter writer_;
};

// Replaces target by source in one step (rename; MoveFileExW with
// MOVEFILE_REPLACE_EXISTING behind it on Windows), so that a reader sees either
// the old file or the new one.
bool replaceFileAtomically(const std::filesystem::path& source,
                           const std::filesystem::path& target);

}  // namespace sk720
