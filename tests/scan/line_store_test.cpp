#include "scan/line_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "record_builder.h"
#include "scan/heading.h"

namespace sk720 {
namespace {

struct LineStoreTest : ::testing::Test {
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  ViewSettings view;

  int32_t store1(int32_t line, int32_t previous, uint8_t code = 100, size_t samples = 200) {
    const auto rec = testing::buildRecord(
        {.angle = uint32_t(line) * 9, .samples = std::vector<uint8_t>(samples, code)});
    return storeEchoLine(*store, rec.data(), false, view, previous);
  }
  // The degrees flagged since the last call.
  std::vector<int32_t> takeFlags() {
    std::vector<int32_t> d;
    for (int32_t i = 0; i < kDegrees; ++i) {
      if (store->dirtyDegrees[i]) d.push_back(i);
      store->dirtyDegrees[i] = 0;
    }
    return d;
  }
};

TEST(LineIndex, AnglesWholeTurnsHeadMountedUpAndTurns) {
  // angle (-2: 0xFFFFFFFE), head up, line
  const int64_t lines[][3] = {{0, 0, 0},     {8, 0, 0},     {9, 0, 1},    {28799, 0, 3199},
                              {28800, 0, 0}, {0, 1, 0},     {9, 1, 3199}, {45, 1, 3195},
                              {28791, 1, 1}, {-2, 0, 2588}, {-2, 1, 2588}};
  for (const auto& c : lines) EXPECT_EQ(lineIndexOf(uint32_t(c[0]), c[1] != 0), c[2]) << c[0];
  EXPECT_EQ(rangeIndexOf(10000) + rangeIndexOf(150000) + rangeIndexOf(1500), 6 + 14 + 0);
  EXPECT_EQ(rangeIndexOf(9999), 11);
  // A heading in 1/80 degree shows as whole lines of 9 units, within one turn.
  const double kLine = 2 * std::acos(-1.0) / 3200;
  const int64_t headings[][2] = {{7200, 800},         {8, 0},          {9, 1}, {-9, 3199},
                                 {28800 * 5 + 18, 2}, {INT64_MIN, 199}};
  for (const auto& [units, line] : headings)
    EXPECT_NEAR(headingRadiansOf(units), line * kLine, 1e-5) << units;
  // A turn is the side of the half turn changing near line 0, not across line 1600.
  const int32_t turns[][3] = {{3150, 10, 1},   {10, 3150, 1},   {1700, 800, 1},  {1700, 801, 0},
                              {1500, 2400, 1}, {1500, 2399, 0}, {1500, 1700, 0}, {1600, 10, 0},
                              {1601, 10, 1},   {10, 20, 0},     {3000, 3100, 0}};
  for (const auto& c : turns) {
    int32_t side = 0;
    detectTurn(side, c[0]);
    EXPECT_EQ(detectTurn(side, c[1]), c[2] != 0) << c[0] << " -> " << c[1];
    EXPECT_EQ(side, 1600 - c[1]);
  }
}

TEST_F(LineStoreTest, DeadZoneGainAndCeiling) {
  // gain index, dead zone index, sample code, sample, value stored
  const int32_t cases[][5] = {{8, 0, 255, 0, 0},    {8, 0, 255, 1, 4095}, {8, 0, 255, 199, 4095},
                              {8, 0, 255, 200, 0},  {0, 5, 255, 100, 0},  {0, 5, 255, 101, 2047},
                              {99, -4, 64, 1, 520}, {-3, 0, 64, 1, 32}};
  for (const auto& c : cases) {
    view.gainIndex = c[0];
    view.deadZoneIndex = c[1];
    EXPECT_EQ(store->load(store1(10, -1, uint8_t(c[2])), c[3]), c[4]) << c[0] << "/" << c[1];
  }
}

// A line and its gap fill hold nothing of what a longer line left there before, at any range.
TEST_F(LineStoreTest, AShorterLineLeavesNothingOfALongerOne) {
  view.deadZoneIndex = 0;
  for (const size_t longer : {size_t(3000), size_t(20000), size_t(250)}) {
    store1(40, 30, 200, longer);  // fills 30..39 as well
    store1(40, 30, 200, 120);
    for (int32_t l = 30; l <= 40; ++l) {
      EXPECT_NE(store->load(l, 50), 0) << l;
      for (int32_t j : {120, 121, 249, 2999, 19999, kLineSamples - 1})
        EXPECT_EQ(store->load(l, j), 0) << "line " << l << " sample " << j << " after " << longer;
    }
  }
}

// A new line fills the lines between it and the previous one with its own values when they are
// fewer than 33 apart, the short way round through zero (line 3200 stands for 0 there).
TEST_F(LineStoreTest, GapFill) {
  view.deadZoneIndex = 0;
  // previous line, new line, first and last line filled (no fill when the first is -1)
  const int32_t cases[][4] = {
      {10, 14, 10, 13},      {14, 10, 11, 14},      {68, 100, 68, 99},     {67, 100, -1, 0},
      {100, 67, -1, 0},      {0, 3190, 3191, 3200}, {3199, 0, 3199, 3199}, {3190, 0, 3190, 3199},
      {0, 3168, 3169, 3200}, {0, 3167, -1, 0},      {3168, 0, 3168, 3199}, {3167, 0, -1, 0},
      {3199, 2, -1, 0},      {3199, 1, -1, 0},      {1, 3190, -1, 0},      {1600, 0, -1, 0},
      {1601, 0, -1, 0},      {0, 1601, -1, 0},      {5, 5, -1, 0},         {-1, 7, -1, 0},
  };
  for (const auto& [previous, line, firstFilled, lastFilled] : cases) {
    // Written behind the storing function's back: each line may hold anything.
    for (int32_t l = 0; l < kStoreLines; ++l) {
      store->put(l, 5, 0), store->put(l, 300, 9), store->put(l, kLineSamples - 1, 9);
      store->extent[l] = kLineSamples;
    }
    store1(line, previous, 90);
    std::vector<int32_t> filled;
    for (int32_t l = 0; l < kStoreLines; ++l) {
      if (l == line || store->load(l, 5) == 0) continue;
      filled.push_back(l);
      EXPECT_EQ(store->load(l, 5), ExpandSample(90));
      EXPECT_EQ(store->load(l, 300), 0) << l;  // beyond the record: cleared to the line's end
      EXPECT_EQ(store->load(l, kLineSamples - 1), 0) << l;
    }
    std::vector<int32_t> want;
    for (int32_t l = firstFilled; firstFilled >= 0 && l <= lastFilled; ++l) want.push_back(l);
    EXPECT_EQ(filled, want) << previous << " -> " << line;
    EXPECT_EQ(store->load(line, 5), ExpandSample(90));
    EXPECT_EQ(store->load(line, kLineSamples - 1), 0);
  }
}

// Pixels blend two neighbouring lines: a line flags its degree and those of its neighbours.
TEST_F(LineStoreTest, ALineFlagsTheDegreesWhosePixelsReadIt) {
  const std::tuple<int32_t, int32_t, std::vector<int32_t>> cases[] = {
      {9, 10, {0, 1}},     {0, 1, {0, 359}},         {7, 8, {0, 1}},        {4, 5, {0}},
      {3199, 0, {0, 359}}, {3190, 3195, {358, 359}}, {-1, 1600, {179, 180}}};
  for (const auto& [previous, line, degrees] : cases) {
    takeFlags();
    store1(line, previous);
    EXPECT_EQ(takeFlags(), degrees) << previous << " -> " << line;
  }
  markAllDegreesDirty(*store);
  EXPECT_EQ(takeFlags().size(), size_t(kDegrees));
}

}  // namespace
}  // namespace sk720
