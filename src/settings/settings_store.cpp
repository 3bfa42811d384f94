#include "settings/settings_store.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/byte_order.h"
#include "base/utf16.h"

namespace sk720 {

namespace {

int32_t writeDword(SettingsBackend& b, const char* name, uint32_t v) {
  uint8_t data[4];
  storeU32(data, v);
  return b.writeValue(name, SettingsType::Dword, data, 4);
}

int32_t readDword(SettingsBackend& b, const char* name, uint32_t& v) {
  SettingsType type{};
  std::vector<uint8_t> data;
  const int32_t st = b.readValue(name, type, data, false);
  if (st != kSettingsOk) return st;
  if (type != SettingsType::Dword || data.size() != 4) return kSettingsInvalidData;
  v = loadU32(data.data());
  return kSettingsOk;
}

// Strings are stored with two zero characters after the text: 2 * length + 4 bytes.
int32_t writeString(SettingsBackend& b, const char* name, const std::string& text) {
  const std::u16string w = utf8ToUtf16(text);
  std::vector<uint8_t> data(2 * w.size() + 4, 0);
  for (size_t i = 0; i < w.size(); ++i) storeU16(data.data() + 2 * i, uint16_t(w[i]));
  return b.writeValue(name, SettingsType::String, data.data(), uint32_t(data.size()));
}

// capacityBytes covers the text and one terminator. Further trailing zero characters (the
// second zero every write adds) do not count against it, otherwise a folder of the full 260
// characters could be stored but never read back.
int32_t readString(SettingsBackend& b, const char* name, uint32_t capacityBytes,
                   std::string& text) {
  SettingsType type{};
  std::vector<uint8_t> data;
  const int32_t st = b.readValue(name, type, data, false);
  if (st != kSettingsOk) return st;
  if (type != SettingsType::String) return kSettingsInvalidData;
  std::u16string w;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = char16_t(loadU16(data.data() + i));
    if (c == 0) break;
    w.push_back(c);
  }
  if (2 * w.size() + 2 > capacityBytes) return kSettingsMoreData;
  text = utf16ToUtf8(w);
  return kSettingsOk;
}

// Overlays the stored bytes on the record's own image, whole 32-bit fields only: a shorter
// record keeps its later fields, a longer one gives only its leading bytes, and a read never
// reaches past the record.
int32_t readRecord(SettingsBackend& b, const char* name, uint8_t* image, size_t imageSize) {
  SettingsType type{};
  std::vector<uint8_t> data;
  const int32_t st = b.readValue(name, type, data, true);
  if (st != kSettingsOk) return st;
  if (type != SettingsType::Binary) return kSettingsInvalidData;
  const size_t n = std::min(imageSize, data.size() / 4 * 4);
  if (n) std::memcpy(image, data.data(), n);
  return kSettingsOk;
}

}  // namespace

int32_t SetHeadLink(SettingsBackend& b, uint32_t port, uint32_t baud) {
  const int32_t st = writeDword(b, kValueSerialPort, port);
  return st != kSettingsOk ? st : writeDword(b, kValueSerialSpeed, baud);
}

int32_t GetHeadLink(SettingsBackend& b, uint32_t& port, uint32_t& baud) {
  const int32_t st = readDword(b, kValueSerialPort, port);
  return st != kSettingsOk ? st : readDword(b, kValueSerialSpeed, baud);
}

int32_t SetGpsLink(SettingsBackend& b, uint32_t port, uint32_t baud) {
  const int32_t st = writeDword(b, kValueGpsSerialPort, port);
  return st != kSettingsOk ? st : writeDword(b, kValueGpsSerialSpeed, baud);
}

int32_t GetGpsLink(SettingsBackend& b, uint32_t& port, uint32_t& baud) {
  const int32_t st = readDword(b, kValueGpsSerialPort, port);
  return st != kSettingsOk ? st : readDword(b, kValueGpsSerialSpeed, baud);
}

int32_t SetWindowPlacement(SettingsBackend& b, const WindowPlacement& p) {
  uint8_t data[kWindowPlacementSize];
  const uint32_t words[8] = {p.style,           p.exStyle,         p.fullScreen,
                             p.maximized,       uint32_t(p.left),  uint32_t(p.top),
                             uint32_t(p.right), uint32_t(p.bottom)};
  static_assert(sizeof(words) == kWindowPlacementSize);
  for (size_t i = 0; i < 8; ++i) storeU32(data + 4 * i, words[i]);
  return b.writeValue(kValueMainWindowPosition, SettingsType::Binary, data, kWindowPlacementSize);
}

