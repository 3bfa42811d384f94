// The line store, the scan image's geometry and the values its paint converts, seen through the
// pixels' polar positions and values; the palettes, colour tables and contrast the paint colours
// them with. And the exactness of the paint: whatever lines were stored and whenever paints ran,
// once the lines stop and one more paint has run, the incrementally painted image is the one a
// single conversion of the whole store gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "record_builder.h"
#include "scan/echo_tables.h"
#include "scan/heading.h"
#include "scan/overlay_geometry.h"
#include "scan/pixel_conversion.h"
#include "scan/scan_paint.h"
#include "scan/scan_reference.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;
constexpr double kPi = 3.14159265358979323846;

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

// seed, image size, workers, zero offset, steps, client height (0: a square client; otherwise
// the paints convert the client's window first)
using Case = std::array<int32_t, 6>;

// A store, an image of it in a client of w x h and the pixels painted, on a clock.
struct PaintRun {
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> image = std::make_unique<ScanImage>();
  std::vector<uint32_t> pixels;
  ViewSettings view;
  ScanInputs inputs;
  int32_t w = 0, h = 0;
  uint32_t now = 0;
  int32_t previous = -1;
  bool windowFirst = false;

  explicit PaintRun(int32_t size = 0, int32_t zeroOffset = 0, int32_t workers = 1,
                    int32_t height = 0) {
    view.fitToWindow = view.deadZoneIndex = 0, view.zeroOffset = zeroOffset;
    image->workerCount = workers;
    windowFirst = height > 0;
    // 1.5 m: the corners read about 280 values out
    if (size > 0) build(size, windowFirst ? height : size, 0);
  }
  void build(int32_t width, int32_t height, int32_t range = 6) {
    w = width, h = height, image->displayRangeIndex = range;
    rebuildScanGeometry(*image, *store, view, inputs, w, h);
    pixels.assign(size_t(image->imageSize) * size_t(image->imageSize), 0);
  }
  void store1(const Step& s) {
    if (s.restart) previous = -1;
    previous = storeEchoLine(*store, s.record.data(), s.headUp, view, previous);
  }
  // A line of `samples` equal codes after `prev`; returns the line.
  int32_t store1(int32_t line, int32_t prev, uint8_t code = 100, size_t samples = 200) {
    const auto rec =
        buildRecord({.angle = uint32_t(line) * 9, .samples = std::vector<uint8_t>(samples, code)});
    return storeEchoLine(*store, rec.data(), false, view, prev);
  }
  // The degrees flagged since the last call.
  std::vector<int32_t> takeFlags() {
    std::vector<int32_t> d;
    for (int32_t i = 0; i < kDegrees; ++i)
      if (std::exchange(store->dirtyDegrees[i], 0u)) d.push_back(i);
    return d;
  }
  PixelPolar at(int32_t x, int32_t y) const { return pixelPolarAt(*image, view.zeroOffset, x, y); }
  // Takes another run's settings and clock.
  void follow(const PaintRun& o) {
    view = o.view, now = o.now;
    inputs.compassValid = o.inputs.compassValid.load();
    inputs.zeroAlwaysUp = o.inputs.zeroAlwaysUp.load();
    inputs.compassEnabled = o.inputs.compassEnabled.load();
    inputs.headingRadians = o.inputs.headingRadians.load();
  }
  // The paint under test, or the literal one (on this run's own image and store).
  int32_t paint(bool literal = false) {
    now += 25;
    return literal ? paintReference(*image, *store, view, inputs, now, pixels.data())
                   : paintScanImage(*image, *store, view, inputs, now, pixels.data(), false,
                                    windowFirst);
  }

