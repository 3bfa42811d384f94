// The scan image's geometry and the values its paint converts, seen through the pixels' polar
// positions and values; the palettes, colour tables and contrast the paint colours them with.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "scan/echo_tables.h"
#include "scan/overlay_geometry.h"
#include "scan/pixel_conversion.h"
#include "scan/scan_paint.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;
constexpr double kPi = 3.14159265358979323846;

struct GeometryTest : ::testing::Test {
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> img = std::make_unique<ScanImage>();
  ScanInputs inputs;
  ViewSettings view;
  std::vector<uint32_t> pixels;

  void SetUp() override {
    view.fitToWindow = 0;
    img->workerCount = 1;
  }
  void build(int32_t w, int32_t h, int32_t rangeIndex = 6) {
    img->displayRangeIndex = rangeIndex;
    rebuildScanGeometry(*img, *store, view, inputs, w, h);
  }
  void paint() {
    pixels.assign(size_t(img->imageSize) * size_t(img->imageSize), 0);
    paintScanImage(*img, *store, view, inputs, 0, pixels.data(), true);
  }
  PixelPolar at(int32_t x, int32_t y) const { return pixelPolarAt(*img, view.zeroOffset, x, y); }
};

TEST_F(GeometryTest, SizesScalesAndFit) {
  // client w, h, fit to window, display range index; image size, fit factor, pixels a metre
  const float cases[][7] = {{800, 600, 0, 6, 800, 1, 40},          {800, 600, 1, 6, 800, 0.75f, 30},
                            {600, 800, 1, 7, 800, 1, 800.0f / 30}, {0, 0, 1, 6, 10, 1, 0.5f},
                            {300, 300, 0, 20, 300, 1, 1},          {300, 300, 0, -5, 300, 1, 100}};
  for (const auto& c : cases) {
    view.fitToWindow = int32_t(c[2]);
    store->dirtyDegrees[17] = 0;
    build(int32_t(c[0]), int32_t(c[1]), int32_t(c[3]));
    const int32_t size = int32_t(c[4]);
    EXPECT_EQ(img->imageSize, size) << c[0];
    EXPECT_FLOAT_EQ(img->fitFactor, c[5]) << c[0];
    EXPECT_FLOAT_EQ(img->pixelsPerMetre, c[6]) << c[0];
    EXPECT_EQ(img->map.centreIndex, size / 2 * size + size / 2);
    EXPECT_EQ(img->fullRedrawPending + store->dirtyDegrees[17], 2u);
  }
  EXPECT_EQ(clientOffsetY(800, 600) + clientOffsetX(600, 800), 200);
  EXPECT_EQ(clientOffsetX(800, 600) + clientOffsetY(600, 800), 0);
}

// Directions run counter-clockwise from up, turned by the zero offset; the pan moves the centre.
TEST_F(GeometryTest, DirectionsRangesAndPan) {
  // zero offset, pan x, pixel x, y; direction in turns, metres (-1: the centre)
  const float cases[][6] = {
      {0, 0, 100, 50, 0, 5},      {0, 0, 50, 100, 0.25f, 5},          {0, 0, 100, 150, 0.5f, 5},
      {0, 0, 150, 100, 0.75f, 5}, {0, 0, 50, 50, 0.125f, 7.0710678f}, {0, 0, 100, 100, 0, -1},
      {90, 0, 100, 50, 0.25f, 5}, {-90, 0, 100, 50, 0.75f, 5},        {450, 0, 100, 150, 0.75f, 5},
      {0, 20, 80, 70, 0, 3},      {0, -20, 120, 100, 0, -1}};
  for (const auto& c : cases) {
    view.zeroOffset = int32_t(c[0]);
    img->panX = int32_t(c[1]);
    build(200, 200);
    const PixelPolar p = at(int32_t(c[2]), int32_t(c[3]));
    if (c[5] > 0) {
      EXPECT_NEAR(p.angleFraction, c[4], 1e-6f) << c[0] << " " << c[2] << "," << c[3];
    }
    EXPECT_NEAR(p.rangeMetres, c[5], 1e-5f) << c[0] << " " << c[2] << "," << c[3];
  }
  // The overlays circle the same centre; while the image is dragged, the one it started from.
  img->panX = 13, img->panY = -8;
  build(200, 200);
  for (const bool dragging : {false, true}) {
    const int32_t shownX = dragging ? 40 : 13, shownY = dragging ? 2 : -8;
    const OverlayCentre c = overlayCentre(200, shownX, shownY, 13, -8, dragging);
    EXPECT_EQ(at(c.cx, c.cy).rangeMetres, -1.0f) << dragging;
  }
  view.zeroOffset = 2000000000;  // damaged: still a direction in range
  img->panX = 0;
  build(20, 20);
  for (int32_t i = 0; i < 400; ++i) {
    const float f = at(i % 20, i / 20).angleFraction;
    EXPECT_TRUE(f >= 0.0f && f < 1.0f) << i;
  }
}

