// The waitable-timer pacer and the display path of an open file, under Wine.
#include "records/playback_win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/utf16.h"
#include "scratch_test.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

TEST(WaitableTimerPacer, WaitsAtLeastTheInterval) {
  WaitableTimerPacer pacer;
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  for (int64_t hundredNs : {int64_t(31250), int64_t(200000)}) {
    QueryPerformanceCounter(&t0);
    pacer.wait(hundredNs);
    QueryPerformanceCounter(&t1);
    // Never early (less a tick of slack for the counters), which sleeping could not promise
    // below the scheduler's quantum.
    const double elapsed = double(t1.QuadPart - t0.QuadPart) * 1e7 / double(freq.QuadPart);
    EXPECT_GE(elapsed + 10000, double(hundredNs));
  }
  pacer.wait(0);
  pacer.wait(-5);  // returns at once rather than waiting without end
}

using ResolveFilePath = testing::ScratchTest;

TEST_F(ResolveFilePath, DriveLetterPathOfAnOpenFile) {
  const fs::path full = dir / "a rec.bin", empty = dir / "empty.bin";
  std::ofstream(full, std::ios::binary) << "DATA....";
  std::ofstream(empty, std::ios::binary);

  HANDLE h = CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::wstring path;
  ASSERT_TRUE(resolveFilePath(h, path));
  CloseHandle(h);
  wchar_t expected[MAX_PATH];
  GetFullPathNameW(full.c_str(), MAX_PATH, expected, nullptr);
  EXPECT_EQ(_wcsicmp(path.c_str(), expected), 0);
  EXPECT_EQ(path[1], L':');

  h = CreateFileW(empty.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(resolveFilePath(h, path));
  CloseHandle(h);

  // The status line falls back to the path as opened.
  RecordFileSource source(false);
  ASSERT_TRUE(source.open(pathToUtf8(empty)));
  EXPECT_EQ(playbackDisplayPath(source), pathToUtf8(empty));
  source.close();
}

}  // namespace
}  // namespace sk720
