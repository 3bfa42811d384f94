#pragma once
// The settings back end on Windows: named values of one key under
// HKEY_CURRENT_USER.
#include <string>

#include "settings/settings_store.h"

namespace sk720 {

class SettingsRegistryBackend : public SettingsBackend {
 public:
  explicit SettingsRegistryBackend(std::string keyPath = kSettingsKeyPath)
      : keyPath_(std::move(keyPath)) {}
  int32_t writeValue(const char* name, SettingsType type, const uint8_t* data,
                     uint32_t size) override;
  int32_t readValue(const char* name, SettingsType& type, std::vector<uint8_t>& data,
                    bool existingKeyOnly) override;

 private:
  std::string keyPath_;
};

}  // namespace sk720
