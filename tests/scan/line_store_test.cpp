#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "record_builder.h"
#include "scan/line_store.h"

namespace sk720 {
namespace {

using testing::buildRecord;

class LineStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  ViewSettings view;

  int32_t store1(uint32_t angle, int32_t previous, bool headUp = false, uint8_t code = 100,
                 size_t count = 200) {
    auto rec = buildRecord({.angle = angle, .samples = std::vector<uint8_t>(count, code)});
    return storeEchoLine(*store, rec.data(), headUp, view, previous);
  }
  void clearFlags() {
    for (auto& f : store->dirtyDegrees) f = 0;
  }
};

TEST_F(LineStoreTest, LineIndexRules) {
  EXPECT_EQ(lineIndexOf(28799, false), 3199);
  EXPECT_EQ(lineIndexOf(0, true), 0);
  EXPECT_EQ(lineIndexOf(9, true), 3199);
  EXPECT_EQ(lineIndexOf(8, false), 0);
  EXPECT_EQ(lineIndexOf(28800, false), 0);  // one whole turn wraps
  EXPECT_LT(lineIndexOf(0xFFFFFFFEu, true), 3200);
  EXPECT_EQ(store1(9 * 5, -1, true), 3195);
}

TEST_F(LineStoreTest, DeadZoneGainAndCeiling) {
  view.deadZoneIndex = 0;
  view.gainIndex = 8;
  int32_t line = store1(90, -1, false, 255);
  EXPECT_EQ(store->load(line, 0), 0);  // sample 0 always stays 0
  EXPECT_EQ(store->load(line, 1), 4095);
  EXPECT_EQ(store->load(line, 199), 4095);
  EXPECT_EQ(store->load(line, 200), 0);  // beyond the record's samples

  view.gainIndex = 0;
  view.deadZoneIndex = 5;
  line = store1(90, -1, false, 255);
  EXPECT_EQ(store->load(line, 100), 0);
  EXPECT_EQ(store->load(line, 101), 2047);

  // A damaged stored record still indexes its tables within bounds.
  view.gainIndex = 99;
  view.deadZoneIndex = -4;
  line = store1(90, -1, false, 64);
  EXPECT_EQ(store->load(line, 1), 4095 > 65 * 8 ? 65 * 8 : 4095);
  EXPECT_EQ(store->dirtyDegrees[degreeOfLine(10)], 1u);
}

// A new line fills the lines between it and the previous one with its own values when they are
// fewer than 33 apart, the short way round through zero (line 3200 stands for 0 there).
TEST_F(LineStoreTest, GapFill) {
  view.deadZoneIndex = 0;
  const struct {
    int32_t previous, line, firstFilled, lastFilled;  // no fill when firstFilled < 0
  } cases[] = {
      {10, 14, 10, 13},      {14, 10, 11, 14},      {68, 100, 68, 99},     {67, 100, -1, 0},
      {100, 67, -1, 0},      {0, 3190, 3191, 3200}, {3199, 0, 3199, 3199}, {3190, 0, 3190, 3199},
      {0, 3168, 3169, 3200}, {0, 3167, -1, 0},      {3199, 2, -1, 0},      {3199, 1, -1, 0},
      {1, 3190, -1, 0},      {1600, 0, -1, 0},      {0, 1601, -1, 0},      {5, 5, -1, 0},
      {-1, 7, -1, 0},
  };
  for (const auto& c : cases) {
    for (int32_t l = 0; l < kStoreLines; ++l) store->put(l, 5, 0);
    store1(uint32_t(c.line) * 9, c.previous, false, 90);
    std::vector<int32_t> filled;
    for (int32_t l = 0; l < kStoreLines; ++l) {
      if (l != c.line && store->load(l, 5) != 0) filled.push_back(l);
    }
    std::vector<int32_t> want;
    for (int32_t l = c.firstFilled; c.firstFilled >= 0 && l <= c.lastFilled; ++l) want.push_back(l);
    EXPECT_EQ(filled, want) << c.previous << " -> " << c.line;
    EXPECT_EQ(store->load(c.line, 5), ExpandSample(90));
  }
}

TEST_F(LineStoreTest, ALineFlagsTheDegreeWhosePixelsBlendTowardIt) {
  const auto flagged = [&] {
    std::vector<int32_t> d;
    for (int32_t i = 0; i < kDegrees; ++i) {
      if (store->dirtyDegrees[i]) d.push_back(i);
    }
    return d;
  };
  clearFlags();
  store1(10 * 9, 9);  // lines 9 and 10 open degree 1; degree 0's last pixels reach toward 9
  EXPECT_EQ(flagged(), (std::vector<int32_t>{0, 1}));
  clearFlags();
  store1(1 * 9, 0);  // across zero
  EXPECT_EQ(flagged(), (std::vector<int32_t>{0, 359}));
  clearFlags();
  store1(8 * 9, 7);  // line 8 is degree 0's last; pixels of degree 1 reach back to it
  EXPECT_EQ(flagged(), (std::vector<int32_t>{0, 1}));
  clearFlags();
  store1(5 * 9, 4);  // inside a degree: only its own
  EXPECT_EQ(flagged(), (std::vector<int32_t>{0}));
}

TEST(DisplayRanges, IndexOfRange) {
  EXPECT_EQ(rangeIndexOf(10000), 6);
  EXPECT_EQ(rangeIndexOf(150000), 14);
  EXPECT_EQ(rangeIndexOf(9999), 11);
}

}  // namespace
}  // namespace sk720