  // The paint of every pixel from scratch against what the incremental paints left: values
  // from the literal raster conversion, pixels from the literal paint of a new image.
  ::testing::AssertionResult matchesFullConversion() {
    paint();
    ReferenceScan ref = buildReferenceScan(image->panX, image->panY, image->imageSize,
                                           image->pixelsPerMetre, view.zeroOffset);
    convertReferenceRaster(ref, *store, inputs);
    for (size_t i = 0; i < ref.pixelMap.size(); ++i) {
      if (ref.pixelMap[i].value != image->map.value[i])
        return ::testing::AssertionFailure()
               << "stale value at " << i << ": " << image->map.value[i] << " instead of "
               << ref.pixelMap[i].value;
    }
    PaintRun fresh(0, view.zeroOffset);
    fresh.follow(*this);
    fresh.now -= 25;
    fresh.image->panX = image->panX, fresh.image->panY = image->panY;
    fresh.store.swap(store);
    fresh.build(w, h, image->displayRangeIndex);
    fresh.paint(true);
    fresh.store.swap(store);
    return samePaint(fresh, false, 0, 0, true);
  }
  // The same pixels as another run's (only in the client's window after a window-first paint,
  // unless `whole`), and with `histogram` the same level and, under the automatic contrast (the
  // only reader of it), the same histogram.
  ::testing::AssertionResult samePaint(const PaintRun& other, bool histogram, int32_t level = 0,
                                       int32_t otherLevel = 0, bool whole = false) const {
    const bool counted = view.autoContrast == 1;
    if (histogram &&
        (level != otherLevel || (counted && image->valueHistogram != other.image->valueHistogram)))
      return ::testing::AssertionFailure() << "level " << level << " vs " << otherLevel;
    const int32_t size = image->imageSize;
    const bool part = windowFirst && !whole;
    const int32_t x0 = part ? clientOffsetX(w, h) : 0, y0 = part ? clientOffsetY(w, h) : 0;
    for (int32_t y = y0; y < (part ? y0 + h : size); ++y) {
      for (int32_t x = x0; x < (part ? x0 + w : size); ++x) {
        const size_t i = size_t(y) * size_t(size) + size_t(x);
        if (pixels[i] != other.pixels[i])
          return ::testing::AssertionFailure()
                 << "pixel " << i << ": " << pixels[i] << " instead of " << other.pixels[i];
      }
    }
    return ::testing::AssertionSuccess();
  }
};

// Small images keep the runs short under the sanitizers; one is large enough for the passes the
// workers share.
const Case kCases[] = {{1, 96, 1, 0, 700, 0},    {2, 97, 1, 0, 700, 0},   {3, 101, 1, 37, 700, 0},
                       {4, 90, 1, -90, 700, 0},  {5, 320, 3, 0, 500, 0},  {6, 128, 2, 5, 600, 0},
                       {7, 150, 1, 20, 700, 90}, {8, 300, 2, 0, 500, 170}};

class ExactPaintTest : public ::testing::TestWithParam<Case> {};
struct ScanTest : ::testing::Test, PaintRun {};

// Paints between random lines, with contrast, brightness, palette, curve, heading and display
// range changing on the way. Every paint reuses what cannot have changed (values on a refresh,
// colours of unconverted degrees) and shares long passes among threads: its level, histogram and
// pixels stay those of the literal paint beside it, which goes through the same changes.
TEST_P(ExactPaintTest, IncrementalPaintEndsAsAFullConversion) {
  const auto [seed, size, workers, zeroOffset, count, height] = GetParam();
  std::mt19937 rng(seed);
  PaintRun run(size, zeroOffset, workers, height), literal(size, zeroOffset, 1, height);
  run.view.contrast = 4;
  const std::vector<Step> steps = headMotion(rng, count);
  // The settings settle three quarters of the way: a last full refresh would hide stale pixels.
  const size_t settled = steps.size() * 3 / 4;
  const bool turns = seed % 2 == 0;  // the other seeds keep every stale value to the end
  int32_t deferred = 0;              // paints that left pixels outside the window to the next one
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
      const int32_t range = int32_t(rng() % 3),
                    pan = rng() % 2 ? int32_t(rng() % 21) - 10 : run.image->panX;
      for (PaintRun* r : {&run, &literal}) r->image->panX = pan, r->build(r->w, r->h, range);
    }
    if (event < 40) {
      const int32_t level = run.paint(), literalLevel = literal.paint(true);
      ASSERT_TRUE(run.samePaint(literal, true, level, literalLevel)) << "step " << i;
      const uint8_t* pending = run.image->degreePending;
      deferred += std::find(pending, pending + kDegrees, kOutsidePart) != pending + kDegrees;
    }
  }
  EXPECT_TRUE(run.matchesFullConversion()) << "seed " << seed;
  EXPECT_EQ(deferred > 0, height > 0);
}