// A zoom keeps the layout and only finds each degree's reach again: the map it leaves is the one
// a new image of that range builds, in every listed entry, prefix and border entry, whether the
// reach grows or shrinks, pixels at the corners included (a non-square client, panned).
TEST_F(GeometryTest, AZoomGivesTheMapOfANewImage) {
  for (int32_t l = 0; l < kLinesPerTurn; ++l)
    for (int32_t s = 0; s < kLineSamples; s += 7) store->put(l, s, 900);
  img->panX = 7, img->panY = -3;
  build(150, 97, 3);
  for (const int32_t range : {14, 5, 13, 0, 14}) {
    paint();  // values that a smaller reach must not keep
    build(150, 97, range);
    ScanImage fresh;
    fresh.panX = 7, fresh.panY = -3;
    fresh.displayRangeIndex = range;
    rebuildScanGeometry(fresh, *store, view, inputs, 150, 97);
    const PixelMap &a = img->map, &b = fresh.map;
    ASSERT_EQ(a.listed, b.listed) << range;
    ASSERT_EQ(a.listedBorder, b.listedBorder) << range;
    EXPECT_EQ(a.maxRange, b.maxRange) << range;
    for (size_t d = 0; d < size_t(kDegrees); ++d) {
      for (size_t n = 0; n < b.degreePixels[d].size(); ++n) {
        const DegreePixel &p = a.degreePixels[d][n], &q = b.degreePixels[d][n];
        ASSERT_TRUE(p.x == q.x && p.y == q.y && p.angleFraction == q.angleFraction)
            << "range " << range << " degree " << d << " entry " << n;
        // Within reach exactly while listed.
        const float r = pixelPolarOf(p.x, p.y, 7, -3, 150, fresh.pixelsPerMetre, 0).rangeMetres;
        ASSERT_EQ(n < b.listed[d], samplePosition(r) < 20400.0f) << range << " " << d << " " << n;
        if (n >= b.listed[d]) {
          ASSERT_EQ(a.value[size_t(p.y) * 150 + p.x], 0.0f) << range << " " << d << " " << n;
        }
      }
      for (size_t n = 0; n < b.listedBorder[d]; ++n)
        ASSERT_EQ(a.borderEntries[d][n], b.borderEntries[d][n]) << d;
    }
  }
  size_t listed = 0;
  for (const uint32_t n : img->map.listed) listed += n;
  EXPECT_GT(listed, 10000u);  // at 150 m the store reaches part of the image only
  EXPECT_LT(listed, size_t(150 * 150 - 1));
}