// A partial rectangle would place the window anywhere: only the full 32 bytes count.
int32_t GetWindowPlacement(SettingsBackend& b, WindowPlacement& p) {
  SettingsType type{};
  std::vector<uint8_t> data;
  const int32_t st = b.readValue(kValueMainWindowPosition, type, data, false);
  if (st != kSettingsOk) return st;
  if (data.size() > kWindowPlacementSize) return kSettingsMoreData;
  if (type != SettingsType::Binary || data.size() != kWindowPlacementSize)
    return kSettingsInvalidData;
  const uint8_t* d = data.data();
  p = WindowPlacement{loadU32(d),      loadU32(d + 4),  loadU32(d + 8),  loadU32(d + 12),
                      loadI32(d + 16), loadI32(d + 20), loadI32(d + 24), loadI32(d + 28)};
  return kSettingsOk;
}

int32_t SetLanguage(SettingsBackend& b, const std::string& language) {
  return writeString(b, kValueLanguage, language);
}

int32_t GetLanguage(SettingsBackend& b, std::string& language) {
  return readString(b, kValueLanguage, kLanguageReadBytes, language);
}

// A folder the store could not give back is refused rather than stored.
int32_t SetWorkingFolder(SettingsBackend& b, const std::string& folder) {
  if (utf8ToUtf16(folder).size() + 1 > kWorkingFolderChars) return kSettingsInvalidData;
  return writeString(b, kValueWorkingFolder, folder);
}

int32_t GetWorkingFolder(SettingsBackend& b, std::string& folder) {
  return readString(b, kValueWorkingFolder, 2 * kWorkingFolderChars, folder);
}

int32_t LoadRecords(SettingsBackend& b, SonarSettings* sonar, ViewSettings* view) {
  int32_t st = kSettingsOk;
  if (sonar) {
    uint8_t image[kSonarSettingsBlobSize];
    storeSonarSettings(*sonar, image);
    st = readRecord(b, kValueSonarSettings, image, sizeof(image));
    if (st == kSettingsOk) *sonar = loadSonarSettings(image);
  }
  if (view) {
    ViewSettingsBlob image = viewSettingsToBlob(*view);
    const int32_t viewSt = readRecord(b, kValueViewSettings, image.data(), image.size());
    if (viewSt == kSettingsOk) viewSettingsFromBlob(image.data(), image.size(), *view);
    // The first failure is the one reported: a good view record must not hide a bad sonar one.
    if (st == kSettingsOk) st = viewSt;
  }
  return st;
}

int32_t SaveRecords(SettingsBackend& b, const SonarSettings* sonar, const ViewSettings* view) {
  int32_t st = kSettingsOk;
  if (sonar) {
    uint8_t image[kSonarSettingsBlobSize];
    storeSonarSettings(*sonar, image);
    st = b.writeValue(kValueSonarSettings, SettingsType::Binary, image, sizeof(image));
  }
  if (view) {
    const ViewSettingsBlob image = viewSettingsToBlob(*view);
    const int32_t viewSt = b.writeValue(kValueViewSettings, SettingsType::Binary, image.data(),
                                        uint32_t(image.size()));
    if (st == kSettingsOk) st = viewSt;
  }
  return st;
}

std::string initLanguage(SettingsBackend& b) {
  std::string language;
  if (GetLanguage(b, language) == kSettingsOk) return language;
  language = "0409";
  SetLanguage(b, language);  // a failed write is not reported
  return language;
}

void loadRecordsAtStart(SettingsBackend& b, bool extendedRange, SonarSettings& sonar,
                        ViewSettings& view) {
  if (LoadRecords(b, &sonar, nullptr) != kSettingsOk) {
    sonar = SonarSettings{};
    SaveRecords(b, &sonar, nullptr);
  }
  if (!extendedRange && sonar.rangeIndex > kStandardRangeCount - 1) {
    sonar.rangeIndex = kStandardRangeCount - 1;
    SaveRecords(b, &sonar, nullptr);
  }
  if (LoadRecords(b, nullptr, &view) != kSettingsOk) {
    view = ViewSettings{};
    view.toolbarVisible = 1;
    SaveRecords(b, nullptr, &view);
  }
  // The toolbar is always shown at start; the record follows what is on screen.
  view.toolbarVisible = 1;
}

std::string loadWorkingFolderAtStart(SettingsBackend& b, const std::string& fallback) {
  std::string folder;
  if (GetWorkingFolder(b, folder) == kSettingsOk) return folder;
  std::error_code ec;
  std::filesystem::create_directories(pathFromUtf8(fallback), ec);
  SetWorkingFolder(b, fallback);
  // A store that cannot hold the folder still leaves the program a place to write to.
  if (GetWorkingFolder(b, folder) != kSettingsOk) folder = fallback;
  return folder;
}

bool fitPlacementToScreen(WindowPlacement& p, int32_t screenHeight) {
  if (int64_t(p.bottom) - p.top <= screenHeight) return false;
  p.top = 0;
  p.bottom = screenHeight;
  return true;
}

}  // namespace sk720
