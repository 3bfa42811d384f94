// Whatever lines were stored and whenever paints ran, once the lines stop and one more paint has
// run, the incrementally painted image is the one a single conversion of the whole store gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "record_builder.h"
#include "scan/scan_paint.h"
#include "scan/scan_reference.h"

namespace sk720 {
namespace {

using testing::buildRecord;

// One stored record and what may happen around it.
struct Step {
  std::vector<uint8_t> record;
  bool headUp = false;
  bool restart = false;  // the run starts again: no gap fill from the line before
};

// A head that sweeps whole turns or sectors, reverses, jumps, flips its mounting and changes
// range now and then. Steps of 1 to 20 lines give gap fills, the rare ones of 30 to 69 unfilled
// jumps.
std::vector<Step> headMotion(std::mt19937& rng, int32_t count) {
  std::vector<Step> steps;
  int32_t angle = int32_t(rng() % 3200) * 9;
  int32_t dir = 1, samples = 200;
  bool headUp = false;
  int32_t sectorLeft = -1, sectorRight = -1;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t event = rng() % 100;
    if (event < 3) headUp = !headUp;
    if (event >= 3 && event < 6) samples = int32_t(60 + rng() % 260);  // range change
    if (event >= 6 && event < 9) dir = -dir;
    if (event == 9) {  // sector mode around here, or back to whole turns
      sectorLeft = sectorLeft < 0 ? angle - int32_t(rng() % 4000) : -1;
      sectorRight = sectorLeft + 2000 + int32_t(rng() % 6000);
    }
    const int32_t lines = event < 96 ? 1 + int32_t(rng() % 20) : 30 + int32_t(rng() % 40);
    angle += dir * lines * 9 + int32_t(rng() % 9);  // angles between line steps too
    if (sectorLeft >= 0 && (angle < sectorLeft || angle > sectorRight)) {
      dir = -dir;
      angle = std::clamp(angle, sectorLeft, sectorRight);
    }
    angle = ((angle % 28800) + 28800) % 28800;
    if (sectorLeft >= 0 && (angle < sectorLeft || angle > sectorRight)) sectorLeft = -1;
    std::vector<uint8_t> bytes(static_cast<size_t>(samples));
    const uint8_t base = uint8_t(rng());
    for (size_t s = 0; s < bytes.size(); ++s) bytes[s] = uint8_t(base + s * 7 + rng() % 32);
    steps.push_back({buildRecord({.angle = uint32_t(angle), .samples = std::move(bytes)}), headUp,
                     rng() % 200 == 0});
  }
  return steps;
}

struct Case {
  uint32_t seed;
  int32_t size, workers, zeroOffset, steps;
};

struct PaintRun {
  int32_t size;
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> image = std::make_unique<ScanImage>();
  std::vector<uint32_t> pixels;
  ViewSettings view;
  ScanInputs inputs;
  uint32_t now = 0;
  int32_t previous = -1;

  PaintRun(const Case& c, int32_t workers) : size(c.size) {
    view.fitToWindow = 0;
    view.deadZoneIndex = 0;
    view.zeroOffset = c.zeroOffset;
    image->workerCount = workers;
    image->displayRangeIndex = 0;  // 1.5 m: the corners read about 280 values out
    rebuild();
  }
  void rebuild() {
    rebuildScanGeometry(*image, *store, view, inputs, size, size);
    pixels.assign(size_t(image->imageSize) * size_t(image->imageSize), 0);
  }
  void store1(const Step& s) {
    if (s.restart) previous = -1;
    previous = storeEchoLine(*store, s.record.data(), s.headUp, view, previous);
  }
  // Takes another run's settings and clock.
  void follow(const PaintRun& o) {
    view = o.view, now = o.now;
    inputs.compassValid = o.inputs.compassValid.load(),
    inputs.zeroAlwaysUp = o.inputs.zeroAlwaysUp.load();
    inputs.compassEnabled = o.inputs.compassEnabled.load();
    inputs.headingRadians = o.inputs.headingRadians.load();
  }
  // The paint under test, or the literal one (on this run's own image and store).
  int32_t paint(bool literal = false) {
    now += 25;
    return literal ? paintReference(*image, *store, view, inputs, now, pixels.data())
                   : paintScanImage(*image, *store, view, inputs, now, pixels.data());
  }

