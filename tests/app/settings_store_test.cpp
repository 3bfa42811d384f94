// The settings operations over an in-memory store and over the per-user file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "base/byte_order.h"
#include "base/utf16.h"
#include "settings/settings_file_backend.h"
#include "settings/settings_store.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

struct MemoryBackend : SettingsBackend {
  struct Value {
    SettingsType type;
    std::vector<uint8_t> data;
  };
  std::map<std::string, Value> values;
  std::vector<std::string> writes;

  int32_t writeValue(const char* name, SettingsType type, const uint8_t* data,
                     uint32_t size) override {
    writes.push_back(name);
    values[name] = Value{type, std::vector<uint8_t>(data, data + size)};
    return kSettingsOk;
  }
  int32_t readValue(const char* name, SettingsType& type, std::vector<uint8_t>& data,
                    bool) override {
    auto it = values.find(name);
    if (it == values.end()) return kSettingsNotFound;
    type = it->second.type;
    data = it->second.data;
    return kSettingsOk;
  }
};

struct TempFolder {
  fs::path path;
  TempFolder() {
    std::random_device rd;
    path = fs::temp_directory_path() / ("sk720-settings-" + std::to_string(rd()));
    fs::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

TEST(SettingsStore, FirstStartWritesDefaults) {
  MemoryBackend b;
  TempFolder tmp;
  EXPECT_EQ(initLanguage(b), "0409");
  ASSERT_TRUE(b.values.count("Language"));
  EXPECT_EQ(b.values["Language"].type, SettingsType::String);
  EXPECT_EQ(b.values["Language"].data.size(), 12u);  // 2 * 4 + 4

  SonarSettings sonar;
  sonar.rangeIndex = 3;
  sonar.gainIndex = 9;
  ViewSettings view;
  view.palette = 2;
  loadRecordsAtStart(b, false, sonar, view);
  EXPECT_EQ(sonar.rangeIndex, 6);
  EXPECT_EQ(sonar.gainIndex, 5);
  EXPECT_EQ(view.palette, 0);
  ASSERT_EQ(b.values["SonarDialogBinV2"].data.size(), 72u);
  ASSERT_EQ(b.values["ViewDialogBinV3"].data.size(), 84u);
  EXPECT_EQ(loadI32(b.values["SonarDialogBinV2"].data.data() + 64), 860000);
  EXPECT_EQ(loadF32(b.values["ViewDialogBinV3"].data.data() + 8), 1.0f);

  const fs::path folder = tmp.path / "Documents" / "SK720_DATA";
  EXPECT_EQ(loadWorkingFolderAtStart(b, pathToUtf8(folder)), pathToUtf8(folder));
  EXPECT_TRUE(fs::is_directory(folder));
  std::string stored;
  EXPECT_EQ(GetWorkingFolder(b, stored), kSettingsOk);
  EXPECT_EQ(stored, pathToUtf8(folder));

  // A second start finds everything and writes nothing.
  b.writes.clear();
  EXPECT_EQ(initLanguage(b), "0409");
  loadRecordsAtStart(b, false, sonar, view);
  EXPECT_EQ(loadWorkingFolderAtStart(b, "unused"), pathToUtf8(folder));
  EXPECT_TRUE(b.writes.empty());
}

TEST(SettingsStore, RangeClampWithoutExtendedRange) {
  for (bool extended : {false, true}) {
    MemoryBackend b;
    SonarSettings stored;
    stored.rangeIndex = 14;
    SaveRecords(b, &stored, nullptr);
    SonarSettings sonar;
    ViewSettings view;
    loadRecordsAtStart(b, extended, sonar, view);
    const int32_t expected = extended ? 14 : 11;
    EXPECT_EQ(sonar.rangeIndex, expected);
    EXPECT_EQ(loadI32(b.values["SonarDialogBinV2"].data.data() + 4), expected);
  }
}

TEST(SettingsStore, RecordsOfOtherLengthsNeverOverrun) {
  MemoryBackend b;
  std::vector<uint8_t> longer(100, 0);
  storeI32(longer.data() + 4, 9);    // rangeIndex
  storeI32(longer.data() + 68, 7);   // bandwidth
  storeI32(longer.data() + 72, 55);  // beyond the layout
  b.values["SonarDialogBinV2"] = {SettingsType::Binary, longer};
  SonarSettings sonar;
  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), kSettingsOk);
  EXPECT_EQ(sonar.rangeIndex, 9);
  EXPECT_EQ(sonar.bandwidth, 7);

