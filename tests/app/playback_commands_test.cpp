// The speed button's cycle, the open-file selection and the record file's first bytes.
#include "app/playback_commands.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sk720 {
namespace {

// The button names what the next click does: double the speed, or back to normal play.
TEST(PlaybackCommands, SpeedButtonCycle) {
  const struct {
    int32_t current, next;
    const wchar_t* text;
  } steps[] = {{1, 2, L"x4"},  {2, 4, L"x8"}, {4, 8, L"x16"}, {8, 16, L"\u25BA"},
               {16, 1, L"x2"}, {0, 1, L"x2"}, {-3, 1, L"x2"}, {40, 1, L"x2"}};
  for (const auto& s : steps) {
    const SpeedStep step = nextPlaybackSpeed(s.current);
    EXPECT_EQ(step.speed, s.next) << s.current;
    EXPECT_EQ(step.text, s.text) << s.current;
    EXPECT_EQ(speedButtonText(s.next), s.text);
  }
  EXPECT_EQ(speedButtonText(0), L"\u25BA");
}

std::vector<wchar_t> bufferOf(const std::vector<std::wstring>& entries) {
  std::vector<wchar_t> b;
  for (const std::wstring& e : entries) {
    b.insert(b.end(), e.begin(), e.end());
    b.push_back(L'\0');
  }
  b.push_back(L'\0');
  return b;
}

TEST(PlaybackCommands, SelectionOfOneAndSeveralFiles) {
  // Longer than the system's classic path limit: joined whole, the open decides.
  const std::wstring folder = L"C:\\" + std::wstring(250, L'd');
  const std::wstring name = std::wstring(100, L'n') + L".bin";
  const struct {
    std::vector<std::wstring> entries;
    bool several;
    std::vector<std::wstring> paths;
  } cases[] = {
      {{L"C:\\rec\\a.bin"}, false, {L"C:\\rec\\a.bin"}},
      {{L"C:\\rec", L"b.bin", L"a.bin"}, true, {L"C:\\rec\\b.bin", L"C:\\rec\\a.bin"}},
      {{L"D:\\", L"a.bin"}, true, {L"D:\\a.bin"}},  // a drive's root has its separator
      {{L"/mnt/rec/", L"a.bin"}, true, {L"/mnt/rec/a.bin"}},
      {{L"C:\\rec"}, true, {}},
      {{L""}, false, {}},
      {{folder, name}, true, {folder + L"\\" + name}},
  };
  for (const auto& c : cases) {
    const std::vector<wchar_t> b = bufferOf(c.entries);
    EXPECT_EQ(parseOpenFileSelection(b.data(), b.size(), c.several), c.paths);
  }
  std::vector<std::wstring> many = {L"C:\\rec"};
  for (int i = 0; i < 300; ++i) many.push_back(L"f" + std::to_wstring(i) + L".bin");
  std::vector<wchar_t> b = bufferOf(many);
  const auto paths = parseOpenFileSelection(b.data(), b.size(), true);
  ASSERT_EQ(paths.size(), kMaxPlaybackFiles);
  EXPECT_EQ(paths.back(), L"C:\\rec\\f255.bin");

  // A name cut off by the end of the buffer is not opened under a wrong name.
  b = bufferOf({L"C:\\rec", L"a.bin", L"bbbb.bin"});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size() - 2, true),
            std::vector<std::wstring>{L"C:\\rec\\a.bin"});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size() - 1, true).size(), 2u);
  EXPECT_TRUE(parseOpenFileSelection(b.data(), 6, false).empty());
  EXPECT_TRUE(parseOpenFileSelection(nullptr, 6, false).empty());
}

// "DATA", then a little-endian length above 16 at byte 12.
TEST(PlaybackCommands, RecordFileStart) {
  const uint8_t start[16] = {'D', 'A', 'T', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 17, 0, 0, 0};
  EXPECT_FALSE(isRecordFileStart(start, 15));
  // byte changed, its value; a record file start (16 read big-endian would be far above 16)
  const int cases[][3] = {{12, 17, 1}, {12, 16, 0}, {13, 1, 1},  {14, 1, 1}, {15, 1, 1},
                          {0, 'a', 0}, {1, 'a', 0}, {2, 'a', 0}, {3, 'a', 0}};
  for (const auto& [at, value, ok] : cases) {
    uint8_t bytes[16];
    std::copy(start, start + 16, bytes);
    if (at > 12) bytes[12] = 0;  // each byte of the length counts, little-endian
    bytes[at] = uint8_t(value);
    EXPECT_EQ(isRecordFileStart(bytes, 16), ok != 0) << at;
  }
}

}  // namespace
}  // namespace sk720