  // The paint of every pixel from scratch against what the incremental paints left: values
  // from the literal raster conversion, pixels from the literal paint of a new image.
  ::testing::AssertionResult matchesFullConversion() {
    paint();
    ReferenceScan ref = buildReferenceScan(image->panX, image->panY, image->imageSize,
                                           image->pixelsPerMetre, view.zeroOffset);
    convertReferenceRaster(ref, *store, inputs);
    for (size_t i = 0; i < ref.pixelMap.size(); ++i) {
      if (ref.pixelMap[i].value != image->map.value[i]) {
        return ::testing::AssertionFailure()
               << "stale value at " << i << ": " << image->map.value[i] << " instead of "
               << ref.pixelMap[i].value;
      }
    }
    PaintRun fresh({0, size, 1, view.zeroOffset, 0}, 1);
    fresh.follow(*this);
    fresh.now -= 25;
    fresh.image->displayRangeIndex = image->displayRangeIndex;
    fresh.image->panX = image->panX, fresh.image->panY = image->panY;
    fresh.store.swap(store);
    fresh.rebuild();
    fresh.paint(true);
    fresh.store.swap(store);
    return samePaint(fresh, false);
  }
  // The same pixels as another run's, and with `histogram` the same level and, under the
  // automatic contrast (the only reader of it), the same histogram.
  ::testing::AssertionResult samePaint(const PaintRun& other, bool histogram, int32_t level = 0,
                                       int32_t otherLevel = 0) const {
    const bool counted = view.autoContrast == 1;
    if (histogram &&
        (level != otherLevel || (counted && image->valueHistogram != other.image->valueHistogram)))
      return ::testing::AssertionFailure() << "level " << level << " vs " << otherLevel;
    for (size_t i = 0; i < pixels.size(); ++i) {
      if (pixels[i] != other.pixels[i]) {
        return ::testing::AssertionFailure()
               << "pixel " << i << ": " << pixels[i] << " instead of " << other.pixels[i];
      }
    }
    return ::testing::AssertionSuccess();
  }
};

// Small images keep the runs short under the sanitizers; one is large enough for the passes the
// workers share.
const Case kCases[] = {{1, 96, 1, 0, 700},   {2, 97, 1, 0, 700},  {3, 101, 1, 37, 700},
                       {4, 90, 1, -90, 700}, {5, 320, 3, 0, 500}, {6, 128, 2, 5, 600}};

class ExactPaintTest : public ::testing::TestWithParam<Case> {};

// Paints between random lines, with contrast, brightness, palette, curve, heading and display
// range changing on the way. Every paint reuses what cannot have changed (values on a refresh,
// colours of unconverted degrees) and shares long passes among threads: its level, histogram and
// pixels stay those of the literal paint beside it, which goes through the same changes.
TEST_P(ExactPaintTest, IncrementalPaintEndsAsAFullConversion) {
  const Case c = GetParam();
  std::mt19937 rng(c.seed);
  PaintRun run(c, c.workers), literal(c, 1);
  run.view.contrast = 4;
  const std::vector<Step> steps = headMotion(rng, c.steps);
  // The settings settle three quarters of the way: a last full refresh would hide stale pixels.
  const size_t settled = steps.size() * 3 / 4;
  const bool turns = c.seed % 2 == 0;  // the other seeds keep every stale value to the end
  for (size_t i = 0; i < steps.size(); ++i) {
    run.store1(steps[i]);
    literal.store1(steps[i]);
    const uint32_t event = i == 0 ? 0 : i < settled ? rng() % 100 : rng() % 40;
    if (i == settled) {
      run.view.autoContrast = 0;  // the level of a fresh histogram would differ
      // Values converted under other headings stay until their degree is converted again: back to
      // zero up, a refresh converts them all.
      if (turns) run.inputs.zeroAlwaysUp = 1, run.view.brightness = (run.view.brightness + 1) % 20;
    }
    if (event == 40) run.view.contrast = 1 + int32_t(rng() % 10);
    if (event == 41) run.view.brightness = int32_t(rng() % 20);
    if (event == 42) run.view.autoContrast = 1 - run.view.autoContrast;
    if (event == 43) run.now += 5001;  // automatic-contrast period
    if (event == 45) run.view.palette = int32_t(rng() % 3);
    if (event == 46) run.view.linear = 1 - run.view.linear;
    if (event == 47 && turns) {  // north up under a new heading, or back to zero up
      run.inputs.compassValid = run.inputs.compassEnabled = 1;
      run.inputs.zeroAlwaysUp = int32_t(rng() % 2);
      run.inputs.headingRadians = float(rng() % 628) / 100.0f;
    }
    literal.follow(run);
    if (event == 44) {
      // A zoom alone keeps the map's layout; a pan as well builds it anew.
      const int32_t range = int32_t(rng() % 3);
      const int32_t pan = rng() % 2 ? int32_t(rng() % 21) - 10 : run.image->panX;
      for (PaintRun* r : {&run, &literal}) {
        r->image->displayRangeIndex = range, r->image->panX = pan;
        r->rebuild();
      }
    }
    if (event < 40) {
      const int32_t level = run.paint(), literalLevel = literal.paint(true);
      ASSERT_TRUE(run.samePaint(literal, true, level, literalLevel)) << "step " << i;
    }
  }
  EXPECT_TRUE(run.matchesFullConversion()) << "seed " << c.seed;
}

// The storing thread runs beside the paints; once it is joined, one paint brings the image up
// to date.
TEST_P(ExactPaintTest, PaintsRacingTheStoringThreadEndAsAFullConversion) {
  const Case c = GetParam();
  std::mt19937 rng(c.seed + 100);
  PaintRun run(c, c.workers);
  const std::vector<Step> steps = headMotion(rng, c.steps);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (const Step& s : steps) run.store1(s);
    done = true;
  });
  int32_t paints = 0;
  for (; !done; ++paints) run.paint();
  writer.join();
  EXPECT_GT(paints, 0);
  EXPECT_TRUE(run.matchesFullConversion()) << "seed " << c.seed + 100;
}

