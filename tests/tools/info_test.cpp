// sk720 info in the reader's words: pings, turns, damage, and a total for several files; the
// turn splitting it counts turns with; and the ping table over several files.
#include <cstdlib>

#include "record_builder.h"
#include "sk720/table_job.h"
#include "sk720/turn_split.h"
#include "tool_test.h"

namespace sk720::cli {
namespace {

using InfoTest = ToolTest;
using sk720::testing::buildRecord;

TEST_F(InfoTest, DamageIsDescribedAndAFileWithoutRecordsGivesTheErrorOnly) {
  // A record, one whose length is too short, a record, and the start of one; lines 0 and 20.
  std::vector<uint8_t> bytes = buildRecord({.angle = 0, .samples = std::vector<uint8_t>(300, 2)});
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
  for (const char* part : {"  pings: 2\n  damaged records skipped: 1 with a wrong length\n"
                           "  the file ends inside a record\n",
                           "  head turned: 0.01 turns, 2 of 3200 lines seen\n"})
    EXPECT_NE(o.out.find(part), std::string::npos) << part << o.out;
  EXPECT_EQ(o.out.find("END"), std::string::npos) << o.out;

  o = runCaptured([&] { return runInfo({path("damaged.bin"), path("garbage.bin")}); });
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err, "sk720: info: " + path("garbage.bin") + ": no ping record found in it\n");
  EXPECT_EQ(o.out.find(path("garbage.bin")), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("total: 2 pings in 1 file,"), std::string::npos) << o.out;
  o = runCaptured([&] { return runInfo({path("garbage.bin"), path("garbage.bin")}); });
  EXPECT_EQ(o.out, "");  // no total of no file
}

// The head synth imitates, as its first record's header tells it, and info describes two of
// them in words.
TEST_F(InfoTest, SynthWritesTheHeadItIsAskedForAndInfoCountsTurnsAndPings) {
  // options; header size, head up, sector, lines a step, sector width in lines
  const std::pair<Args, std::vector<int64_t>> cases[] = {
      {{"--turns", "1"}, {44, 0, 0, 1, 0}},
      {{"--turns", "3", "--step-index", "3", "--header", "28"}, {28, 0, 0, 4, 0}},
      {{"--head-up", "--header", "36"}, {36, 1, 0, 1, 0}},
      {{"--sector", "0,1"}, {44, 0, 1, 1, 800}}};
  int n = 0;
  for (const auto& [options, fields] : cases) {
    Args args = {path("s" + std::to_string(n++) + ".bin")};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(runSynth(args), 0);
    const std::vector<uint8_t> bytes = sk720::testing::fileBytes(args[0]);
    ASSERT_GT(bytes.size(), 44u);
    const uint32_t word = loadU32(&bytes[24]);
    const bool sector = sectorModeOf(word);
    EXPECT_EQ(std::vector<int64_t>({loadU32(&bytes[4]), word >> 4 & 1, sector, stepLinesOf(word),
                                    sector ? sectorWidthLinesOf(word) : 0}),
              fields)
        << std::hex << word;
  }
  const Outcome o = runCaptured([&] { return runInfo({path("s0.bin"), path("s1.bin")}); });
  EXPECT_EQ(o.code, 0) << o.err;
  // Step 4 lines a ping: 800 pings a turn, a quarter of the lines seen.
  for (const std::string& part :
       {path("s0.bin") + "\n  pings: 3200\n", path("s1.bin") + "\n  pings: 2400\n",
        std::string("  head turned: 1.00 turns, 3200 of 3200 lines seen\n"),
        std::string("  head turned: 3.00 turns, 800 of 3200 lines seen\n"),
        std::string("  header: 28 bytes (2400)\n  range: 10 m (2400)\n"),
        std::string("  resolution: 3200 lines a turn (3200)\n"), std::string("  positions: none\n"),
        std::string("  compass and gyro: in 3200 pings\n")}) {
    EXPECT_NE(o.out.find(part), std::string::npos) << part << o.out;
  }
  EXPECT_EQ(o.out.substr(o.out.rfind('\n', o.out.size() - 2) + 1),
            "total: 5600 pings in 2 files, head turned 4.00 turns\n");
  EXPECT_EQ(o.out.find("ends inside"), std::string::npos);  // whole files
}

// Whole circles from `from`, or sweeps back and forth over a sector: lines of `count` pings or
// sweeps.
std::vector<int32_t> motion(bool sector, int32_t from, int32_t width, int32_t step, int32_t count) {
  std::vector<int32_t> v;
  for (int32_t i = 0; !sector && i < count; ++i) v.push_back((from + i * step) % 3200);
  for (int32_t s = 0; sector && s < count; ++s) {
    for (int32_t o = 0; o <= width; o += step) v.push_back(s % 2 ? from + width - o : from + o);
  }
  return v;
}

// Each sweep repeats the line it turns at: the next turn begins where the head moves back.
TEST(TurnSplitTest, TurnsBeginAndEndWhereTheHeadDoes) {
  const struct {
    bool sector;
    int32_t from, width, step, count;
    std::vector<int32_t> starts;  // pings that begin a new turn
    std::vector<bool> complete;   // of each turn, the last one included
  } cases[] = {{false, 0, 3200, 1, 7200, {3200, 6400}, {true, true, false}},
               {false, 0, 3200, 16, 400, {200}, {true, true}},                 // ending before zero
               {false, 1600, 3200, 16, 300, {100}, {false, true}},             // begun mid-turn
               {false, 3000, 3200, 16, 300, {13, 213}, {false, true, false}},  // begun past zero
               {true, 800, 800, 16, 3, {52, 103}, {true, true, true}}};
  for (const auto& c : cases) {
    TurnSplitter s;
    std::vector<int32_t> starts;
    std::vector<bool> complete;
    const std::vector<int32_t> lines = motion(c.sector, c.from, c.width, c.step, c.count);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (s.startsTurn(lines[i], c.sector)) {
        starts.push_back(int32_t(i));
        complete.push_back(s.complete(c.sector, c.width, c.step));
        s.beginTurn();
      }
      s.add(lines[i]);
    }
    complete.push_back(s.complete(c.sector, c.width, c.step));
    EXPECT_EQ(starts, c.starts) << c.from << " " << c.step;
    EXPECT_EQ(complete, c.complete) << c.from << " " << c.step;
  }
  TurnSplitter e;  // a reversal as a turn begins ends no turn without pings
  for (const int32_t line : {800, 816}) {
    e.startsTurn(line, true);
    e.add(line);
  }
  e.beginTurn();
  EXPECT_FALSE(e.startsTurn(800, true));
  TurnSplitter s;  // a cut-short sweep: only its first half
  for (int32_t line : motion(false, 800, 0, 16, 20)) s.add(line);
  EXPECT_FALSE(s.complete(true, 800, 16));
  // The step a turn's end is judged by (the sector fields are read back from synth's records
  // above): a missing or unknown step code is one line a ping.
  EXPECT_EQ(std::vector<int32_t>({stepLinesOf(0), stepLinesOf(5u << 20), stepLinesOf(6u << 20)}),
            std::vector<int32_t>({1, 16, 1}));
}

