#include "settings/settings_registry_win32.h"

#include <windows.h>

#include "base/utf16.h"

namespace sk720 {

namespace {

std::wstring wide(const std::string& s) {
  const std::u16string w = utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}

// Every operation opens its own handle: the connect thread and the interface
// thread share no key.
LONG openKey(const std::string& path, bool existingOnly, HKEY& key) {
  const std::wstring p = wide(path);
  if (existingOnly) return RegOpenKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, KEY_READ, &key);
  return RegCreateKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &key, nullptr);
}

}  // namespace

int32_t SettingsRegistryBackend::writeValue(const char* name, SettingsType type,
                                            const uint8_t* data, uint32_t size) {
  HKEY key;
  LONG st = openKey(keyPath_, false, key);
  if (st != ERROR_SUCCESS) return int32_t(st);
  st = RegSetValueExW(key, wide(name).c_str(), 0, DWORD(type), data, DWORD(size));
  RegCloseKey(key);
  return int32_t(st);
}

int32_t SettingsRegistryBackend::readValue(const char* name, SettingsType& type,
                                           std::vector<uint8_t>& data, bool existingKeyOnly) {
  HKEY key;
  LONG st = openKey(keyPath_, existingKeyOnly, key);
  if (st != ERROR_SUCCESS) return int32_t(st);
  const std::wstring n = wide(name);
  DWORD t = 0, size = 0;
  st = RegQueryValueExW(key, n.c_str(), nullptr, &t, nullptr, &size);
  // The value may change between asking its size and reading it: ask again if
  // it grew.
  for (int attempt = 0; st == ERROR_SUCCESS && attempt < 3; ++attempt) {
    std::vector<uint8_t> buffer(size);
    DWORD got = size;
    st = RegQueryValueExW(key, n.c_str(), nullptr, &t, buffer.empty() ? nullptr : buffer.data(),
                          &got);
    if (st == ERROR_SUCCESS) {
      buffer.resize(got);
      data = std::move(buffer);
      break;
    }
    if (st == ERROR_MORE_DATA) {
      size = got;
      st = ERROR_SUCCESS;
      continue;
    }
  }
  RegCloseKey(key);
  if (st == ERROR_SUCCESS) {
    if (t == REG_DWORD)
      type = SettingsType::Dword;
    else if (t == REG_SZ)
      type = SettingsType::String;
    else
      type = SettingsType::Binary;  // other types are never written by the program
  }
  return int32_t(st);
}

}  // namespace sk720
