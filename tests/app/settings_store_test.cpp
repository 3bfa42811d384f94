// The settings operations over an in-memory store and over the per-user file.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/byte_order.h"
#include "base/utf16.h"
#include "scratch_test.h"
#include "settings/settings_file_backend.h"
#include "settings/settings_store.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;
using V = std::vector<int64_t>;

struct MemoryBackend : SettingsBackend {
  std::map<std::string, std::pair<SettingsType, std::vector<uint8_t>>> values;
  std::vector<std::string> writes;
  std::string refused;  // a value whose writes fail

  int32_t writeValue(const char* name, SettingsType type, const uint8_t* data,
                     uint32_t size) override {
    if (refused == name) return kSettingsAccessDenied;
    writes.push_back(name);
    values[name] = {type, std::vector<uint8_t>(data, data + size)};
    return kSettingsOk;
  }
  int32_t readValue(const char* name, SettingsType& type, std::vector<uint8_t>& data,
                    bool) override {
    auto it = values.find(name);
    if (it == values.end()) return kSettingsNotFound;
    std::tie(type, data) = it->second;
    return kSettingsOk;
  }
  std::vector<uint8_t>& data(const char* name) { return values[name].second; }
};

using SettingsTest = testing::ScratchTest;

// Every value written is read back as it was by a later start's store, in the stored forms:
// dwords, strings of 2 n + 4 bytes, records of their own lengths. No temporary file is left.
TEST_F(SettingsTest, RoundTripsThroughTheFile) {
  std::string folder = "/home/\xD0\xB8\xD0\xBC\xD1\x8F/";
  while (utf8ToUtf16(folder).size() < 260) folder += 'd';
  const fs::path file = dir / "sk720" / "settings";
  SettingsFileBackend b(file), later(file);
  SonarSettings sonar{.rangeIndex = 13, .tvgSlope = 33}, s;
  ViewSettings view{.zeroOffset = -45}, v;
  EXPECT_EQ(V({SetHeadLink(b, 7, 921600), SetGpsLink(b, 12, 4800),
               SetWindowPlacement(b, {0x10CF0000u, 8, 1, 0, -10, 20, 800, 3000}),
               SetLanguage(b, "0412\xED\x95\x9C"), SetWorkingFolder(b, folder),
               SaveRecords(b, &sonar, &view)}),
            V(6, kSettingsOk));
  uint32_t port = 0, baud = 0, gpsPort = 0, gpsBaud = 0;
  WindowPlacement p;
  std::string language, stored;
  EXPECT_EQ(V({GetHeadLink(later, port, baud), GetGpsLink(later, gpsPort, gpsBaud),
               GetWindowPlacement(later, p), GetLanguage(later, language),
               GetWorkingFolder(later, stored), LoadRecords(later, &s, &v)}),
            V(6, kSettingsOk));
  EXPECT_EQ(V({port, baud, gpsPort, gpsBaud, s.tvgSlope, s.rangeIndex, v.zeroOffset}),
            V({7, 921600, 12, 4800, 33, 13, -45}));
  EXPECT_EQ(V({p.style, p.exStyle, p.fullScreen, p.maximized, p.left, p.top, p.right, p.bottom}),
            V({0x10CF0000u, 8, 1, 0, -10, 20, 800, 3000}));
  EXPECT_EQ(language + stored, "0412\xED\x95\x9C" + folder);
  const std::pair<const char*, V> forms[] = {
      {"SerialSpeed", {4, 4}},     {"GPSSerialPort", {4, 4}},       {"Language", {1, 14}},
      {"WorkingFolder", {1, 524}}, {"MainWindowPosition", {3, 32}}, {"SonarDialogBinV2", {3, 72}},
      {"ViewDialogBinV3", {3, 84}}};  // type, bytes
  for (const auto& [name, form] : forms) {
    SettingsType type{};
    std::vector<uint8_t> data;
    EXPECT_EQ(later.readValue(name, type, data, false), kSettingsOk) << name;
    EXPECT_EQ(V({int64_t(type), int64_t(data.size())}), form) << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(SettingsTest, FirstStartWritesDefaultsAndTheSecondNothing) {
  MemoryBackend b;
  EXPECT_EQ(initLanguage(b), "0409");
  SonarSettings sonar{.rangeIndex = 3};
  ViewSettings view{.palette = 2, .toolbarVisible = 0};
  loadRecordsAtStart(b, false, sonar, view);
  EXPECT_EQ(V({sonar.rangeIndex, sonar.gainIndex, view.palette, view.toolbarVisible}),
            V({6, 5, 0, 1}));
  EXPECT_EQ(V({loadI32(b.data("SonarDialogBinV2").data() + 64),
               int64_t(loadF32(b.data("ViewDialogBinV3").data() + 8) * 4)}),
            V({860000, 4}));
  const std::string folder = pathToUtf8(dir / "Documents" / "SK720_DATA");
  EXPECT_EQ(loadWorkingFolderAtStart(b, folder), folder);
  EXPECT_TRUE(fs::is_directory(pathFromUtf8(folder)));
  b.writes.clear();
  EXPECT_EQ(initLanguage(b), "0409");
  loadRecordsAtStart(b, false, sonar, view);
  EXPECT_EQ(loadWorkingFolderAtStart(b, "unused"), folder);
  EXPECT_TRUE(b.writes.empty());
  // A store that cannot hold the folder still gives the program its place to write to.
  MemoryBackend refusing;
  refusing.refused = "WorkingFolder";
  EXPECT_EQ(loadWorkingFolderAtStart(refusing, pathToUtf8(dir / "other")),
            pathToUtf8(dir / "other"));
  EXPECT_TRUE(fs::is_directory(dir / "other"));
  // Without the extended range a stored range beyond 11 comes back as 11, and is stored so.
  for (const auto& [stored, extended, want] : {std::array{11, 0, 11}, {12, 0, 11}, {14, 1, 14}}) {
    MemoryBackend m;
    sonar.rangeIndex = stored;
    SaveRecords(m, &sonar, nullptr);
    loadRecordsAtStart(m, extended != 0, sonar, view);
    EXPECT_EQ(V({sonar.rangeIndex, loadI32(m.data("SonarDialogBinV2").data() + 4)}),
              V({want, want}));
  }
}

// Whole 32-bit fields are overlaid: a shorter record keeps the later fields, a longer one gives
// only its leading bytes, another type is no record; and every read stays within its capacity.
TEST(SettingsStore, RecordsStringsAndValuesOfTheWrongForm) {
  MemoryBackend b;
  SonarSettings sonar{.bandwidth = 4242};
  b.values["SonarDialogBinV2"] = {SettingsType::Binary, std::vector<uint8_t>(100, 0)};
  storeI32(b.data("SonarDialogBinV2").data() + 64, 123);  // centralFrequency
  EXPECT_EQ(V({LoadRecords(b, &sonar, nullptr), sonar.centralFrequency, sonar.bandwidth}),
            V({kSettingsOk, 123, 0}));
  b.data("SonarDialogBinV2").resize(70);  // 17 whole fields, the partial last one ignored
  b.data("SonarDialogBinV2")[68] = 0xAA;
  sonar.bandwidth = 4242;
  EXPECT_EQ(V({LoadRecords(b, &sonar, nullptr), sonar.centralFrequency, sonar.bandwidth}),
            V({kSettingsOk, 123, 4242}));
  ViewSettings view{.contrast = 8}, source{.contrast = 2};
  b.values["ViewDialogBinV3"] = {SettingsType::Binary, {1, 2, 3}};
  EXPECT_EQ(V({LoadRecords(b, nullptr, &view), view.contrast}), V({kSettingsOk, 8}));
  const auto blob = viewSettingsToBlob(source);
  b.values["ViewDialogBinV3"] = {SettingsType::String,
                                 std::vector<uint8_t>(blob.begin(), blob.end())};
  EXPECT_EQ(LoadRecords(b, nullptr, &view), kSettingsInvalidData);
  b.values["ViewDialogBinV3"].first = SettingsType::Binary;
  b.data("ViewDialogBinV3").push_back(0xFF);
  EXPECT_EQ(V({LoadRecords(b, nullptr, &view), view.contrast}), V({kSettingsOk, 2}));

  std::string text;
  // 63 and a terminator: 128 bytes; one more is cut.
  EXPECT_EQ(V({SetLanguage(b, std::string(63, 'x')), GetLanguage(b, text),
               SetLanguage(b, std::string(64, 'x')), GetLanguage(b, text),
               SetWorkingFolder(b, std::string(261, 'f'))}),
            V({kSettingsOk, kSettingsOk, kSettingsOk, kSettingsMoreData, kSettingsInvalidData}));
  EXPECT_EQ(text, std::string(63, 'x'));
  // Stored UTF-16 as another program may have left it: lone halves read as U+FFFD.
  b.values["Language"] = {SettingsType::String, {0x00, 0xDC, 0x00, 0xD8, 0, 0, 'x', 0}};
  EXPECT_EQ(std::to_string(GetLanguage(b, text)) + text, "0\xEF\xBF\xBD\xEF\xBF\xBD");
  uint32_t port = 0, baud = 0;
  WindowPlacement p;
  b.values["SerialPort"] = {SettingsType::Dword, {1, 0, 0}};
  b.values["MainWindowPosition"] = {SettingsType::Binary, std::vector<uint8_t>(36, 0)};
  EXPECT_EQ(V({GetHeadLink(b, port, baud), GetWindowPlacement(b, p)}),
            V({kSettingsInvalidData, kSettingsMoreData}));
  b.values["SerialPort"] = {SettingsType::String, {1, 0, 0, 0}};
  b.values["MainWindowPosition"] = {SettingsType::Binary, std::vector<uint8_t>(16, 0)};
  EXPECT_EQ(V({GetHeadLink(b, port, baud), GetWindowPlacement(b, p)}),
            V({kSettingsInvalidData, kSettingsInvalidData}));
  MemoryBackend refusing;  // a failed write stops the pair there
  refusing.refused = "GPSSerialPort";
  EXPECT_EQ(SetGpsLink(refusing, 3, 4800), kSettingsAccessDenied);
  refusing.refused = "ViewDialogBinV3";
  EXPECT_EQ(SaveRecords(refusing, nullptr, &view), kSettingsAccessDenied);
  EXPECT_TRUE(refusing.writes.empty());
  refusing.refused = "SonarDialogBinV2";  // the view record's success hides no failure
  EXPECT_EQ(V({SaveRecords(refusing, &sonar, &view), LoadRecords(refusing, &sonar, &view)}),
            V({kSettingsAccessDenied, kSettingsNotFound}));

  WindowPlacement q{.top = -10, .bottom = 1070};
  EXPECT_FALSE(fitPlacementToScreen(q, 1080));  // exactly the screen's height
  q.bottom = 1071;
  EXPECT_EQ(V({fitPlacementToScreen(q, 1080), q.top, q.bottom}), V({1, 0, 1080}));
}

// One damaged line costs only its own value, and the next write keeps the others; only a regular
// file of at most 1 MiB is read, anything else is unreadable and left alone.
TEST_F(SettingsTest, FileDamageAndWhatIsNoSettingsFile) {
  const fs::path file = dir / "settings";
  SettingsFileBackend b(file);
  SonarSettings sonar;
  ViewSettings view;
  EXPECT_EQ(LoadRecords(b, nullptr, &view), kSettingsNotFound);
  EXPECT_FALSE(fs::exists(file));  // reading creates nothing
  EXPECT_EQ(V({SetHeadLink(b, 7, 921600), SetLanguage(b, "0412"), SaveRecords(b, &sonar, nullptr)}),
            V(3, kSettingsOk));
  // Closed again at once: Windows replaces no open file.
  std::string text(std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf()),
                   {});
  const size_t at = text.find("SonarDialogBinV2 binary 72 ");
  ASSERT_NE(at, std::string::npos);
  text.replace(at + 27, 3, "x");  // a torn line: hex of the wrong length
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text << "\t\r\n";
  EXPECT_EQ(LoadRecords(b, &sonar, nullptr), kSettingsInvalidData);
  uint32_t port = 0, baud = 0;
  std::string language;
  EXPECT_EQ(V({SetGpsLink(b, 2, 4800), GetLanguage(b, language), GetHeadLink(b, port, baud),
               GetGpsLink(b, port, baud), LoadRecords(b, &sonar, nullptr)}),
            V({kSettingsOk, kSettingsOk, kSettingsOk, kSettingsOk, kSettingsNotFound}));
  EXPECT_EQ(language, "0412");

  {
    std::ofstream out(file, std::ios::binary);
    out << "sk720-settings 1\nSerialPort dword 4 07000000\nSerialSpeed dword 4 00100e00\n";
    for (size_t n = 0; n < (1u << 20) / 16 + 1; ++n) out << "Filler binary 0\n";
  }
  const uintmax_t size = fs::file_size(file);
  EXPECT_EQ(V({GetHeadLink(b, port, baud), SetHeadLink(b, 8, 115200) != kSettingsOk,
               int64_t(fs::file_size(file))}),
            V({kSettingsInvalidData, 1, int64_t(size)}));
  fs::resize_file(file, 80);  // the two values and part of a filler line
  EXPECT_EQ(V({GetHeadLink(b, port, baud), port, baud}), V({kSettingsOk, 7, 921600}));
  SettingsFileBackend notAFile(dir);
  EXPECT_EQ(V({GetHeadLink(notAFile, port, baud), SetHeadLink(notAFile, 8, 115200) != kSettingsOk,
               fs::is_directory(dir)}),
            V({kSettingsAccessDenied, 1, 1}));
}

}  // namespace
}  // namespace sk720
