// sk720 info in the reader's words: pings, turns, damage, and a total for several files.
#include "record_builder.h"
#include "sk720/turn_split.h"
#include "tool_test.h"

namespace sk720::cli {
namespace {

using InfoTest = ToolTest;

TEST_F(InfoTest, TurnsPingsAndTotalInWords) {
  ASSERT_EQ(runSynth({path("one.bin"), "--turns", "1"}), 0);
  ASSERT_EQ(runSynth({path("three.bin"), "--turns", "3", "--step-index", "3", "--header", "28"}),
            0);
  const Outcome o = runCaptured([&] { return runInfo({path("one.bin"), path("three.bin")}); });
  EXPECT_EQ(o.code, 0) << o.err;
  // Step 4 lines a ping: 800 pings a turn, a quarter of the lines seen.
  for (const std::string& part :
       {path("one.bin") + "\n  pings: 3200\n", path("three.bin") + "\n  pings: 2400\n",
        std::string("  head turned: 1.00 turns, 3200 of 3200 lines seen\n"),
        std::string("  head turned: 3.00 turns, 800 of 3200 lines seen\n"),
        std::string("  header: 28 bytes (2400)\n  range: 10 m (2400)\n"),
        std::string("  resolution: 3200 lines a turn (3200)\n"), std::string("  positions: none\n"),
        std::string("  compass and gyro: in 3200 pings\n")}) {
    EXPECT_NE(o.out.find(part), std::string::npos) << part << o.out;
  }
  EXPECT_EQ(o.out.substr(o.out.rfind('\n', o.out.size() - 2) + 1),
            "total: 5600 pings in 2 files, head turned 4.00 turns\n");
}

TEST_F(InfoTest, DamageIsDescribedAndAFileWithoutRecordsGivesTheErrorOnly) {
  using sk720::testing::buildRecord;
  // A record, one whose length is too short, a record, and the start of one.
  std::vector<uint8_t> bytes = buildRecord({.angle = 90, .samples = std::vector<uint8_t>(300, 2)});
  for (const auto& r :
       {buildRecord({.lengthOverride = 30}),
        buildRecord({.headerSize = 28, .angle = 180, .samples = std::vector<uint8_t>(300, 9)}),
        buildRecord({.samples = std::vector<uint8_t>(300, 1)})})
    sk720::testing::append(bytes, r);
  bytes.resize(bytes.size() - (44 + 300 + 8) + 100);
  write("damaged.bin", bytes);
  write("garbage.bin", "DATA but nothing that is a record");

  Outcome o = runCaptured([&] { return runInfo({path("damaged.bin")}); });
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_NE(o.out.find("  pings: 2\n  damaged records skipped: 1 with a wrong length\n"
                       "  the file ends inside a record\n"),
            std::string::npos)
      << o.out;
  EXPECT_EQ(o.out.find("END"), std::string::npos) << o.out;

  o = runCaptured([&] { return runInfo({path("damaged.bin"), path("garbage.bin")}); });
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err, "sk720: info: " + path("garbage.bin") + ": no ping record found in it\n");
  EXPECT_EQ(o.out.find(path("garbage.bin")), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("total: 2 pings in 1 file,"), std::string::npos) << o.out;
}

// The head synth imitates, as its first record's header tells it.
TEST_F(InfoTest, SynthWritesTheHeadItIsAskedFor) {
  const struct {
    Args options;
    uint32_t header;
    bool headUp, sector;
    int32_t stepLines, sectorWidth;
  } cases[] = {{{}, 44, false, false, 1, 0},
               {{"--head-up", "--header", "36"}, 36, true, false, 1, 0},
               {{"--step-index", "3", "--header", "28"}, 28, false, false, 4, 0},
               {{"--sector", "2,1"}, 44, false, true, 1, 800},
               {{"--sector", "0,1"}, 44, false, true, 1, 800}};
  for (const auto& c : cases) {
    Args args = {path("s.bin")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(runSynth(args), 0);
    const std::vector<uint8_t> bytes = sk720::testing::fileBytes(path("s.bin"));
    ASSERT_GT(bytes.size(), 44u);
    const uint32_t word = loadU32(&bytes[24]);
    EXPECT_EQ(loadU32(&bytes[4]), c.header);
    EXPECT_EQ((word >> 4 & 1) != 0, c.headUp) << std::hex << word;
    EXPECT_EQ(sectorModeOf(word), c.sector) << std::hex << word;
    EXPECT_EQ(stepLinesOf(word), c.stepLines) << std::hex << word;
    EXPECT_EQ(c.sector ? sectorWidthLinesOf(word) : 0, c.sectorWidth);
  }
}

}  // namespace
}  // namespace sk720::cli
