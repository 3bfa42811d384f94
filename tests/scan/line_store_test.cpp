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

TEST_F(LineStoreTest, GapFillForwardBackwardAndAcrossZero) {
  view.deadZoneIndex = 0;
  store1(10 * 9, -1, false, 50);
  clearFlags();
  store1(14 * 9, 10, false, 80);
  for (int l = 10; l <= 14; ++l) EXPECT_EQ(store->load(l, 5), ExpandSample(80)) << l;
  EXPECT_EQ(store->load(15, 5), 0);
  // The copy covers the record's total length, no more.
  EXPECT_EQ(store->load(11, 200 + 52 - 1), 0);

  // Backward: previous 0, new 3190 fills the spare line 3200 down to 3191.
  store1(3190 * 9, 0, false, 90);
  EXPECT_EQ(store->load(3200, 5), ExpandSample(90));
  EXPECT_EQ(store->load(3191, 5), ExpandSample(90));
  EXPECT_EQ(store->load(3189, 5), 0);
  EXPECT_EQ(store->dirtyDegrees[0], 1u);  // the spare line's flag lands on degree 0

  // Forward across zero: previous 3199, new 0 fills line 3199.
  store1(0, 3199, false, 110);
  EXPECT_EQ(store->load(3199, 5), ExpandSample(110));

  // A jump of 33 lines or more is left unfilled; so is 3199 -> 2.
  store1(100 * 9, 67, false, 120);
  EXPECT_EQ(store->load(80, 5), 0);
  store1(2 * 9, 3199, false, 130);
  EXPECT_EQ(store->load(1, 5), 0);
  EXPECT_EQ(store->load(3199, 5), ExpandSample(110));
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