  // 70 bytes: 17 whole fields replaced, the partial last one ignored.
  std::vector<uint8_t> odd(70, 0);
  storeI32(odd.data() + 64, 123);  // centralFrequency
  odd[68] = 0xAA;
  odd[69] = 0xBB;
  b.values["SonarDialogBinV2"] = {SettingsType::Binary, odd};
  sonar = SonarSettings{};
  sonar.bandwidth = 4242;
  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), kSettingsOk);
  EXPECT_EQ(sonar.centralFrequency, 123);
  EXPECT_EQ(sonar.formatTag, 0);
  EXPECT_EQ(sonar.bandwidth, 4242);

  // Three bytes of a view record replace nothing; 85 bytes give the leading 84.
  b.values["ViewDialogBinV3"] = {SettingsType::Binary, {1, 2, 3}};
  ViewSettings view;
  view.contrast = 8;
  EXPECT_EQ(LoadRecords(b, nullptr, &view), kSettingsOk);
  EXPECT_EQ(view.contrast, 8);
  ViewSettings source;
  source.contrast = 2;
  auto blob = viewSettingsToBlob(source);
  std::vector<uint8_t> v85(blob.begin(), blob.end());
  v85.push_back(0xFF);
  b.values["ViewDialogBinV3"] = {SettingsType::Binary, v85};
  EXPECT_EQ(LoadRecords(b, nullptr, &view), kSettingsOk);
  EXPECT_EQ(view.contrast, 2);

  // A value of another type is not a record: the record stays as it was.
  b.values["ViewDialogBinV3"] = {SettingsType::String, std::vector<uint8_t>(84, 0)};
  EXPECT_NE(LoadRecords(b, nullptr, &view), kSettingsOk);
  EXPECT_EQ(view.contrast, 2);
}