INSTANTIATE_TEST_SUITE_P(RandomHeads, ExactPaintTest, ::testing::ValuesIn(kCases));

// Only the degrees whose lines changed are coloured again, unless the buffer is fresh.
TEST(PaintReuse, ColoursOnlyChangedDegreesUnlessTheBufferIsFresh) {
  PaintRun run({1, 100, 1, 0, 0}, 1);
  std::mt19937 rng(1);
  for (const Step& s : headMotion(rng, 700)) run.store1(s);
  run.paint();
  // A pixel straight up belongs to degree 0 (lines 0..8); line 1600 changes degree 180 only.
  const size_t up = size_t(10) * 100 + 50;
  run.pixels[up] = 0x00ABCDEFu;
  run.store->dirtyDegrees[degreeOfLine(1600)] = 1;
  run.paint();
  EXPECT_EQ(run.pixels[up], 0x00ABCDEFu);
  paintScanImage(*run.image, *run.store, run.view, run.inputs, run.now += 25, run.pixels.data(),
                 true);
  EXPECT_NE(run.pixels[up], 0x00ABCDEFu);
  // Another buffer is coloured in full as well.
  std::vector<uint32_t> other(run.pixels.size(), 0x00ABCDEFu);
  paintScanImage(*run.image, *run.store, run.view, run.inputs, run.now += 25, other.data());
  EXPECT_EQ(other[up], run.pixels[up]);
}

}  // namespace
}  // namespace sk720
