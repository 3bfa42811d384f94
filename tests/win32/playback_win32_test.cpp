// The waitable-timer pacer and the display path of an open file, under Wine.
#include "records/playback_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "base/utf16.h"
#include "scratch_test.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

TEST(WaitableTimerPacer, WaitsAtLeastTheInterval) {
  WaitableTimerPacer pacer;
  for (int64_t hundredNs : {31250, 200000}) {
    const auto start = std::chrono::steady_clock::now();
    pacer.wait(hundredNs);
    // Never early (less a tick of slack for the clocks), which sleeping could not promise below
    // the scheduler's quantum.
    EXPECT_GE((std::chrono::steady_clock::now() - start) / std::chrono::nanoseconds(100) + 10000,
              hundredNs);
  }
  pacer.wait(0);
  pacer.wait(-5);  // returns at once rather than waiting without end
}

using ResolveFilePath = testing::ScratchTest;

TEST_F(ResolveFilePath, DriveLetterPathOfAnOpenFile) {
  const fs::path full = write("a rec.bin", std::string("DATA....")),
                 empty = write("empty.bin", std::string());
  std::wstring path;
  for (const fs::path& file : {full, empty}) {  // a file of no length cannot be mapped
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(resolveFilePath(h, path), file == full);
    CloseHandle(h);
  }
  wchar_t expected[MAX_PATH];
  GetFullPathNameW(full.c_str(), MAX_PATH, expected, nullptr);
  EXPECT_EQ(_wcsicmp(path.c_str(), expected), 0);

  // The status line falls back to the path as opened.
  RecordFileSource source;
  ASSERT_TRUE(source.open(pathToUtf8(empty)));
  EXPECT_EQ(playbackDisplayPath(source), pathToUtf8(empty));
}

}  // namespace
}  // namespace sk720
