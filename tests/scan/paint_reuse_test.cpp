// The paint reuses what cannot have changed (values on a refresh, colours of unconverted
// degrees) and shares long passes among threads: its pixels and histogram must stay those of
// the literal paint through every kind of change.
#include <gtest/gtest.h>

#include <functional>
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
    writeLines(kLinesPerTurn, true);
    rebuild();
  }
  // The same lines into both stores, with their change flags: random ones, or all in order.
  void writeLines(int32_t count, bool inOrder = false) {
    for (int32_t i = 0; i < count; ++i) {
      const int32_t line = inOrder ? i : int32_t(rng() % kLinesPerTurn);
      const uint16_t base = uint16_t(rng() % 4096);
      for (int32_t s = 0; s < kSamples; ++s) {
        const uint16_t v = uint16_t((base + s * 37 + rng() % 64) % 4096);
        fast.store->put(line, s, v);
        literal.store->put(line, s, v);
      }
      for (Side* side : {&fast, &literal}) side->store->dirtyDegrees[degreeOfLine(line)] = 1;
    }
  }
  void rebuild() {
    for (Side* side : {&fast, &literal}) {
      side->image->displayRangeIndex = 6;
      rebuildScanGeometry(*side->image, *side->store, view, inputs, kSize, kSize);
    }
  }
  ::testing::AssertionResult paintBoth() {
    now += 25;
    const int32_t a =
        paintScanImage(*fast.image, *fast.store, view, inputs, now, fast.pixels.data());
    const int32_t b =
        paintReference(*literal.image, *literal.store, view, inputs, now, literal.pixels.data());
    if (a != b) return ::testing::AssertionFailure() << "level " << a << " vs " << b;
    if (fast.image->valueHistogram != literal.image->valueHistogram)
      return ::testing::AssertionFailure() << "histograms differ";
    for (size_t i = 0; i < fast.pixels.size(); ++i) {
      if (fast.pixels[i] != literal.pixels[i])
        return ::testing::AssertionFailure()
               << "pixel " << i << " " << fast.pixels[i] << " vs " << literal.pixels[i];
    }
    return ::testing::AssertionSuccess();
  }
};

TEST_F(PaintReuseTest, SameAsTheLiteralPaintThroughEveryChange) {
  view.contrast = 3;
  // A change, the lines stored after it, and how often the pair repeats.
  const struct {
    const char* name;
    std::function<void()> change;
    int32_t lines, times;
  } steps[] = {
      {"first paint", [] {}, 0, 1},
      {"playback", [] {}, 2, 3},
      {"nothing new", [] {}, 0, 1},
      {"brightness", [&] { view.brightness = 12; }, 1, 1},
      {"contrast", [&] { view.contrast = 6; }, 0, 1},
      {"curve", [&] { view.linear = 0; }, 0, 1},
      {"palette", [&] { view.palette = 1; }, 0, 1},
      {"automatic contrast", [&] { view.autoContrast = 1; }, 0, 1},
      {"automatic playback", [] {}, 40, 4},  // enough new values to move the automatic level
      {"automatic period", [&] { now += 5001; }, 3, 1},
      {"brightness under automatic contrast", [&] { view.brightness = 4; }, 0, 1},
      {"north up",
       [&] { inputs.compassValid = inputs.compassEnabled = 1, inputs.zeroAlwaysUp = 0; }, 5, 1},
      {"heading", [&] { inputs.headingRadians = 1.0f; }, 5, 1},
      {"heading turns", [&] { inputs.headingRadians = 2.5f; }, 5, 1},
      // Values converted under two headings: everything is converted again.
      {"brightness after a turn", [&] { view.brightness = 9; }, 0, 1},
      {"automatic period, north up", [&] { now += 5001; }, 0, 1},
      {"back to zero up", [&] { inputs.zeroAlwaysUp = 1, view.autoContrast = 0; }, 0, 1},
      {"pan",
       [&] {
         for (Side* side : {&fast, &literal}) side->image->panX = 40, side->image->panY = -25;
         rebuild();
       },
       0, 1},
      {"after the pan", [] {}, 2, 1},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    s.change();
    for (int32_t i = 0; i < s.times; ++i) {
      writeLines(s.lines);
      ASSERT_TRUE(paintBoth());
    }
  }
}

TEST_F(PaintReuseTest, ColoursOnlyChangedDegreesUnlessTheBufferIsFresh) {
  ASSERT_TRUE(paintBoth());
  // A pixel straight up belongs to degree 0 (lines 0..8); line 1600 changes degree 180 only.
  const size_t up = size_t(50) * kSize + kSize / 2;
  fast.pixels[up] = 0x00ABCDEFu;
  fast.store->dirtyDegrees[degreeOfLine(1600)] = 1;
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
