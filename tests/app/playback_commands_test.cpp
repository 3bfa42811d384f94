// The speed button's cycle, the open-file selection and the record file's first bytes.
#include "app/playback_commands.h"

#include <gtest/gtest.h>

namespace sk720 {
namespace {

TEST(PlaybackCommands, SpeedButtonCycle) {
  int32_t speed = 1;  // after Open File: "x2"
  EXPECT_EQ(speedButtonText(speed), L"x2");
  const int32_t speeds[5] = {2, 4, 8, 16, 1};
  const wchar_t* texts[5] = {L"x4", L"x8", L"x16", L"\u25BA", L"x2"};
  for (int i = 0; i < 5; ++i) {
    const SpeedStep step = nextPlaybackSpeed(speed);
    EXPECT_EQ(step.speed, speeds[i]);
    EXPECT_EQ(step.text, texts[i]);
    speed = step.speed;
  }
  EXPECT_EQ(speedButtonText(16), L"\u25BA");  // pause: the next click plays at speed 1
  EXPECT_EQ(nextPlaybackSpeed(16).speed, 1);
  EXPECT_EQ(nextPlaybackSpeed(0).speed, 1);
  EXPECT_EQ(nextPlaybackSpeed(-4).speed, 1);
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
  std::vector<wchar_t> b = bufferOf({L"C:\\rec\\a.bin"});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size(), false),
            std::vector<std::wstring>{L"C:\\rec\\a.bin"});

  b = bufferOf({L"C:\\rec", L"b.bin", L"a.bin"});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size(), true),
            (std::vector<std::wstring>{L"C:\\rec\\b.bin", L"C:\\rec\\a.bin"}));
  b = bufferOf({L"D:\\", L"a.bin"});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size(), true),
            std::vector<std::wstring>{L"D:\\a.bin"});

  std::vector<std::wstring> many = {L"C:\\rec"};
  for (int i = 0; i < 300; ++i) many.push_back(L"f" + std::to_wstring(i) + L".bin");
  b = bufferOf(many);
  const auto paths = parseOpenFileSelection(b.data(), b.size(), true);
  ASSERT_EQ(paths.size(), kMaxPlaybackFiles);
  EXPECT_EQ(paths.back(), L"C:\\rec\\f255.bin");

  // Longer than the system's classic path limit: joined whole, the open decides.
  const std::wstring folder = L"C:\\" + std::wstring(250, L'd');
  const std::wstring name = std::wstring(100, L'n') + L".bin";
  b = bufferOf({folder, name});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size(), true),
            std::vector<std::wstring>{folder + L"\\" + name});

  // A name cut off by the end of the buffer is not opened under a wrong name.
  b = bufferOf({L"C:\\rec", L"a.bin", L"bbbb.bin"});
  EXPECT_EQ(parseOpenFileSelection(b.data(), b.size() - 4, true),
            std::vector<std::wstring>{L"C:\\rec\\a.bin"});
  EXPECT_TRUE(parseOpenFileSelection(b.data(), 3, false).empty());
  EXPECT_TRUE(parseOpenFileSelection(nullptr, 0, false).empty());
}

TEST(PlaybackCommands, RecordFileStart) {
  uint8_t bytes[16] = {'D', 'A', 'T', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 17, 0, 0, 0};
  EXPECT_TRUE(isRecordFileStart(bytes, 16));
  EXPECT_FALSE(isRecordFileStart(bytes, 15));
  bytes[12] = 16;  // read big-endian this would be far above 16
  EXPECT_FALSE(isRecordFileStart(bytes, 16));
  bytes[12] = 0, bytes[15] = 1;
  EXPECT_TRUE(isRecordFileStart(bytes, 16));
  bytes[3] = 'a';
  EXPECT_FALSE(isRecordFileStart(bytes, 16));
}

}  // namespace
}  // namespace sk720
