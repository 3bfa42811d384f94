#include <gtest/gtest.h>

#include <vector>

#include "sk720/turn_split.h"

namespace sk720::cli {
namespace {

struct Sweep {
  const char* name;
  bool sector;
  std::vector<int32_t> lines;
  int32_t width, step;
  std::vector<int32_t> starts;  // pings that begin a new turn
  std::vector<bool> complete;   // of each turn, the last one included
};

std::vector<int32_t> circle(int32_t from, int32_t step, int32_t pings) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < pings; ++i) v.push_back((from + i * step) % 3200);
  return v;
}

std::vector<int32_t> sweeps(int32_t lo, int32_t width, int32_t step, int32_t count) {
  std::vector<int32_t> v;
  for (int32_t s = 0; s < count; ++s) {
    for (int32_t o = 0; o <= width; o += step) v.push_back(s % 2 ? lo + width - o : lo + o);
  }
  return v;
}

TEST(TurnSplitTest, TurnsBeginAndEndWhereTheHeadDoes) {
  const Sweep cases[] = {
      {"whole turns at step 1",
       false,
       circle(0, 1, 7200),
       3200,
       1,
       {3200, 6400},
       {true, true, false}},
      {"step 16, ending before zero", false, circle(0, 16, 400), 3200, 16, {200}, {true, true}},
      {"begun mid-turn", false, circle(1600, 16, 300), 3200, 16, {100}, {false, true}},
      // Each sweep here repeats the line it turns at: the turn begins where the head moves back.
      {"sector swept both ways",
       true,
       sweeps(800, 800, 16, 3),
       800,
       16,
       {52, 103},
       {true, true, true}},
      {"two sweeps", true, sweeps(800, 800, 16, 2), 800, 16, {52}, {true, true}},
  };
  for (const Sweep& c : cases) {
    SCOPED_TRACE(c.name);
    TurnSplitter s;
    std::vector<int32_t> starts;
    std::vector<bool> complete;
    for (size_t i = 0; i < c.lines.size(); ++i) {
      if (s.startsTurn(c.lines[i], c.sector)) {
        starts.push_back(int32_t(i));
        complete.push_back(s.complete(c.sector, c.width, c.step));
        s.beginTurn();
      }
      s.add(c.lines[i]);
    }
    complete.push_back(s.complete(c.sector, c.width, c.step));
    EXPECT_EQ(starts, c.starts);
    EXPECT_EQ(complete, c.complete);
  }
  // A cut-short sweep: only its first half.
  TurnSplitter s;
  for (int32_t line : circle(800, 16, 20)) s.add(line);
  EXPECT_FALSE(s.complete(true, 800, 16));
}

TEST(TurnSplitTest, CountsTheLinesTheGapFillWrites) {
  struct Case {
    int32_t previous, line;
    std::vector<int32_t> written, notWritten;
  };
  const Case cases[] = {
      {10, 14, {10, 11, 12, 13, 14}, {9, 15}},
      {3199, 0, {3199, 0}, {3198, 1}},
      {0, 3190, {3190, 3195, 3199}, {0, 3189}},  // the fill goes to the spare, not line 0
      {3199, 2, {2}, {0, 1, 3199}},              // crossing zero off line 0: no fill
      {100, 140, {140}, {100, 101, 139}},        // 33 lines or more: no fill
  };
  for (const Case& c : cases) {
    TurnSplitter s;
    s.add(c.previous);
    s.beginTurn();
    s.add(c.line);
    for (int32_t l : c.written) EXPECT_TRUE(s.wrote(l)) << c.previous << "->" << c.line << " " << l;
    for (int32_t l : c.notWritten)
      EXPECT_FALSE(s.wrote(l)) << c.previous << "->" << c.line << " " << l;
  }
}

TEST(TurnSplitTest, CommandWordFields) {
  EXPECT_FALSE(sectorModeOf(0x20180284));
  EXPECT_EQ(stepLinesOf(0x20180284), 1);
  EXPECT_EQ(stepLinesOf(0x00500000), 16);
  EXPECT_TRUE(sectorModeOf(0x08000000));
  EXPECT_EQ(sectorWidthLinesOf(0x08000000), 800);
  EXPECT_EQ(sectorWidthLinesOf(0x18000000), 1600);
}

}  // namespace
}  // namespace sk720::cli
