// The settings file back end against what only a POSIX file system offers.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "scratch_test.h"
#include "settings/settings_file_backend.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

// A FIFO at the settings path: reads come back unreadable at once instead of waiting for a
// writer, and writes leave it in place. A plain path is written through the synced writer.
using SettingsFilePosix = testing::ScratchTest;

TEST_F(SettingsFilePosix, FifoIsUnreadableAndTheSyncedWriterReplaces) {
  const fs::path fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  SettingsFileBackend b(fifo, writeFileDurably);
  uint32_t port = 0, baud = 0;
  EXPECT_EQ(GetHeadLink(b, port, baud), kSettingsAccessDenied);
  EXPECT_NE(SetHeadLink(b, 3, 115200), kSettingsOk);
  EXPECT_TRUE(fs::is_fifo(fifo));

  SettingsFileBackend plain(dir / "settings", writeFileDurably);
  ASSERT_EQ(SetHeadLink(plain, 3, 115200), kSettingsOk);
  ASSERT_EQ(SetHeadLink(plain, 4, 230400), kSettingsOk);
  EXPECT_EQ(GetHeadLink(plain, port, baud), kSettingsOk);
  EXPECT_EQ(port, 4u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace sk720
