// sk720 info in the reader's words: pings, turns, damage, and a total for several files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "record_builder.h"
#include "sk720/commands.h"
#include "stderr_capture.h"

namespace sk720::cli {
namespace {

namespace fs = std::filesystem;

class InfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          (std::string("sk720-info-") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
           std::to_string(std::random_device{}()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string path(const char* name) const { return (dir / name).string(); }
  std::string info(const Args& files, int& code, std::string& err) {
    std::string out;
    out = testing::captureOutput(
        1, [&] { err = testing::captureStderr([&] { code = runInfo(files); }); });
    return out;
  }
  fs::path dir;
};

TEST_F(InfoTest, TurnsPingsAndTotalInWords) {
  ASSERT_EQ(runSynth({path("one.bin"), "--turns", "1"}), 0);
  ASSERT_EQ(runSynth({path("three.bin"), "--turns", "3", "--step-index", "3", "--header", "28"}),
            0);
  int code = -1;
  std::string err;
  const std::string out = info({path("one.bin"), path("three.bin")}, code, err);
  EXPECT_EQ(code, 0) << err;
  EXPECT_NE(out.find(path("one.bin") + "\n  pings: 3200\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  head turned: 1.00 turns, 3200 of 3200 lines seen\n"), std::string::npos);
  // Step 4 lines a ping: 800 pings a turn, a quarter of the lines seen.
  EXPECT_NE(out.find(path("three.bin") + "\n  pings: 2400\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  head turned: 3.00 turns, 800 of 3200 lines seen\n"), std::string::npos);
  EXPECT_NE(out.find("  header: 28 bytes (2400)\n"), std::string::npos);
  EXPECT_NE(out.find("  positions: none\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1),
            "total: 5600 pings in 2 files, head turned 4.00 turns\n");
}

TEST_F(InfoTest, DamageIsDescribedAndAFileWithoutRecordsGivesTheErrorOnly) {
  std::vector<uint8_t> bytes;
  testing::append(bytes,
                  testing::buildRecord({.angle = 90, .samples = std::vector<uint8_t>(300, 2)}));
  testing::append(bytes, testing::buildRecord({.lengthOverride = 30}));
  testing::append(bytes,
                  testing::buildRecord({.angle = 180, .samples = std::vector<uint8_t>(300, 9)}));
  auto cut = testing::buildRecord({.samples = std::vector<uint8_t>(300, 1)});
  cut.resize(100);
  testing::append(bytes, cut);
  std::ofstream(path("damaged.bin"), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  std::ofstream(path("garbage.bin")) << "DATA but nothing that is a record";

  int code = -1;
  std::string err;
  std::string out = info({path("damaged.bin")}, code, err);
  EXPECT_EQ(code, 0) << err;
  EXPECT_NE(out.find("  pings: 2\n  damaged records skipped: 1 with a wrong length\n"
                     "  the file ends inside a record\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("END"), std::string::npos) << out;

  out = info({path("damaged.bin"), path("garbage.bin")}, code, err);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(err, "sk720: info: " + path("garbage.bin") + ": no ping record found in it\n");
  EXPECT_EQ(out.find(path("garbage.bin")), std::string::npos) << out;
  EXPECT_NE(out.find("total: 2 pings in 1 file,"), std::string::npos) << out;
}

}  // namespace
}  // namespace sk720::cli
