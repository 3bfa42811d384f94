#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"
#include "scan/scan_paint.h"
#include "scan/scan_reference.h"

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
  auto polar = [&](int32_t x, int32_t y) { return pixelPolarAt(*img, view.zeroOffset, x, y); };
  EXPECT_FLOAT_EQ(polar(100, 50).angleFraction, 0.0f);    // up
  EXPECT_FLOAT_EQ(polar(50, 100).angleFraction, 0.25f);   // left
  EXPECT_FLOAT_EQ(polar(100, 150).angleFraction, 0.5f);   // down
  EXPECT_FLOAT_EQ(polar(150, 100).angleFraction, 0.75f);  // right
  EXPECT_FLOAT_EQ(polar(100, 100).rangeMetres, -1.0f);
  EXPECT_FLOAT_EQ(polar(100, 50).rangeMetres, 50.0f / img->pixelsPerMetre);

  // Every reachable pixel is listed exactly once, under its own degree, ordered along the beam
  // (raster order within one cache line's worth of samples), with the polar position the
  // overlays compute for it.
  const auto& m = img->map;
  std::vector<int> seen(m.value.size(), 0);
  for (int d = 0; d < kDegrees; ++d) {
    int32_t last = -1, lastBucket = -1;
    for (const DegreePixel& p : m.degreePixels[size_t(d)]) {
      const int32_t bucket = p.sample >> 5;
      EXPECT_GE(bucket, lastBucket);
      if (bucket == lastBucket) {
        EXPECT_GT(p.pixel, last);
      }
      last = p.pixel;
      lastBucket = bucket;
      ++seen[size_t(p.pixel)];
      const PixelPolar q = polar(p.pixel % 200, p.pixel / 200);
      EXPECT_EQ(p.angleFraction, q.angleFraction);
      EXPECT_EQ(p.sample, int32_t(samplePosition(q.rangeMetres)));
      EXPECT_EQ(std::min(int(p.angleFraction * 360.0f), 359), d);
    }
  }
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i], int32_t(i) == m.centreIndex ? 0 : 1) << i;
  }

  view.zeroOffset = 90;
  img = build(200, 200);
  EXPECT_FLOAT_EQ(polar(100, 50).angleFraction, 0.25f);  // line 800 drawn up
  view.zeroOffset = -90;
  img = build(200, 200);
  EXPECT_FLOAT_EQ(polar(100, 50).angleFraction, 0.75f);  // line 2400 drawn up
  view.zeroOffset = 2000000000;                          // damaged: still a direction in range
  img = build(20, 20);
  for (const auto& list : img->map.degreePixels) {
    for (const DegreePixel& p : list)
      EXPECT_TRUE(p.angleFraction >= 0.0f && p.angleFraction <= 1.0f);
  }
}

TEST_F(GeometryTest, DegreeOrderMatchesTheLiteralRasterConversion) {
  std::mt19937 rng(7);
  for (int line = 0; line < kStoreLines; ++line) {
    for (int s = 0; s < kLineSamples; s += 7) store->put(line, s, uint16_t(rng() % 4096));
  }
  view.fitToWindow = 0;
  view.zeroOffset = 17;
  for (int rotate = 0; rotate < 2; ++rotate) {
    inputs.compassValid = rotate;
    inputs.compassEnabled = rotate;
    inputs.zeroAlwaysUp = 1 - rotate;
    inputs.headingRadians = 1.234f;
    auto fast = build(301, 257, 14);  // 150 m: the corners lie beyond the store
    fast->workerCount = 3;            // the degrees shared among threads, counts added up
    fast->panX = 13;
    fast->panY = -21;
    rebuildScanGeometry(*fast, *store, view, inputs, 301, 257);
    ReferenceScan literal = buildReferenceScan(13, -21, 301, fast->pixelsPerMetre, 17);
    markDirtyPixels(*fast, *store);
    convertInvalidPixels(*fast, *store, inputs);
    convertReferenceRaster(literal, *store, inputs);
    size_t converted = 0;
    for (size_t i = 0; i < literal.pixelMap.size(); ++i) {
      ASSERT_EQ(fast->map.value[i], literal.pixelMap[i].value) << i;
      const PixelPolar at = pixelPolarAt(*fast, 17, int32_t(i % 301), int32_t(i / 301));
      ASSERT_EQ(at.valid, literal.pixelMap[i].valid) << i;
      converted += literal.pixelMap[i].valid;
    }
    EXPECT_GT(converted, literal.pixelMap.size() / 2);
    EXPECT_LT(converted, literal.pixelMap.size());
    ASSERT_EQ(fast->valueHistogram, literal.valueHistogram);
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
  const PixelPolar edge = pixelPolarAt(*img, 0, 0, 512);  // 512 px left of centre: 150 m
  EXPECT_NEAR(edge.rangeMetres, 150.0f, 0.01f);
  EXPECT_EQ(edge.valid, 1u);
  EXPECT_FLOAT_EQ(edge.value, 1000.0f);
  const PixelPolar corner = pixelPolarAt(*img, 0, 0, 0);  // about 212 m: never converted
  EXPECT_EQ(corner.valid, 0u);
  EXPECT_FLOAT_EQ(corner.value, 0.0f);
  const int32_t centre = img->map.centreIndex;
  EXPECT_EQ(pixelPolarAt(*img, 0, centre % img->imageSize, centre / img->imageSize).valid, 0u);

  // Between lines 0 and 1, weighted by the fraction of the way.
  EXPECT_NEAR(convertPixel(0.25f / 3200.0f, 100, Rotation{}, *store), 1250.0f, 1.0f);
  EXPECT_FLOAT_EQ(convertPixel(0.0f, 100, Rotation{}, *store), 1000.0f);
  // North up: the heading turns the picture; a direction wraps into the turn.
  EXPECT_NEAR(convertPixel(0.0f, 100, Rotation{true, kTwoPi + kTwoPi / 3200.0f}, *store), 2000.0f,
              1.0f);
  EXPECT_NEAR(convertPixel(0.0f, 100, Rotation{true, kTwoPi - kTwoPi / 3200.0f}, *store), 0.0f,
              1.0f);
  // Whatever a heading holds, a pixel is converted without unwinding turns: rotations that no
  // addition or subtraction of 2*pi can change, and one that is no number.
  for (const float far : {1.0e30f, -1.0e30f}) {
    const float within = std::fmod(far, kTwoPi) + (far < 0.0f ? kTwoPi : 0.0f);
    EXPECT_FLOAT_EQ(convertPixel(0.0f, 100, Rotation{true, far}, *store),
                    convertPixel(0.0f, 100, Rotation{true, within}, *store));
  }
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FLOAT_EQ(convertPixel(0.0f, 100, Rotation{true, nan}, *store), 1000.0f);
}

}  // namespace
}  // namespace sk720
