#include "app/settings_file_backend.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace sk720 {

// File format, one value per line after a first line "sk720-settings 1":
//   <name> <dword|string|binary> <size in bytes> <bytes as lower-case hex, absent when size 0>
// The bytes are exactly those the registry would hold (strings as UTF-16LE with their two zero
// characters), so both back ends keep the same names, types and sizes. The whole file is
// rewritten through a temporary file and a rename: a crash leaves the old file or the new one.

namespace {

constexpr const char* kHeader = "sk720-settings 1";
constexpr size_t kMaxValueBytes = 1 << 20;  // far above any value the program writes

struct StoredValue {
  SettingsType type;
  std::vector<uint8_t> data;
};
using ValueMap = std::map<std::string, StoredValue>;

// One lock for every instance: the connect thread and the interface thread both write, and each
// write is a read-modify-write of the whole file.
std::mutex& fileLock() {
  static std::mutex m;
  return m;
}

const char* typeName(SettingsType t) {
  switch (t) {
    case SettingsType::Dword:
      return "dword";
    case SettingsType::String:
      return "string";
    case SettingsType::Binary:
      return "binary";
  }
  return "binary";
}

bool typeFromName(const std::string& s, SettingsType& t) {
  if (s == "dword")
    t = SettingsType::Dword;
  else if (s == "string")
    t = SettingsType::String;
  else if (s == "binary")
    t = SettingsType::Binary;
  else
    return false;
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// kSettingsNotFound when there is no file; kSettingsInvalidData when it is not ours or damaged.
int32_t loadFile(const std::filesystem::path& file, ValueMap& values) {
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) {
    std::error_code ec;
    return std::filesystem::exists(file, ec) ? kSettingsAccessDenied : kSettingsNotFound;
  }
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return kSettingsInvalidData;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string name, type, hex;
    size_t size = 0;
    StoredValue v{};
    if (!(fields >> name >> type >> size) || !typeFromName(type, v.type) || size > kMaxValueBytes)
      return kSettingsInvalidData;
    fields >> hex;
    if (hex.size() != 2 * size) return kSettingsInvalidData;
    v.data.resize(size);
    for (size_t i = 0; i < size; ++i) {
      const int hi = hexDigit(hex[2 * i]), lo = hexDigit(hex[2 * i + 1]);
      if (hi < 0 || lo < 0) return kSettingsInvalidData;
      v.data[i] = uint8_t(hi << 4 | lo);
    }
    values[name] = std::move(v);
  }
  return kSettingsOk;
}

int32_t saveFile(const std::filesystem::path& file, const ValueMap& values) {
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  // A name of its own so that two processes never share a temporary file.
  std::random_device rd;
  char suffix[32];
  std::snprintf(suffix, sizeof(suffix), ".tmp%08x", unsigned(rd()));
  std::filesystem::path tmp = file;
  tmp += suffix;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return kSettingsAccessDenied;
    static const char kHex[] = "0123456789abcdef";
    out << kHeader << '\n';
    for (const auto& [name, v] : values) {
      out << name << ' ' << typeName(v.type) << ' ' << v.data.size() << ' ';
      for (uint8_t b : v.data) out << kHex[b >> 4] << kHex[b & 15];
      out << '\n';
    }
    out.flush();
    if (!out.good()) {
      out.close();
      std::filesystem::remove(tmp, ec);
      return kSettingsAccessDenied;
    }
  }
  if (!replaceFileAtomically(tmp, file)) {
    std::filesystem::remove(tmp, ec);
    return kSettingsAccessDenied;
  }
  return kSettingsOk;
}

bool validName(const char* name) {
  if (!name || !*name) return false;
  for (const char* p = name; *p; ++p)
    if (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') return false;
  return true;
}

}  // namespace

bool replaceFileAtomically(const std::filesystem::path& source,
                           const std::filesystem::path& target) {
  std::error_code ec;
  std::filesystem::rename(source, target, ec);
  return !ec;
}

int32_t SettingsFileBackend::writeValue(const char* name, SettingsType type, const uint8_t* data,
                                        uint32_t size) {
  if (!validName(name) || size > kMaxValueBytes || (size && !data)) return kSettingsInvalidData;
  std::lock_guard<std::mutex> g(fileLock());
  ValueMap values;
  const int32_t st = loadFile(file_, values);
  // A damaged file is replaced; one that exists but cannot be read is left alone.
  if (st != kSettingsOk && st != kSettingsNotFound && st != kSettingsInvalidData) return st;
  if (st == kSettingsInvalidData) values.clear();
  values[name] = StoredValue{type, std::vector<uint8_t>(data, data + size)};
  return saveFile(file_, values);
}

int32_t SettingsFileBackend::readValue(const char* name, SettingsType& type,
                                       std::vector<uint8_t>& data, bool /*existingKeyOnly*/) {
  // Reading never creates the file, so a missing key reads as absent either way.
  if (!validName(name)) return kSettingsNotFound;
  std::lock_guard<std::mutex> g(fileLock());
  ValueMap values;
  const int32_t st = loadFile(file_, values);
  if (st != kSettingsOk) return st;
  const auto it = values.find(name);
  if (it == values.end()) return kSettingsNotFound;
  type = it->second.type;
  data = it->second.data;
  return kSettingsOk;
}

}  // namespace sk720
