#include "settings/settings_file_backend.h"

#include <cstdint>
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
// A line that cannot be read makes only its own value absent; the next write leaves it out and
// keeps every other value. Only a regular file of at most kMaxFileBytes is read at all: anything
// else (a FIFO, a device, a huge file) reads as unreadable and is never replaced.

namespace {

constexpr const char* kHeader = "sk720-settings 1";
constexpr size_t kMaxValueBytes = 1 << 19;  // far above any value the program writes
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

using StoredValue = SettingsFileValue;
using ValueMap = SettingsFileValues;

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

// One value line; false when it cannot be read (name is set when at least that could be).
bool parseLine(const std::string& line, std::string& name, StoredValue& v) {
  std::istringstream fields(line);
  std::string type, hex, rest;
  size_t size = 0;
  if (!(fields >> name)) return false;
  if (!(fields >> type >> size) || !typeFromName(type, v.type) || size > kMaxValueBytes) {
    return false;
  }
  fields >> hex;
  if (hex.size() != 2 * size || (fields >> rest)) return false;
  v.data.resize(size);
  for (size_t i = 0; i < size; ++i) {
    const int hi = hexDigit(hex[2 * i]), lo = hexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    v.data[i] = uint8_t(hi << 4 | lo);
  }
  return true;
}

// kSettingsNotFound when there is no file; kSettingsAccessDenied when it is not a regular file
// or cannot be opened; kSettingsInvalidData when it is too large to be ours.
int32_t loadFile(const std::filesystem::path& file, ValueMap& values) {
  std::error_code ec;
  // Looked at before opening: opening a FIFO would wait for a writer for ever.
  const std::filesystem::file_status status = std::filesystem::status(file, ec);
  if (status.type() == std::filesystem::file_type::not_found) return kSettingsNotFound;
  if (ec || !std::filesystem::is_regular_file(status)) return kSettingsAccessDenied;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) return kSettingsAccessDenied;
  if (size > kMaxFileBytes) return kSettingsInvalidData;
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) return kSettingsAccessDenied;
  // No more than the size looked at, should the file grow meanwhile.
  std::string text(size_t(size), '\0');
  in.read(text.data(), std::streamsize(text.size()));
  if (in.bad()) return kSettingsAccessDenied;
  text.resize(size_t(in.gcount()));
  parseSettingsText(text, values);
  return kSettingsOk;
}

int32_t saveFile(const std::filesystem::path& file, const ValueMap& values,
                 SettingsFileWriter writer) {
  const std::string content = formatSettingsText(values);
  if (content.size() > kMaxFileBytes) return kSettingsInvalidData;  // it could not be read back
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  return writer(file, content) ? kSettingsOk : kSettingsAccessDenied;
}

bool validName(const char* name) {
  if (!name || !*name) return false;
  for (const char* p = name; *p; ++p)
    if (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') return false;
  return true;
}

}  // namespace

void parseSettingsText(const std::string& text, SettingsFileValues& values) {
  std::istringstream lines(text);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    const bool header = first && line == kHeader;
    first = false;
    if (header || line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::string name;
    StoredValue v{};
    if (!parseLine(line, name, v)) {
      if (name.empty()) continue;
      v = StoredValue{SettingsType::Binary, {}, true};
    }
    values[name] = std::move(v);
  }
}

std::string formatSettingsText(const SettingsFileValues& values) {
  static const char kHex[] = "0123456789abcdef";
  std::string content = std::string(kHeader) + '\n';
  for (const auto& [name, v] : values) {
    if (v.damaged) continue;  // nothing legible to keep
    content += name + ' ' + typeName(v.type) + ' ' + std::to_string(v.data.size()) + ' ';
    for (uint8_t b : v.data) {
      content += kHex[b >> 4];
      content += kHex[b & 15];
    }
    content += '\n';
  }
  return content;
}

bool replaceFileAtomically(const std::filesystem::path& source,
                           const std::filesystem::path& target) {
  std::error_code ec;
  std::filesystem::rename(source, target, ec);
  return !ec;
}

std::filesystem::path temporaryFileBeside(const std::filesystem::path& file) {
  // A name of its own so that two processes never share a temporary file.
  std::random_device rd;
  char suffix[32];
  std::snprintf(suffix, sizeof(suffix), ".tmp%08x", unsigned(rd()));
  std::filesystem::path tmp = file;
  tmp += suffix;
  return tmp;
}

bool writeFileReplacing(const std::filesystem::path& file, const std::string& content) {
  const std::filesystem::path tmp = temporaryFileBeside(file);
  std::error_code ec;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    out.write(content.data(), std::streamsize(content.size()));
    out.flush();
    if (!out.good()) {
      out.close();
      std::filesystem::remove(tmp, ec);
      return false;
    }
  }
  if (!replaceFileAtomically(tmp, file)) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

int32_t SettingsFileBackend::writeValue(const char* name, SettingsType type, const uint8_t* data,
                                        uint32_t size) {
  if (!validName(name) || size > kMaxValueBytes || (size && !data)) return kSettingsInvalidData;
  std::lock_guard<std::mutex> g(fileLock());
  ValueMap values;
  const int32_t st = loadFile(file_, values);
  // A file that cannot be read at all is not ours to replace: it is left alone.
  if (st != kSettingsOk && st != kSettingsNotFound) return st;
  values[name] = StoredValue{type, std::vector<uint8_t>(data, data + size)};
  return saveFile(file_, values, writer_);
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
  if (it->second.damaged) return kSettingsInvalidData;
  type = it->second.type;
  data = it->second.data;
  return kSettingsOk;
}

}  // namespace sk720
