#include <gtest/gtest.h>

#include <memory>

#include "scan/echo_tables.h"
#include "scan/scan_paint.h"

namespace sk720 {
namespace {

void expectRow(const Palette& p, int i, int r, int g, int b) {
  EXPECT_EQ(p[i].r, r) << "entry " << i;
  EXPECT_EQ(p[i].g, g) << "entry " << i;
  EXPECT_EQ(p[i].b, b) << "entry " << i;
}

TEST(Palettes, GoldenRows) {
  const Palette& brown = paletteFor(0);
  expectRow(brown, 0, 0, 0, 0);
  expectRow(brown, 64, 128, 85, 0);
  expectRow(brown, 128, 255, 170, 1);
  expectRow(brown, 191, 255, 212, 127);
  expectRow(brown, 255, 255, 255, 255);
  const Palette& rainbow = paletteFor(1);
  for (int i = 0; i < 16; ++i) expectRow(rainbow, i, 0, 0, 0);
  expectRow(rainbow, 16, 56, 0, 255);
  expectRow(rainbow, 64, 0, 160, 255);
  expectRow(rainbow, 128, 0, 255, 61);
  expectRow(rainbow, 192, 227, 255, 0);
  expectRow(rainbow, 255, 255, 0, 0);
  const Palette& third = paletteFor(-7);
  expectRow(third, 0, 7, 0, 0);
  expectRow(third, 64, 174, 85, 3);
  expectRow(third, 128, 255, 173, 63);
  expectRow(third, 255, 255, 255, 255);
}

TEST(ColourTable, CurvesAndBrightnessSteps) {
  auto a = std::make_unique<ColourTable>(), b = std::make_unique<ColourTable>();
  const Palette& p = paletteFor(2);
  auto entry = [&](const ColourTable& t, int i) {
    return Rgb{uint8_t(t[i][0]), uint8_t(t[i][1]), uint8_t(t[i][2])};
  };
  auto same = [](Rgb x, Rgb y) { return x.r == y.r && x.g == y.g && x.b == y.b; };

  buildColourTable(2, 1, 0, *a);
  buildColourTable(2, 1, 4, *b);
  EXPECT_EQ(*a, *b);
  buildColourTable(2, 1, 8, *a);
  buildColourTable(2, 1, 9, *b);
  EXPECT_NE(*a, *b);

  buildColourTable(2, 1, 19, *a);
  EXPECT_TRUE(same(entry(*a, 0), p[38]));
  EXPECT_TRUE(same(entry(*a, 4095), p[255]));
  buildColourTable(2, 0, 19, *a);
  EXPECT_TRUE(same(entry(*a, 0), p[0]));
  EXPECT_TRUE(same(entry(*a, 4095), p[255]));
  // The power curve lifts low values above the linear ramp.
  buildColourTable(2, 1, 19, *b);
  EXPECT_GT((*a)[200][0], (*a)[0][0]);
  EXPECT_EQ(brightnessStep(19), 3);
  EXPECT_EQ(brightnessStep(13), 1);
  EXPECT_EQ(brightnessStep(14), 2);
}

class PaintTest : public ::testing::Test {
 protected:
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  std::unique_ptr<ScanImage> img = std::make_unique<ScanImage>();
  ScanInputs inputs;
  ViewSettings view;
};

TEST_F(PaintTest, ContrastLevels) {
  img->imageSize = 100;
  EXPECT_EQ(contrastLevel(*img, 0), 4095);  // all-zero image
  EXPECT_EQ(contrastLevel(*img, 6), 128);
  for (int i = 0; i <= 40; ++i) img->valueHistogram[size_t(i)] = 500;
  img->valueHistogram[41] = 0;
  EXPECT_EQ(contrastLevel(*img, 0), 41);
  img->imageSize = 0;  // below the 1e-5 share no bin qualifies
  EXPECT_EQ(contrastLevel(*img, 0), 4095);
}

TEST_F(PaintTest, ContrastStepRefreshesOnlyWhenSomethingChanged) {
  view.autoContrast = 0;
  EXPECT_TRUE(contrastStep(*img, view, 0));
  EXPECT_FALSE(contrastStep(*img, view, 10));
  view.brightness = 12;
  EXPECT_TRUE(contrastStep(*img, view, 20));
  view.autoContrast = 1;
  EXPECT_TRUE(contrastStep(*img, view, 30));
  EXPECT_FALSE(contrastStep(*img, view, 5000));
  EXPECT_TRUE(contrastStep(*img, view, 5001));  // a new automatic period
  view.contrast = 55;  // damaged: clamped, never an index outside the table
  view.autoContrast = 0;
  EXPECT_TRUE(contrastStep(*img, view, 5002));
  EXPECT_EQ(img->previousContrast, 10);
}

TEST_F(PaintTest, ColouringTopContrastAndCentre) {
  view.fitToWindow = 0;
  rebuildScanGeometry(*img, *store, view, inputs, 64, 64);
  for (int line = 0; line < kLinesPerTurn; ++line)
    for (int s = 0; s < 2000; ++s) store->put(line, s, 7);
  std::vector<uint32_t> px(64 * 64, 0);
  px[size_t(img->map.centreIndex)] = 0x00123456;
  view.contrast = 10;
  view.palette = 0;
  EXPECT_EQ(paintScanImage(*img, *store, view, inputs, 0, px.data()), 7);
  EXPECT_EQ(px[0], 0x00FFFFFFu);  // value 7 at level 7: the top of the brown palette
  EXPECT_EQ(px[size_t(img->map.centreIndex)], 0x00123456u);
}

TEST(ViewSettingsBlob, LayoutRoundTripAndDamage) {
  ViewSettings v;
  ViewSettingsBlob b = viewSettingsToBlob(v);
  EXPECT_EQ(b[0], 1);  // displayEnabled
  EXPECT_EQ(b[8], 0x00);
  EXPECT_EQ(b[11], 0x3F);   // reservedScale 1.0f
  EXPECT_EQ(b[4 * 4], 3);   // deadZoneIndex
  EXPECT_EQ(b[16 * 4], 1);  // zeroAlwaysUp
  v.zeroOffset = -45;
  v.palette = 1;
  b = viewSettingsToBlob(v);
  ViewSettings back;
  back.palette = 9;
  ASSERT_TRUE(viewSettingsFromBlob(b.data(), b.size(), back));
  EXPECT_EQ(back.zeroOffset, -45);
  EXPECT_EQ(back.palette, 1);
  EXPECT_FALSE(viewSettingsFromBlob(b.data(), 80, back));
  b[7 * 4] = 200;  // contrast
  ASSERT_TRUE(viewSettingsFromBlob(b.data(), b.size(), back));
  EXPECT_EQ(clampedContrast(back), 10);
}

}  // namespace
}  // namespace sk720
