// The scan image's geometry and the values its paint converts, seen through the pixels' polar
// positions and values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "scan/scan_paint.h"

namespace sk720 {
namespace {

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
    EXPECT_EQ(a.value, b.value) << range;
    for (size_t d = 0; d < size_t(kDegrees); ++d) {
      for (size_t n = 0; n < b.listed[d]; ++n) {
        const DegreePixel &p = a.degreePixels[d][n], &q = b.degreePixels[d][n];
        ASSERT_TRUE(p.pixel == q.pixel && p.sample == q.sample && p.line == q.line)
            << "range " << range << " degree " << d << " entry " << n;
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

// Lines hold their own number; a pixel's value is its direction's line position, interpolated
// between the line before and the one after (3199 to 0 across zero), turned by the heading only
// when north up is asked for with a usable compass.
TEST_F(GeometryTest, ValuesFollowTheDirectionAndTheHeading) {
  for (int32_t l = 0; l < kLinesPerTurn; ++l)
    for (int32_t s = 0; s < 300; ++s) store->put(l, s, uint16_t(l));
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
}

}  // namespace
}  // namespace sk720
