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
  int32_t workers;
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> image = std::make_unique<ScanImage>();
  std::vector<uint32_t> pixels;
  ViewSettings view;
  ScanInputs inputs;
  uint32_t now = 0;
  int32_t previous = -1;

  explicit PaintRun(const Case& c) : size(c.size), workers(c.workers) {
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
  void paint() { paintScanImage(*image, *store, view, inputs, now += 25, pixels.data()); }

  // The paint of every pixel from scratch against what the incremental paints left: values
  // from the literal raster conversion, pixels from the literal paint of a new image.
  ::testing::AssertionResult matchesFullConversion() {
    paint();
    ReferenceScan ref = buildReferenceScan(image->panX, image->panY, image->imageSize,
                                           image->pixelsPerMetre, view.zeroOffset);
    convertReferenceRaster(ref, *store, inputs);
    int32_t wrong = 0;
    size_t first = 0;
    for (size_t i = 0; i < ref.pixelMap.size(); ++i) {
      if (ref.pixelMap[i].value != image->map.value[i] && wrong++ == 0) first = i;
    }
    if (wrong > 0) {
      const int32_t x = int32_t(first % size_t(size)), y = int32_t(first / size_t(size));
      return ::testing::AssertionFailure()
             << wrong << " stale values, first at (" << x << ", " << y << "), direction "
             << ref.pixelMap[first].angleFraction * 360.0f
             << " degrees: " << image->map.value[first] << " instead of "
             << ref.pixelMap[first].value;
    }
    ScanImage fresh;
    fresh.workerCount = 1;
    fresh.displayRangeIndex = image->displayRangeIndex;
    fresh.panX = image->panX;
    fresh.panY = image->panY;
    rebuildScanGeometry(fresh, *store, view, inputs, size, size);
    std::vector<uint32_t> literal(pixels.size(), 0);
    paintReference(fresh, *store, view, inputs, now, literal.data());
    for (size_t i = 0; i < literal.size(); ++i) {
      if (literal[i] != pixels[i]) {
        return ::testing::AssertionFailure()
               << "pixel " << i << ": " << pixels[i] << " instead of " << literal[i];
      }
    }
    return ::testing::AssertionSuccess();
  }
};

// Small images keep the runs short under the sanitizers; one is large enough for the passes the
// workers share.
const Case kCases[] = {
    {1, 96, 1, 0, 700},   {2, 97, 1, 0, 700},  {3, 101, 1, 37, 700},
    {4, 90, 1, -90, 700}, {5, 320, 3, 0, 500}, {6, 128, 2, 5, 600},
};

class ExactPaintTest : public ::testing::TestWithParam<Case> {};

// Paints between random lines, with contrast, brightness and display range changing on the way.
TEST_P(ExactPaintTest, IncrementalPaintEndsAsAFullConversion) {
  const Case c = GetParam();
  std::mt19937 rng(c.seed);
  PaintRun run(c);
  run.view.contrast = 4;
  run.paint();
  const std::vector<Step> steps = headMotion(rng, c.steps);
  // The settings settle three quarters of the way: a last full refresh would hide stale pixels.
  const size_t settled = steps.size() * 3 / 4;
  for (size_t i = 0; i < steps.size(); ++i) {
    run.store1(steps[i]);
    const uint32_t event = i < settled ? rng() % 100 : rng() % 40;
    if (i == settled) run.view.autoContrast = 0;  // the level of a fresh histogram would differ
    if (event < 40) run.paint();
    if (event == 40) run.view.contrast = 1 + int32_t(rng() % 10);
    if (event == 41) run.view.brightness = int32_t(rng() % 20);
    if (event == 42) run.view.autoContrast = 1 - run.view.autoContrast;
    if (event == 43) run.now += 5001;  // automatic-contrast period
    if (event == 44) {
      run.image->displayRangeIndex = int32_t(rng() % 3);
      run.image->panX = int32_t(rng() % 21) - 10;
      run.rebuild();
    }
  }
  EXPECT_TRUE(run.matchesFullConversion()) << "seed " << c.seed;
}

// The storing thread runs beside the paints; once it is joined, one paint brings the image up
// to date.
TEST_P(ExactPaintTest, PaintsRacingTheStoringThreadEndAsAFullConversion) {
  const Case c = GetParam();
  std::mt19937 rng(c.seed + 100);
  PaintRun run(c);
  const std::vector<Step> steps = headMotion(rng, c.steps);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (const Step& s : steps) run.store1(s);
    done = true;
  });
  int32_t paints = 0;
  while (!done) {
    run.paint();
    ++paints;
  }
  writer.join();
  EXPECT_GT(paints, 0);
  EXPECT_TRUE(run.matchesFullConversion()) << "seed " << c.seed + 100;
}

INSTANTIATE_TEST_SUITE_P(RandomHeads, ExactPaintTest, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace sk720