// A degree's border entries are exactly its pixels that read a line of a neighbouring degree,
// flagged with the side, however the map's direction and pan place the degree's edges.
TEST_F(GeometryTest, BorderEntriesAreThePixelsReadingANeighbour) {
  view.zeroOffset = 37;
  img->panX = 11;
  build(600, 600);
  size_t flagged = 0;
  for (int32_t d = 0; d < kDegrees; ++d) {
    const auto& list = img->map.degreePixels[size_t(d)];
    std::vector<uint32_t> expected;
    for (size_t i = 0; i < list.size(); ++i) {
      int32_t line;
      float weight;
      linePosition(list[i].angleFraction, Rotation{}, line, weight);
      uint32_t sides = 0;
      for (const int32_t l : {line, weight != 0.0f ? (line + 1) % kLinesPerTurn : line}) {
        const int32_t e = degreeOfLine(l);
        if (e != d) sides |= e == (d + 1) % kDegrees ? kBorderAbove : kBorderBelow;
      }
      if (sides != 0) expected.push_back(uint32_t(i) | sides);
    }
    ASSERT_EQ(img->map.borderEntries[size_t(d)], expected) << d;
    flagged += expected.size();
  }
  EXPECT_GT(flagged, 600u * 600u / 20);
}

// Lines hold their own number; a pixel's value is its direction's line position, interpolated
// between the line before and the one after (3199 to 0 across zero), turned by the heading only
// when north up is asked for with a usable compass.
TEST_F(GeometryTest, ValuesFollowTheDirectionAndTheHeading) {
  for (int32_t l = 0; l < kLinesPerTurn; ++l)
    for (int32_t s = 0; s < 300; ++s) store->put(l, s, uint16_t(l));
  for (int32_t s = 0; s < 300; ++s) store->put(kLinesPerTurn, s, 4000);  // the spare: never shown
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // compass valid, enabled, zero always up, heading, zero offset; turns added to every direction
  // (NaN: every pixel reads line 0)
  const double cases[][6] = {{0, 0, 1, 1, 0, 0},
                             {1, 1, 1, 1, 0, 0},
                             {1, 0, 0, 1, 0, 0},
                             {0, 1, 0, 1, 0, 0},
                             {1, 1, 0, 1, 0, 1 - 1 / (2 * kPi)},
                             {1, 1, 0, -2, 0, 2 / (2 * kPi)},
                             {1, 1, 0, 5.5, 33, 1 - 5.5 / (2 * kPi)},
                             {0, 0, 1, 0, -33, 0},
                             {1, 1, 0, nan, 0, nan}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << c[1] << c[2] << " heading " << c[3]);
    inputs.compassValid = int32_t(c[0]);
    inputs.compassEnabled = int32_t(c[1]);
    inputs.zeroAlwaysUp = int32_t(c[2]);
    inputs.headingRadians = float(c[3]);
    view.zeroOffset = int32_t(c[4]);
    build(120, 120, 0);
    paint();
    for (int32_t i = 0; i < 120 * 120; i += 7) {
      const PixelPolar p = at(i % 120, i / 120);
      if (p.rangeMetres < 0.0f) continue;
      ASSERT_EQ(p.valid, 1u) << i;
      const double lp = std::isnan(c[5]) ? 0.0 : std::fmod(p.angleFraction + c[5], 1.0) * 3200.0;
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
TEST(Palettes, BrownIsAnHslRampAndTheOthersKeepTheirRows) {
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
}

// Brightness lifts the bottom of the linear ramp by 12.75 entries a step, or bends the power
// curve; only 1 is linear.
TEST(ColourTable, RampsCurvesAndBrightnessSteps) {
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

using PaintTest = GeometryTest;

// Automatic contrast: the first value from 9 up whose count falls and lies below 1e-5 of the
// image's pixels.
TEST_F(PaintTest, ContrastLevels) {
  img->imageSize = 100;
  EXPECT_EQ(V({contrastLevel(*img, 0), contrastLevel(*img, 1), contrastLevel(*img, 6),
               contrastLevel(*img, 10)}),
            V({4095, 4095, 128, 7}));
  for (int i = 0; i <= 3; ++i) img->valueHistogram[size_t(i)] = 500;
  EXPECT_EQ(contrastLevel(*img, 0), 4095);  // falls below 9 do not count
  for (int i = 0; i <= 40; ++i) img->valueHistogram[size_t(i)] = 500;
  // Only 0 is automatic: the fixed levels ignore the histogram.
  EXPECT_EQ(V({contrastLevel(*img, 0), contrastLevel(*img, 1), contrastLevel(*img, -1)}),
            V({41, 4095, 41}));
  img->imageSize = 1000;  // 9.99 pixels
  img->valueHistogram[41] = 10;
  img->valueHistogram[42] = 9;
  EXPECT_EQ(contrastLevel(*img, 0), 42);
  img->imageSize = 0;  // no bin lies below nothing
  EXPECT_EQ(contrastLevel(*img, 0), 4095);
}

TEST_F(PaintTest, ContrastStepRefreshesOnlyWhenSomethingChanged) {
  view.autoContrast = 0;
  // time, auto contrast, brightness, refresh
  const int steps[][4] = {{0, 0, 9, 1},     {10, 0, 9, 0},    {20, 0, 12, 1},   {30, 1, 12, 1},
                          {5000, 1, 12, 0}, {5001, 1, 12, 1}, {10001, 1, 12, 0}};
  for (const auto& s : steps) {
    view.autoContrast = s[1];
    view.brightness = s[2];
    EXPECT_EQ(contrastStep(*img, view, uint32_t(s[0])), s[3] != 0) << s[0];
  }
  img->valueHistogram[3] = 9;
  img->fullRedrawPending = 1;
  EXPECT_TRUE(contrastStep(*img, view, 10002));
  EXPECT_EQ(V({img->valueHistogram[3], img->fullRedrawPending}), V({0, 0}));
  view.contrast = 55;  // damaged: clamped, never an index outside the table
  view.autoContrast = 0;
  EXPECT_TRUE(contrastStep(*img, view, 10003));
  EXPECT_EQ(img->previousContrast, 10);
}

// The shared colouring takes every value to the entry of the literal one, values a few ulps
// either side of an entry's edge included, at every level.
TEST_F(PaintTest, FastColouringKeepsTheLiteralEntries) {
  rebuildScanGeometry(*img, *store, view, inputs, 64, 64);
  buildColourTable(2, 1, 10, img->colourTable);  // a ramp: neighbouring entries differ
  packColourTable(img->colourTable, img->packedColours.data());
  std::vector<uint32_t> fast(size_t(64) * 64), literal(fast.size());
  for (int32_t level = 7; level <= 4095; level += 7) {
    auto& values = img->map.value;
    for (size_t i = 0; i < values.size(); ++i) {
      const float edge = (float(i % 4096) + 0.5f) * float(level) / 4095.0f;
      values[i] = std::nextafter(edge, i % 3 == 0 ? 0.0f : 5000.0f);
      if (i % 3 == 1) values[i] = std::nextafter(values[i], 5000.0f);
    }
    colourEveryPixel(*img, level, fast.data());
    colourPixels(*img, level, literal.data());
    ASSERT_EQ(fast, literal) << level;
  }
}

TEST_F(PaintTest, ColouringTopContrastAndCentre) {
  img->workerCount = 0;  // as many as the machine has
  rebuildScanGeometry(*img, *store, view, inputs, 64, 64);
  for (int line = 0; line < kLinesPerTurn; ++line)
    for (int s = 0; s < 2000; ++s) store->put(line, s, 7);
  std::vector<uint32_t> px(size_t(64) * 64, 0);
  px[size_t(img->map.centreIndex)] = 0x00123456;
  view.contrast = 10;
  view.palette = 0;
  EXPECT_EQ(paintScanImage(*img, *store, view, inputs, 0, px.data()), 7);
  EXPECT_EQ(px[0], 0x00FFFFFFu);  // value 7 at level 7: the top of the brown palette
  EXPECT_EQ(px[size_t(img->map.centreIndex)], 0x00123456u);
  view.contrast = 1;  // level 4095: 7 of 4095 is the bottom of the palette
  paintScanImage(*img, *store, view, inputs, 1, px.data());
  EXPECT_EQ(px[5 * 64 + 9], 0u);
}

}  // namespace
}  // namespace sk720
