#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"
#include "scan/scan_paint.h"

namespace sk720 {
namespace {

class GeometryTest : public ::testing::Test {
 protected:
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  ScanInputs inputs;
  ViewSettings view;

  std::unique_ptr<ScanImage> build(int32_t w, int32_t h, int32_t rangeIndex = 6) {
    auto img = std::make_unique<ScanImage>();
    img->displayRangeIndex = rangeIndex;
    rebuildScanGeometry(*img, *store, view, inputs, w, h);
    return img;
  }
  static size_t at(const ScanImage& img, int32_t x, int32_t y) {
    return size_t(y) * size_t(img.imageSize) + size_t(x);
  }
};

TEST_F(GeometryTest, SizesScalesAndFit) {
  view.fitToWindow = 0;
  auto img = build(800, 600);
  EXPECT_EQ(img->imageSize, 800);
  EXPECT_FLOAT_EQ(img->pixelsPerMetre, 40.0f);
  EXPECT_EQ(img->map.centreIndex, 400 * 800 + 400);
  EXPECT_EQ(clientOffsetY(800, 600), 100);
  EXPECT_EQ(clientOffsetX(600, 800), 100);

  view.fitToWindow = 1;
  inputs.currentRangeMm = 10000;
  img = build(800, 600);
  EXPECT_FLOAT_EQ(img->fitFactor, 0.75f);
  EXPECT_FLOAT_EQ(img->pixelsPerMetre, 30.0f);
  img = build(600, 800, 7);  // another zoom than the sonar's range: no fit
  EXPECT_FLOAT_EQ(img->fitFactor, 1.0f);

  img = build(0, 0);
  EXPECT_EQ(img->imageSize, 10);
  EXPECT_FLOAT_EQ(img->fitFactor, 1.0f);
  EXPECT_EQ(img->fullRedrawPending, 1);
  for (uint32_t f : store->dirtyDegrees) EXPECT_EQ(f, 1u);
}

TEST_F(GeometryTest, DirectionsOffsetsAndLists) {
  view.fitToWindow = 0;
  auto img = build(200, 200);
  const auto& m = img->map;
  EXPECT_FLOAT_EQ(m.angleFraction[at(*img, 100, 50)], 0.0f);   // up
  EXPECT_FLOAT_EQ(m.angleFraction[at(*img, 50, 100)], 0.25f);  // left
  EXPECT_FLOAT_EQ(m.angleFraction[at(*img, 100, 150)], 0.5f);  // down
  EXPECT_FLOAT_EQ(m.angleFraction[at(*img, 150, 100)], 0.75f); // right
  EXPECT_FLOAT_EQ(m.rangeMetres[at(*img, 100, 100)], -1.0f);
  EXPECT_FLOAT_EQ(m.rangeMetres[at(*img, 100, 50)], 50.0f / img->pixelsPerMetre);

  // Every reachable pixel is listed exactly once, under its own degree, in raster order.
  std::vector<int> seen(m.value.size(), 0);
  for (int d = 0; d < kDegrees; ++d) {
    int32_t last = -1;
    const int32_t* p = &m.degreePixels[size_t(m.degreeStart[d])];
    for (; *p >= 0; ++p) {
      EXPECT_GT(*p, last);
      last = *p;
      ++seen[size_t(*p)];
      EXPECT_EQ(std::min(int(m.angleFraction[size_t(*p)] * 360.0f), 359), d);
    }
    EXPECT_EQ(p - &m.degreePixels[0], m.degreeStart[d + 1] - 1);
  }
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], m.rangeMetres[i] < 0 ? 0 : 1) << i;

  view.zeroOffset = 90;
  img = build(200, 200);
  EXPECT_FLOAT_EQ(img->map.angleFraction[at(*img, 100, 50)], 0.25f);  // line 800 drawn up
  view.zeroOffset = -90;
  img = build(200, 200);
  EXPECT_FLOAT_EQ(img->map.angleFraction[at(*img, 100, 50)], 0.75f);  // line 2400 drawn up
  view.zeroOffset = 2000000000;  // damaged: still a direction in range
  img = build(20, 20);
  for (float f : img->map.angleFraction) EXPECT_TRUE(f >= 0.0f && f <= 1.0f);
}

TEST_F(GeometryTest, DegreeOrderMatchesRasterOrderExactly) {
  std::mt19937 rng(7);
  for (int line = 0; line < kStoreLines; ++line) {
    for (int s = 0; s < kLineSamples; s += 7) store->put(line, s, uint16_t(rng() % 4096));
  }
  view.fitToWindow = 0;
  for (int rotate = 0; rotate < 2; ++rotate) {
    inputs.compassValid = rotate;
    inputs.compassEnabled = rotate;
    inputs.zeroAlwaysUp = 1 - rotate;
    inputs.headingRadians = 1.234f;
    view.zeroOffset = 17;
    auto fast = build(301, 257, 14);  // 150 m: the corners lie beyond the store
    auto literal = build(301, 257, 14);
    markDirtyPixels(*fast, *store);
    convertInvalidPixels(*fast, *store, inputs);
    convertInvalidPixelsRaster(*literal, *store, inputs);
    ASSERT_EQ(fast->map.value, literal->map.value);
    ASSERT_EQ(fast->map.valid, literal->map.valid);
    ASSERT_EQ(fast->valueHistogram, literal->valueHistogram);
  }
}

TEST_F(GeometryTest, ConversionReachAndInterpolation) {
  view.fitToWindow = 0;
  auto img = build(1024, 1024, 14);
  for (int line = 0; line < kLinesPerTurn; ++line) store->put(line, 19992, 1000);
  store->put(0, 100, 1000);
  store->put(1, 100, 2000);
  markDirtyPixels(*img, *store);
  convertInvalidPixels(*img, *store, inputs);
  const auto& m = img->map;
  const size_t edge = at(*img, 0, 512);  // 512 px left of centre: 150 m
  EXPECT_NEAR(m.rangeMetres[edge], 150.0f, 0.01f);
  EXPECT_EQ(m.valid[edge], 1);
  EXPECT_FLOAT_EQ(m.value[edge], 1000.0f);
  const size_t corner = at(*img, 0, 0);  // about 212 m: never converted
  EXPECT_EQ(m.valid[corner], 0);
  EXPECT_FLOAT_EQ(m.value[corner], 0.0f);
  EXPECT_EQ(m.valid[size_t(m.centreIndex)], 0);

  // Between lines 0 and 1, weighted by the fraction of the way.
  float v = 0;
  const float r = 100.5f / kSamplesPerMetre;
  ASSERT_TRUE(convertPixel(0.25f / 3200.0f, r, Rotation{}, *store, v));
  EXPECT_NEAR(v, 1250.0f, 1.0f);
  ASSERT_TRUE(convertPixel(0.0f, r, Rotation{}, *store, v));
  EXPECT_FLOAT_EQ(v, 1000.0f);
}

}  // namespace
}  // namespace sk720