TEST(TurnSplitTest, CountsTheLinesTheGapFillWrites) {
  // previous line, line, lines counted; then lines written and lines not written
  const std::vector<int32_t> cases[][2] = {
      {{14, 10, 5}, {10, 14, -9, -15}},
      {{3168, 0, 33}, {3168, 3199, 0, -3167, -1}},
      {{0, 3190, 10}, {3190, 3195, 3199, -3189}},  // the fill goes to the spare, not line 0
      {{3199, 2, 1}, {2, -1, -3199}},              // crossing zero off line 0: no fill
      {{100, 132, 33}, {100, 132, -99, -133}},
      {{100, 133, 1}, {133, -100, -101, -132}}};  // 33 lines or more: no fill
  for (const auto& [counts, lines] : cases) {
    TurnSplitter s;
    s.add(counts[0]);
    s.beginTurn();
    s.add(counts[1]);
    EXPECT_EQ(s.linesWritten() * 10 + s.pings(), counts[2] * 10 + 1)
        << counts[0] << "->" << counts[1];
    for (int32_t l : lines) EXPECT_EQ(s.wrote(std::abs(l)), l >= 0) << counts[1] << " " << l;
  }
  EXPECT_FALSE(TurnSplitter().wrote(0));
  TurnSplitter s;  // a new recording starts without a previous line to fill from
  s.add(10);
  s.beginRecording();
  s.add(14);
  EXPECT_EQ(s.linesWritten(), 1);
}

}  // namespace
// Each pulse kind and step as the command word gives them (step code 6 is no step); the progress
// line counts both files' bytes.
TEST_F(InfoTest, PingTableNamesEachPulseAndCountsTheBytesOfEveryFile) {
  const uint32_t cw = (0x20180284u & ~0x7FECu) | (100u << 5), noStep = cw & ~(15u << 20);
  const uint32_t fm = noStep | (6u << 20) | 8u, afm = noStep | (5u << 20) | 12u;
  for (const auto& [name, words] :
       {std::pair<std::string, std::vector<uint32_t>>{"a.bin", {cw, fm}}, {"b.bin", {afm}}}) {
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < 1000; ++i) {
      sk720::testing::append(bytes, buildRecord({.angle = i * 9,
                                                 .commandId = words[i % words.size()],
                                                 .samples = std::vector<uint8_t>(1000, 3)}));
    }
    write(name, bytes);
  }
  struct TickingClock : ManualClock {
    uint32_t nowMs() override {
      advance(kProgressPeriodMs);
      return ManualClock::nowMs();
    }
  } clock;
  std::string shown;
  ProgressLine progress("export", true, clock, [&](const std::string& s) { shown = s; });
  TableResult result;
  std::string error;
  ASSERT_TRUE(exportTable(
      {{path("a.bin"), path("b.bin")}, path("t.csv"), TableFormat::Csv, false, &progress}, result,
      &error))
      << error;
  EXPECT_EQ(result.rows, 2000u);
  EXPECT_EQ(result.bytes, 2000u * 1052);
  EXPECT_NE(shown.find("2000 records, 2.1 MB"), std::string::npos) << shown;

  // step_deg, pulse and pulse_us in a row, in rows 1, 2 and 1001 (the header is row 0).
  std::ifstream csv(path("t.csv"));
  std::vector<std::string> rows(1002);
  for (std::string& row : rows) std::getline(csv, row);
  EXPECT_NE(rows[0].find(",step_deg,pulse,pulse_us,"), std::string::npos) << rows[0];
  EXPECT_NE(rows[1].find(",0.1125,CW,100,"), std::string::npos) << rows[1];
  EXPECT_NE(rows[2].find(",,FM,512,"), std::string::npos) << rows[2];
  EXPECT_NE(rows[1001].find(",1.8,AFM,512,"), std::string::npos) << rows[1001];
}

}  // namespace sk720::cli
