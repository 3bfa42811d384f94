#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "scan/echo_tables.h"
#include "scan/scan_paint.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;

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

struct PaintTest : ::testing::Test {
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> img = std::make_unique<ScanImage>();
  ScanInputs inputs;
  ViewSettings view;
};

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

TEST_F(PaintTest, ColouringTopContrastAndCentre) {
  view.fitToWindow = 0;
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