TEST(SettingsStore, StringAndPlacementCapacities) {
  MemoryBackend b;
  // 63 characters and the terminator fill the 128-byte language buffer; 64 do not fit.
  EXPECT_EQ(SetLanguage(b, std::string(63, 'x')), kSettingsOk);
  std::string language;
  EXPECT_EQ(GetLanguage(b, language), kSettingsOk);
  EXPECT_EQ(SetLanguage(b, std::string(64, 'x')), kSettingsOk);
  EXPECT_EQ(GetLanguage(b, language), kSettingsMoreData);
  EXPECT_EQ(language, std::string(63, 'x'));

  // The full 260 characters are readable; a longer folder is refused, not stored.
  std::string folder;
  EXPECT_EQ(SetWorkingFolder(b, "C:\\" + std::string(257, 'f')), kSettingsOk);
  EXPECT_EQ(b.values["WorkingFolder"].data.size(), 2u * 260 + 4);
  EXPECT_EQ(GetWorkingFolder(b, folder), kSettingsOk);
  EXPECT_EQ(folder.size(), 260u);
  EXPECT_NE(SetWorkingFolder(b, std::string(261, 'f')), kSettingsOk);
  EXPECT_EQ(GetWorkingFolder(b, folder), kSettingsOk);
  EXPECT_EQ(folder.size(), 260u);

  // Stored UTF-16 as another program may have left it: pairs join, lone halves read as U+FFFD.
  const struct {
    std::u16string units;
    const char* utf8;
  } stored[] = {{u"\xD7FF", "\xED\x9F\xBF"},
                {u"\xD800\xDC00", "\xF0\x90\x80\x80"},
                {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
                {u"\xD800", "\xEF\xBF\xBD"},
                {u"\xDFFF", "\xEF\xBF\xBD"},
                {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                {u"\xE000", "\xEE\x80\x80"}};
  for (const auto& c : stored) {
    std::vector<uint8_t> bytes(2 * c.units.size() + 4, 0);
    for (size_t i = 0; i < c.units.size(); ++i) storeU16(bytes.data() + 2 * i, c.units[i]);
    b.values["Language"] = {SettingsType::String, bytes};
    ASSERT_EQ(GetLanguage(b, language), kSettingsOk);
    EXPECT_EQ(language, c.utf8) << int(c.units[0]);
  }

  WindowPlacement p{1, 2, 0, 1, -10, 20, 800, 3000};
  EXPECT_EQ(SetWindowPlacement(b, p), kSettingsOk);
  WindowPlacement q;
  EXPECT_EQ(GetWindowPlacement(b, q), kSettingsOk);
  EXPECT_EQ(q.left, -10);
  EXPECT_EQ(q.bottom, 3000);
  EXPECT_TRUE(fitPlacementToScreen(q, 1080));
  EXPECT_EQ(q.top, 0);
  EXPECT_EQ(q.bottom, 1080);
  EXPECT_FALSE(fitPlacementToScreen(q, 1080));
  b.values["MainWindowPosition"].data.resize(36);
  EXPECT_EQ(GetWindowPlacement(b, q), kSettingsMoreData);
  b.values["MainWindowPosition"].data.resize(16);
  EXPECT_NE(GetWindowPlacement(b, q), kSettingsOk);
}

TEST(SettingsFileBackend, KeepsValuesAcrossStartsAndReplacesWhole) {
  TempFolder tmp;
  const fs::path file = tmp.path / "sk720" / "settings";
  // 200 characters, some outside ASCII, read back intact by a fresh instance.
  std::string folder = "/home/\xD0\xB8\xD0\xBC\xD1\x8F/";
  while (utf8ToUtf16(folder).size() < 200) folder += 'd';
  {
    SettingsFileBackend b(file);
    EXPECT_EQ(SetWorkingFolder(b, folder), kSettingsOk);
    EXPECT_EQ(SetHeadLink(b, 7, 921600), kSettingsOk);
    SonarSettings s;
    s.tvgSlope = 33;
    EXPECT_EQ(SaveRecords(b, &s, nullptr), kSettingsOk);
  }
  SettingsFileBackend b(file);
  std::string read;
  EXPECT_EQ(GetWorkingFolder(b, read), kSettingsOk);
  EXPECT_EQ(read, folder);
  uint32_t port = 0, baud = 0;
  EXPECT_EQ(GetHeadLink(b, port, baud), kSettingsOk);
  EXPECT_EQ(baud, 921600u);
  SonarSettings s;
  EXPECT_EQ(LoadRecords(b, &s, nullptr), kSettingsOk);
  EXPECT_EQ(s.tvgSlope, 33);
  SettingsType type{};
  std::vector<uint8_t> data;
  EXPECT_EQ(b.readValue("WorkingFolder", type, data, false), kSettingsOk);
  EXPECT_EQ(type, SettingsType::String);
  EXPECT_EQ(data.size(), 2 * 200u + 4);
  EXPECT_EQ(b.readValue("Language", type, data, true), kSettingsNotFound);
  // No temporary file is left beside the settings.
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
}

std::string fileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// One damaged line costs only its own value, and the next write keeps the others.
TEST(SettingsFileBackend, DamagedLineReadsAsAbsentAlone) {
  TempFolder tmp;
  const fs::path file = tmp.path / "settings";
  SettingsFileBackend b(file);
  ViewSettings view;
  EXPECT_EQ(LoadRecords(b, nullptr, &view), kSettingsNotFound);
  EXPECT_FALSE(fs::exists(file));  // reading creates nothing
  SonarSettings sonar;
  ASSERT_EQ(SetHeadLink(b, 7, 921600), kSettingsOk);
  ASSERT_EQ(SetLanguage(b, "0412"), kSettingsOk);
  ASSERT_EQ(SaveRecords(b, &sonar, nullptr), kSettingsOk);
  std::string text = fileText(file);
  const size_t at = text.find("SonarDialogBinV2 binary 72 ");
  ASSERT_NE(at, std::string::npos);
  text.replace(at + 27, 3, "x");  // a torn line: hex of the wrong length
  text += "\t\r\n";               // and a blank one
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;

  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), kSettingsInvalidData);
  uint32_t port = 0, baud = 0;
  EXPECT_EQ(GetHeadLink(b, port, baud), kSettingsOk);
  EXPECT_EQ(port, 7u);
  ASSERT_EQ(SetGpsLink(b, 2, 4800), kSettingsOk);
  std::string language;
  EXPECT_EQ(GetLanguage(b, language), kSettingsOk);
  EXPECT_EQ(language, "0412");
  EXPECT_EQ(GetHeadLink(b, port, baud), kSettingsOk);
  EXPECT_EQ(GetGpsLink(b, port, baud), kSettingsOk);
  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), kSettingsNotFound);  // the torn line is gone
  loadRecordsAtStart(b, false, sonar, view);  // start-up writes the defaults back
  EXPECT_EQ(LoadRecords(b, &sonar, &view), kSettingsOk);
  EXPECT_EQ(GetLanguage(b, language), kSettingsOk);
}

// Only a regular file of at most 1 MiB is read; anything else is unreadable and left alone.
TEST(SettingsFileBackend, OnlyABoundedRegularFileIsRead) {
  TempFolder tmp;
  const fs::path file = tmp.path / "settings";
  {
    std::ofstream out(file, std::ios::binary);
    out << "sk720-settings 1\nSerialPort dword 4 07000000\nSerialSpeed dword 4 00100e00\n";
    const std::string filler = "Filler binary 0\n";
    for (size_t n = 0; n < (1u << 20) / filler.size() + 1; ++n) out << filler;
  }
  const uintmax_t size = fs::file_size(file);
  SettingsFileBackend big(file);
  uint32_t port = 0, baud = 0;
  EXPECT_EQ(GetHeadLink(big, port, baud), kSettingsInvalidData);
  EXPECT_NE(SetHeadLink(big, 8, 115200), kSettingsOk);
  EXPECT_EQ(fs::file_size(file), size);

  const fs::path folder = tmp.path / "folder";
  fs::create_directories(folder);
  SettingsFileBackend notAFile(folder);
  EXPECT_EQ(GetHeadLink(notAFile, port, baud), kSettingsAccessDenied);
  EXPECT_NE(SetHeadLink(notAFile, 8, 115200), kSettingsOk);
  EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace
}  // namespace sk720
