// The paint reuses what cannot have changed (values on a refresh, colours of unconverted
// degrees) and shares long passes among threads: its pixels and histogram must stay those of
// the literal paint through every kind of change.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "scan/scan_paint.h"
#include "scan/scan_reference.h"

namespace sk720 {
namespace {

constexpr int32_t kSize = 600;      // large enough for the passes shared among threads
constexpr int32_t kSamples = 2000;  // beyond the image corners at 10 m

struct Side {
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> image = std::make_unique<ScanImage>();
  std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kSize) * kSize, 0);
};

class PaintReuseTest : public ::testing::Test {
 protected:
  Side fast, literal;
  ScanInputs inputs;
  ViewSettings view;
  std::mt19937 rng{11};
  uint32_t now = 0;

  void SetUp() override {
    fast.image->workerCount = 3;
    literal.image->workerCount = 1;
    view.fitToWindow = 0;
    for (int32_t line = 0; line < kLinesPerTurn; ++line) writeLine(line);
    rebuild();
  }
  // The same line into both stores, with its change flag.
  void writeLine(int32_t line) {
    const uint16_t base = uint16_t(rng() % 4096);
    for (int32_t s = 0; s < kSamples; ++s) {
      const uint16_t v = uint16_t((base + s * 37 + rng() % 64) % 4096);
      fast.store->put(line, s, v);
      literal.store->put(line, s, v);
    }
    for (Side* side : {&fast, &literal}) {
      std::lock_guard<std::mutex> g(side->store->lineLock);
      side->store->dirtyDegrees[degreeOfLine(line)] = 1;
    }
  }
  void writeLines(int32_t count) {
    for (int32_t i = 0; i < count; ++i) writeLine(int32_t(rng() % kLinesPerTurn));
  }
  void rebuild() {
    for (Side* side : {&fast, &literal}) {
      side->image->displayRangeIndex = 6;
      rebuildScanGeometry(*side->image, *side->store, view, inputs, kSize, kSize);
    }
  }
  ::testing::AssertionResult paintBoth(const char* step) {
    now += 25;
    const int32_t a =
        paintScanImage(*fast.image, *fast.store, view, inputs, now, fast.pixels.data());
    const int32_t b =
        paintReference(*literal.image, *literal.store, view, inputs, now, literal.pixels.data());
    if (a != b) return ::testing::AssertionFailure() << step << ": level " << a << " vs " << b;
    if (fast.image->valueHistogram != literal.image->valueHistogram) {
      return ::testing::AssertionFailure() << step << ": histograms differ";
    }
    for (size_t i = 0; i < fast.pixels.size(); ++i) {
      if (fast.pixels[i] != literal.pixels[i]) {
        return ::testing::AssertionFailure()
               << step << ": pixel " << i << " " << fast.pixels[i] << " vs " << literal.pixels[i];
      }
    }
    return ::testing::AssertionSuccess();
  }
};

TEST_F(PaintReuseTest, SameAsTheLiteralPaintThroughEveryChange) {
  view.contrast = 3;
  ASSERT_TRUE(paintBoth("first paint"));
  for (int i = 0; i < 3; ++i) {
    writeLines(2);
    ASSERT_TRUE(paintBoth("playback"));
  }
  ASSERT_TRUE(paintBoth("nothing new"));
  view.brightness = 12;
  writeLines(1);
  ASSERT_TRUE(paintBoth("brightness"));
  view.contrast = 6;
  ASSERT_TRUE(paintBoth("contrast"));
  view.linear = 0;
  ASSERT_TRUE(paintBoth("curve"));
  view.palette = 1;
  ASSERT_TRUE(paintBoth("palette"));
  view.autoContrast = 1;
  ASSERT_TRUE(paintBoth("automatic contrast"));
  for (int i = 0; i < 4; ++i) {
    writeLines(40);  // enough new values to move the automatic level
    ASSERT_TRUE(paintBoth("automatic playback"));
  }
  now += 5001;
  writeLines(3);
  ASSERT_TRUE(paintBoth("automatic period"));
  view.brightness = 4;
  ASSERT_TRUE(paintBoth("brightness under automatic contrast"));

  inputs.compassValid = 1;
  inputs.compassEnabled = 1;
  inputs.zeroAlwaysUp = 0;
  inputs.headingRadians = 1.0f;
  writeLines(5);
  ASSERT_TRUE(paintBoth("north up"));
  inputs.headingRadians = 2.5f;
  writeLines(5);
  ASSERT_TRUE(paintBoth("heading turns"));
  view.brightness = 9;  // values converted under two headings: everything is converted again
  ASSERT_TRUE(paintBoth("brightness after a turn"));
  now += 5001;
  ASSERT_TRUE(paintBoth("automatic period, north up"));
  inputs.zeroAlwaysUp = 1;
  view.autoContrast = 0;
  ASSERT_TRUE(paintBoth("back to zero up"));

  for (Side* side : {&fast, &literal}) {
    side->image->panX = 40;
    side->image->panY = -25;
  }
  rebuild();
  ASSERT_TRUE(paintBoth("pan"));
  writeLines(2);
  ASSERT_TRUE(paintBoth("after the pan"));
}

TEST_F(PaintReuseTest, ColoursOnlyChangedDegreesUnlessTheBufferIsFresh) {
  ASSERT_TRUE(paintBoth("first paint"));
  // A pixel straight up belongs to degree 0 (lines 0..8); line 1600 changes degree 180 only.
  const size_t up = size_t(50) * kSize + kSize / 2;
  fast.pixels[up] = 0x00ABCDEFu;
  writeLine(1600);
  paintScanImage(*fast.image, *fast.store, view, inputs, now += 25, fast.pixels.data());
  EXPECT_EQ(fast.pixels[up], 0x00ABCDEFu);
  paintScanImage(*fast.image, *fast.store, view, inputs, now += 25, fast.pixels.data(), true);
  EXPECT_NE(fast.pixels[up], 0x00ABCDEFu);
  // Another buffer is coloured in full as well.
  std::vector<uint32_t> other(fast.pixels.size(), 0x00ABCDEFu);
  paintScanImage(*fast.image, *fast.store, view, inputs, now += 25, other.data());
  EXPECT_EQ(other[up], fast.pixels[up]);
}

}  // namespace
}  // namespace sk720