// The storing thread runs beside the paints; once it is joined, one paint brings the image up
// to date.
TEST_P(ExactPaintTest, PaintsRacingTheStoringThreadEndAsAFullConversion) {
  const auto [seed, size, workers, zeroOffset, count, height] = GetParam();
  std::mt19937 rng(seed + 100);
  PaintRun run(size, zeroOffset, workers, height);
  const std::vector<Step> steps = headMotion(rng, count);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (const Step& s : steps) run.store1(s);
    done = true;
  });
  int32_t paints = 0;
  for (; !done; ++paints) run.paint();
  writer.join();
  EXPECT_GT(paints, 0);
  EXPECT_TRUE(run.matchesFullConversion()) << "seed " << seed + 100;
}

INSTANTIATE_TEST_SUITE_P(RandomHeads, ExactPaintTest, ::testing::ValuesIn(kCases));

// Only the degrees whose lines changed are coloured again, unless the buffer is fresh.
TEST(PaintReuse, ColoursOnlyChangedDegreesUnlessTheBufferIsFresh) {
  PaintRun run(100);
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

TEST(LineIndex, AnglesWholeTurnsHeadMountedUpAndTurns) {
  // angle (-2: 0xFFFFFFFE), head up, line
  const int64_t lines[][3] = {{8, 0, 0}, {9, 0, 1},    {28799, 0, 3199}, {28800, 0, 0},
                              {0, 1, 0}, {9, 1, 3199}, {-2, 0, 2588},    {-2, 1, 2588}};
  for (const auto& c : lines) EXPECT_EQ(lineIndexOf(uint32_t(c[0]), c[1] != 0), c[2]) << c[0];
  EXPECT_EQ(V({rangeIndexOf(10000), rangeIndexOf(150000), rangeIndexOf(1500), rangeIndexOf(9999)}),
            V({6, 14, 0, 11}));
  // A turn is the side of the half turn changing near line 0, not across line 1600.
  const int32_t turns[][3] = {{3150, 10, 1},  {10, 3150, 1},   {1700, 800, 1},
                              {1700, 801, 0}, {1500, 2400, 1}, {1500, 2399, 0},
                              {1600, 10, 0},  {1601, 10, 1},   {10, 20, 0}};
  for (const auto& c : turns) {
    int32_t side = 0;
    detectTurn(side, c[0]);
    EXPECT_EQ(detectTurn(side, c[1]), c[2] != 0) << c[0] << " -> " << c[1];
    EXPECT_EQ(side, 1600 - c[1]);
  }
}

TEST_F(ScanTest, DeadZoneGainCeilingAndLeftovers) {
  // gain index, dead zone index, sample code, sample, value stored
  const int32_t cases[][5] = {{8, 0, 255, 0, 0},    {8, 0, 255, 1, 4095}, {8, 0, 255, 199, 4095},
                              {8, 0, 255, 200, 0},  {0, 5, 255, 100, 0},  {0, 5, 255, 101, 2047},
                              {99, -4, 64, 1, 520}, {-3, 0, 64, 1, 32}};
  for (const auto& c : cases) {
    view.gainIndex = c[0], view.deadZoneIndex = c[1];
    EXPECT_EQ(store->load(store1(10, -1, uint8_t(c[2])), c[3]), c[4]) << c[0] << "/" << c[1];
  }
  // A line and its gap fill hold nothing of what a longer line left there before, at any range.
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
TEST_F(ScanTest, GapFill) {
  // previous line, new line, first and last line filled (no fill when the first is -1)
  const int32_t cases[][4] = {
      {10, 14, 10, 13},      {14, 10, 11, 14},      {68, 100, 68, 99},     {67, 100, -1, 0},
      {100, 67, -1, 0},      {0, 3190, 3191, 3200}, {3199, 0, 3199, 3199}, {3190, 0, 3190, 3199},
      {0, 3168, 3169, 3200}, {0, 3167, -1, 0},      {3168, 0, 3168, 3199}, {3167, 0, -1, 0},
      {3199, 2, -1, 0},      {1, 3190, -1, 0},      {5, 5, -1, 0},         {-1, 7, -1, 0},
  };
  for (const auto& [previous, line, firstFilled, lastFilled] : cases) {
    // Written behind the storing function's back: each line may hold anything.
    for (int32_t l = 0; l < kStoreLines; ++l)
      store->put(l, 5, 0), store->put(l, 300, 9), store->put(l, kLineSamples - 1, 9),
          store->extent[l] = kLineSamples;
    store1(line, previous, 90);
    ASSERT_EQ(store->load(line, 5), ExpandSample(90));
    std::vector<int32_t> filled, want;
    for (int32_t l = 0; l < kStoreLines; ++l) {
      if (store->load(l, 5) == 0) continue;
      if (l != line) filled.push_back(l);
      // Beyond the record: cleared to the line's end.
      EXPECT_EQ(V({store->load(l, 5), store->load(l, 300), store->load(l, kLineSamples - 1)}),
                V({ExpandSample(90), 0, 0}))
          << l;
    }
    for (int32_t l = firstFilled; firstFilled >= 0 && l <= lastFilled; ++l) want.push_back(l);
    EXPECT_EQ(filled, want) << previous << " -> " << line;
  }
}

// Pixels blend two neighbouring lines: a line flags its degree and those of its neighbours.
TEST_F(ScanTest, ALineFlagsTheDegreesWhosePixelsReadIt) {
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

TEST_F(ScanTest, SizesScalesAndFit) {
  // client w, h, fit to window, display range index; image size, fit factor, pixels a metre
  const float cases[][7] = {{800, 600, 0, 6, 800, 1, 40},          {800, 600, 1, 6, 800, 0.75f, 30},
                            {600, 800, 1, 7, 800, 1, 800.0f / 30}, {0, 0, 1, 6, 10, 1, 0.5f},
                            {300, 300, 0, 20, 300, 1, 1},          {300, 300, 0, -5, 300, 1, 100}};
  for (const auto& c : cases) {
    view.fitToWindow = int32_t(c[2]), store->dirtyDegrees[17] = 0;
    build(int32_t(c[0]), int32_t(c[1]), int32_t(c[3]));
    const int32_t size = int32_t(c[4]);
    EXPECT_EQ(image->imageSize, size) << c[0];
    EXPECT_FLOAT_EQ(image->fitFactor, c[5]) << c[0];
    EXPECT_FLOAT_EQ(image->pixelsPerMetre, c[6]) << c[0];
    EXPECT_EQ(image->map.centreIndex, size / 2 * size + size / 2);
    EXPECT_EQ(image->fullRedrawPending + store->dirtyDegrees[17], 2u);
  }
  EXPECT_EQ(clientOffsetY(800, 600) + clientOffsetX(600, 800), 200);
  EXPECT_EQ(clientOffsetX(800, 600) + clientOffsetY(600, 800), 0);
}

// Directions run counter-clockwise from up, turned by the zero offset; the pan moves the centre.
TEST_F(ScanTest, DirectionsRangesAndPan) {
  // zero offset, pan x, pixel x, y; direction in turns, metres (-1: the centre)
  const float cases[][6] = {
      {0, 0, 50, 50, 0.125f, 7.0710678f}, {90, 0, 100, 50, 0.25f, 5}, {-90, 0, 100, 50, 0.75f, 5},
      {450, 0, 100, 150, 0.75f, 5},       {0, 20, 80, 70, 0, 3},      {0, -20, 120, 100, 0, -1}};
  for (const auto& c : cases) {
    view.zeroOffset = int32_t(c[0]), image->panX = int32_t(c[1]);
    build(200, 200);
    const PixelPolar p = at(int32_t(c[2]), int32_t(c[3]));
    SCOPED_TRACE(::testing::Message() << c[0] << " " << c[2] << "," << c[3]);
    EXPECT_TRUE(c[5] < 0 || std::abs(p.angleFraction - c[4]) < 1e-6f) << p.angleFraction;
    EXPECT_NEAR(p.rangeMetres, c[5], 1e-5f);
  }
  // The overlays circle the same centre; while the image is dragged, the one it started from.
  image->panX = 13, image->panY = -8;
  build(200, 200);
  for (const bool dragging : {false, true}) {
    const OverlayCentre c =
        overlayCentre(200, dragging ? 40 : 13, dragging ? 2 : -8, 13, -8, dragging);
    EXPECT_EQ(at(c.cx, c.cy).rangeMetres, -1.0f) << dragging;
  }
  view.zeroOffset = 2000000000, image->panX = 0;  // damaged: still a direction in range
  build(20, 20);
  for (int32_t i = 0; i < 400; ++i)
    EXPECT_EQ(std::floor(at(i % 20, i / 20).angleFraction), 0.0f) << i;
}

// A zoom keeps the layout and only finds each degree's reach again: its listed prefixes are those a
// new image of that range builds, whether the reach grows or shrinks, pixels at the corners
// included (a non-square client, panned).
TEST_F(ScanTest, AZoomGivesTheMapOfANewImage) {
  for (int32_t l = 0; l < kLinesPerTurn; ++l)
    for (int32_t s = 0; s < kLineSamples; s += 7) store->put(l, s, 900);
  image->panX = 7, image->panY = -3;
  build(150, 97, 3);
  for (const int32_t range : {14, 5, 13, 0, 14}) {
    SCOPED_TRACE(range);
    paint();  // values that a smaller reach must not keep
    build(150, 97, range);
    ScanImage fresh;
    fresh.panX = 7, fresh.panY = -3, fresh.displayRangeIndex = range;
    rebuildScanGeometry(fresh, *store, view, inputs, 150, 97);
    const PixelMap &a = image->map, &b = fresh.map;
    ASSERT_EQ(a.listed, b.listed);
    ASSERT_EQ(a.listedOutside, b.listedOutside);
    for (size_t d = 0; d < size_t(kDegrees); ++d) {
      for (size_t n = 0; n < a.degreePixels[d].size(); ++n) {
        const DegreePixel& p = a.degreePixels[d][n];
        // The client's window (rows 26 to 122) first, then the rest.
        const bool inside = p.y >= 26 && p.y < 123;
        ASSERT_EQ(n < a.inWindow[d], inside) << d << " " << n;
        // Within reach exactly while listed in its part; the rest hold no value.
        const size_t k = inside ? n : n - a.inWindow[d];
        const bool listed = k < (inside ? b.listed[d] : b.listedOutside[d]);
        const float r = pixelPolarOf(p.x, p.y, 7, -3, 150, fresh.pixelsPerMetre, 0).rangeMetres;
        ASSERT_EQ(listed, samplePosition(r) < 20400.0f) << d << " " << n;
        ASSERT_TRUE(listed || a.value[size_t(p.y) * 150 + p.x] == 0.0f) << d << " " << n;
      }
    }
  }
  // At 150 m the store reaches part of the image only.
  size_t listed = 0;
  for (int32_t d = 0; d < kDegrees; ++d) listed += listedPixels(image->map, d);
  EXPECT_TRUE(listed > 10000 && listed < 150 * 150 - 1) << listed;
}

// A paint of a new map that may convert the client's window first leaves the rest to the next
// paint: until then, only the window's pixels hold values and read as up to date.
TEST_F(ScanTest, AWindowFirstPaintLeavesTheRestToTheNextPaint) {
  // Values that grow along the beam: a zoom changes every pixel's.
  for (size_t i = 0; i < size_t(kStoreLines) * kLineSamples; ++i)
    store->values[i] = uint16_t(i % kLineSamples / 5);
  windowFirst = true;
  build(120, 60, 0);  // rows 30 to 89 shown
  const size_t inside = 40 * 120 + 60, outside = 10 * 120 + 60;
  paint();
  EXPECT_TRUE(at(60, 40).valid == 1 && image->map.value[inside] != 0.0f);
  EXPECT_TRUE(at(60, 10).valid == 0 && image->map.value[outside] == 0.0f);
  paint();
  markAllDegreesDirty(*store);  // lines alone never leave pixels to a later paint
  paint();
  EXPECT_TRUE(at(60, 10).valid == 1 && image->map.value[outside] != 0.0f);
  // From 120 to 150 m the store's reach shrinks from 76 to 61 pixels: the pixels that leave it,
  // converted by neither paint, are coloured again too, and those the next paint converts.
  build(120, 100, 13);
  paint();
  paint();
  image->displayRangeIndex = 14;  // a zoom: the pixels keep their colours
  rebuildScanGeometry(*image, *store, view, inputs, w, h);
  paint();
  EXPECT_TRUE(matchesFullConversion());
}

// Lines hold their own number; a pixel's value is its direction's line position, interpolated
// between the line before and the one after (3199 to 0 across zero), turned by the heading only
// when north up is asked for with a usable compass.
TEST_F(ScanTest, ValuesFollowTheDirectionAndTheHeading) {
  image->workerCount = 0;  // as many as the machine has: the largest image shares its passes
  for (int32_t l = 0; l < kLinesPerTurn; ++l)
    for (int32_t s = 0; s < 300; ++s) store->put(l, s, uint16_t(l));
  for (int32_t s = 0; s < 300; ++s) store->put(kLinesPerTurn, s, 4000);  // the spare: never shown
  // compass valid, enabled, zero always up, heading, zero offset; turned by the heading (a NaN
  // heading: every pixel reads line 0)
  const double cases[][6] = {{0, 0, 1, 1, 0, 0},    {1, 1, 1, 1, 0, 0},   {1, 0, 0, 1, 0, 0},
                             {0, 1, 0, 1, 0, 0},    {1, 1, 0, 1, 0, 1},   {1, 1, 0, -2, 0, 1},
                             {1, 1, 0, 5.5, 33, 1}, {0, 0, 1, 0, -33, 0}, {1, 1, 0, NAN, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c[0] << c[1] << c[2] << " heading " << c[3]);
    inputs.compassValid = int32_t(c[0]), inputs.compassEnabled = int32_t(c[1]);
    inputs.zeroAlwaysUp = int32_t(c[2]), inputs.headingRadians = float(c[3]);
    view.zeroOffset = int32_t(c[4]);
    build(120, 120, 0);
    paint();
    for (int32_t i = 0; i < 120 * 120; i += 7) {
      const PixelPolar p = at(i % 120, i / 120);
      if (p.rangeMetres < 0.0f) continue;
      ASSERT_EQ(p.valid, 1u) << i;
      const double turn = c[5] != 0 ? 1 - c[3] / (2 * kPi) : 0;
      const double lp = std::isnan(turn) ? 0.0 : std::fmod(p.angleFraction + turn, 1.0) * 3200.0;
      const double expected = lp >= 3199.0 ? 3199.0 * (3200.0 - lp) : lp;
      EXPECT_NEAR(p.value, expected, lp >= 3199.0 || lp < 1.0 ? 3.0 : 0.02) << i;
    }
  }
  // Headings no addition of whole turns can bring back still give one direction for the image.
  for (const float far : {1.0e30f, -1.0e30f}) {
    inputs.headingRadians = far;
    build(40, 40, 0);
    paint();
    EXPECT_FLOAT_EQ(at(35, 20).value, at(20, 5).value);
    EXPECT_FLOAT_EQ(at(5, 20).value, at(20, 5).value);
  }
  // The store's last sample lies at 150 m; the corners beyond it stay unconverted.
  inputs.compassValid = 0;
  for (int line = 0; line < kLinesPerTurn; ++line) store->put(line, 19992, 1000);
  build(1024, 1024, 14);
  paint();
  const PixelPolar edge = at(0, 512);
  EXPECT_NEAR(edge.rangeMetres, 150.0f, 0.01f);
  EXPECT_EQ(edge.valid, 1u);
  EXPECT_FLOAT_EQ(edge.value, 1000.0f);
  EXPECT_EQ(at(0, 0).valid + at(512, 512).valid, 0u);  // about 212 m, and the centre
  EXPECT_FLOAT_EQ(at(0, 0).value, 0.0f);
  // Points beside the image read nothing, not the row's neighbour at the edge.
  for (const auto& [x, y] : {std::pair{-1, 512}, {1024, 511}}) {
    EXPECT_EQ(std::make_pair(at(x, y).valid, at(x, y).value), std::make_pair(0u, 0.0f)) << x;
  }
}

// The brown palette is an HSL ramp, computed here independently in double precision.
TEST(Palettes, BrownIsAnHslRampTheOthersKeepTheirRowsAndTheTablesRampOrBend) {
  const Palette& brown = paletteFor(0);
  for (int i = 0; i < 256; ++i) {
    const double l = i / 255.0, q = l <= 0.5 ? 2 * l : 1.0, p = 2 * l - q;
    const double want[3] = {q, p + (q - p) * 2.0 / 3.0, p};
    const uint8_t got[3] = {brown[i].r, brown[i].g, brown[i].b};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], i ? 255 * want[k] : 0.0, 0.5001) << i;
  }
  const int rows[][5] = {{1, 15, 0, 0, 0},       {1, 16, 56, 0, 255},   {1, 64, 0, 160, 255},
                         {1, 128, 0, 255, 61},   {1, 192, 227, 255, 0}, {1, 255, 255, 0, 0},
                         {-7, 0, 7, 0, 0},       {-7, 64, 174, 85, 3},  {-7, 128, 255, 173, 63},
                         {2, 255, 255, 255, 255}};  // palette, entry, red, green, blue
  for (const auto& c : rows) {
    const Rgb& e = paletteFor(c[0])[size_t(c[1])];
    EXPECT_EQ(V({e.r, e.g, e.b}), V({c[2], c[3], c[4]})) << c[0] << "/" << c[1];
  }
  // Brightness lifts the bottom of the linear ramp by 12.75 entries a step, or bends the power
  // curve; only 1 is linear.
  const int cases[][4] = {{1, 19, 0, 38},    {1, 19, 4095, 255}, {1, 0, 0, 0},   {1, 0, 4095, 255},
                          {1, 0, 2048, 127}, {1, 9, 0, 12},      {0, 0, 0, 0},   {0, 0, 2047, 128},
                          {0, 0, 4095, 255}, {0, 19, 0, 0},      {0, 19, 15, 4}, {0, 19, 4095, 255},
                          {7, 19, 0, 0}};  // linear, brightness, value, palette entry shown
  auto table = std::make_unique<ColourTable>();
  const Palette& p = paletteFor(2);
  for (const auto& c : cases) {
    buildColourTable(2, c[0], c[1], *table);
    const auto& e = (*table)[size_t(c[2])];
    const Rgb& want = p[size_t(c[3])];
    EXPECT_EQ(V({int64_t(e[0]), int64_t(e[1]), int64_t(e[2])}), V({want.r, want.g, want.b}))
        << c[0] << "/" << c[1] << "/" << c[2];
  }
  const int steps[][2] = {{-5, 0}, {0, 0}, {8, 0}, {9, 1}, {13, 1}, {14, 2}, {19, 3}, {25, 3}};
  for (const auto& s : steps) EXPECT_EQ(brightnessStep(s[0]), s[1]) << s[0];
}

// Automatic contrast: the first value from 9 up whose count falls and lies below 1e-5 of the
// image's pixels.
TEST_F(ScanTest, ContrastLevelsAndSteps) {
  image->imageSize = 100;
  EXPECT_EQ(V({contrastLevel(*image, 0), contrastLevel(*image, 1), contrastLevel(*image, 6),
               contrastLevel(*image, 10)}),
            V({4095, 4095, 128, 7}));
  for (int i = 0; i <= 3; ++i) image->valueHistogram[size_t(i)] = 500;
  EXPECT_EQ(contrastLevel(*image, 0), 4095);  // falls below 9 do not count
  for (int i = 0; i <= 40; ++i) image->valueHistogram[size_t(i)] = 500;
  // Only 0 is automatic: the fixed levels ignore the histogram.
  EXPECT_EQ(V({contrastLevel(*image, 0), contrastLevel(*image, 1), contrastLevel(*image, -1)}),
            V({41, 4095, 41}));
  image->imageSize = 1000;  // 9.99 pixels
  image->valueHistogram[41] = 10, image->valueHistogram[42] = 9;
  EXPECT_EQ(contrastLevel(*image, 0), 42);
  image->imageSize = 0;  // no bin lies below nothing
  EXPECT_EQ(contrastLevel(*image, 0), 4095);
  // A step refreshes only when something changed.
  // time, auto contrast, brightness, refresh
  const int steps[][4] = {{0, 0, 9, 1},     {10, 0, 9, 0},    {20, 0, 12, 1},   {30, 1, 12, 1},
                          {5000, 1, 12, 0}, {5001, 1, 12, 1}, {10001, 1, 12, 0}};
  for (const auto& s : steps) {
    view.autoContrast = s[1], view.brightness = s[2];
    EXPECT_EQ(contrastStep(*image, view, uint32_t(s[0])), s[3] != 0) << s[0];
  }
  image->valueHistogram[3] = 9, image->fullRedrawPending = 1;
  EXPECT_TRUE(contrastStep(*image, view, 10002));
  EXPECT_EQ(V({image->valueHistogram[3], image->fullRedrawPending}), V({0, 0}));
  view.contrast = 55, view.autoContrast = 0;  // damaged: clamped, never an index past the table
  EXPECT_TRUE(contrastStep(*image, view, 10003));
  EXPECT_EQ(image->previousContrast, 10);
}

// The shared colouring takes every value to the entry of the literal one, values a few ulps
// either side of an entry's edge included, at every level.
TEST_F(ScanTest, FastColouringKeepsTheLiteralEntries) {
  build(64, 64);
  buildColourTable(2, 1, 10, image->colourTable);  // a ramp: neighbouring entries differ
  packColourTable(image->colourTable, image->packedColours.data());
  std::vector<uint32_t> fast(size_t(64) * 64), literal(fast.size());
  for (int32_t level = 7; level <= 4095; level += 7) {
    auto& values = image->map.value;
    for (size_t i = 0; i < values.size(); ++i) {
      const float edge = (float(i % 4096) + 0.5f) * float(level) / 4095.0f;
      values[i] = std::nextafter(edge, i % 3 == 0 ? 0.0f : 5000.0f);
      if (i % 3 == 1) values[i] = std::nextafter(values[i], 5000.0f);
    }
    colourEveryPixel(*image, level, fast.data());
    colourPixels(*image, level, literal.data());
    ASSERT_EQ(fast, literal) << level;
  }
}

}  // namespace
}  // namespace sk720
