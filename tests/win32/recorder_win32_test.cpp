// Record files through overlapped appends: the completion routines run in the writer's
// alertable sleeps and free every block; the file holds the records in order.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "record_builder.h"
#include "records/recorder.h"
#include "records/recorder_win32.h"
#include "scratch_test.h"

namespace sk720 {
namespace {

using OverlappedRecorder = testing::ScratchTest;

TEST_F(OverlappedRecorder, AppendsInOrderAndFreesEveryBlock) {
  const std::string folder = (dir / "new").string();  // made by the first open
  RecordStorage& storage = overlappedRecordStorage();
  StatusText status;
  std::atomic<bool> recordEvent{true};
  GpsFix gps{.lat = 0.25f};
  ScanInputs inputs;
  RecorderShared shared{recordEvent, gps, inputs, status};

  RecordFile file;
  ASSERT_TRUE(openRecordFile(storage, folder, "20240102_030405", file, status));
  EXPECT_EQ(file.path, folder + "\\rez720_20240102_030405.bin");
  // The file holds the records in order, each widened to the 44-byte header with the position.
  std::vector<uint8_t> expected;
  for (uint32_t i = 0; i < 500; ++i) {
    testing::RecordSpec s{.headerSize = i % 2 ? 36u : 28u, .angle = i * 9};
    s.samples.assign(100 + i % 50, uint8_t(i));
    ASSERT_TRUE(recordPing(file, testing::buildRecord(s).data(), shared));
    if (i % 3 == 0) file.sink->completeFinished();  // not after every record: some pile up
    s.headerSize = 44, s.lat = 0.25f;
    testing::append(expected, testing::buildRecord(s));
  }
  ASSERT_TRUE(closeRecordFile(storage, file));
  EXPECT_EQ(overlappedBlocksOutstanding(), 0);
  EXPECT_EQ(expected.size(), file.bytesWritten);
  EXPECT_TRUE(testing::fileBytes(file.path) == expected);

  // A file that received nothing is deleted when it is closed.
  RecordFile empty;
  ASSERT_TRUE(openRecordFile(storage, folder, "20240102_030406", empty, status));
  EXPECT_FALSE(closeRecordFile(storage, empty));
  EXPECT_FALSE(std::filesystem::exists(empty.path));
}

}  // namespace
}  // namespace sk720
