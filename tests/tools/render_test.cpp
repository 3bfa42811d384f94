#include <cmath>

#include "records/ping_record.h"
#include "scan/echo_tables.h"
#include "sim/scene.h"
#include "sk720/overlay_paint.h"
#include "sk720/render_job.h"
#include "tool_test.h"

namespace sk720 {
namespace {

using RenderTest = cli::ToolTest;

TEST_F(RenderTest, PixelsMatchAnIndependentComputationAndOverlaysWhereTheGeometryPutsThem) {
  const std::string file = path("scene.bin");
  ASSERT_EQ(cli::runSynth({file, "--turns", "1"}), 0);

  const cli::RenderJob job{.files = {file, file}, .width = 400, .height = 300};  // every record
  cli::RenderResult result;
  std::string error;
  ASSERT_TRUE(cli::renderRecordFiles(job, result, &error)) << error;
  EXPECT_EQ(std::vector<int64_t>(
                {int64_t(result.recordsUsed), result.displayRangeMm, result.contrastLevel}),
            std::vector<int64_t>({6400, 10000, 255}));
  // A limit reached with the first file's last record: the next file is not even opened.
  cli::RenderJob limited = job;
  limited.files = {file, path("missing.bin")};
  limited.recordLimit = 3200;
  ASSERT_TRUE(cli::renderRecordFiles(limited, result, &error)) << error;
  EXPECT_EQ(result.recordsUsed, 3200u);

  // Image 400 x 400, client rows 50..349; fit: 300 / 400, so 15 pixels per metre.
  const double ppm = 400 * 0.75 / 20.0;
  const double spm = 20400.0 / 150.0 * 0.98;
  const double pi = std::acos(-1.0);
  const std::pair<int, int> points[] = {{250, 40},  {120, 200}, {300, 250},
                                        {205, 160}, {80, 100},  {340, 150}};
  for (auto [cx, cy] : points) {
    const double dx = cx - 200.0, dy = (cy + 50) - 200.0;
    const double r = std::hypot(dx, dy) / ppm;
    double theta = std::atan2(-dx, -dy);
    if (theta < 0) theta += 2 * pi;
    const double lp = theta / (2 * pi) * 3200;
    const int f = int(lp) % 3200, g = (f + 1) % 3200;
    const double t = lp - std::floor(lp);
    const int k = int(spm * r);
    ASSERT_LT(k, 1376 + 16 - 52);
    // Gain 1.0, dead zone of 30 samples, one ping per line starting at line 0; the gap fill of
    // each ping also copies its line over the previous one, so line L shows ping L + 1.
    auto value = [&](int line) {
      if (k <= 30) return 0.0;
      const int ping = line == 3199 ? line : line + 1;
      return double(
          ExpandSample(sim::sceneEcho(ping / 3200.0, k / spm, 1, uint32_t(ping), uint32_t(k))));
    };
    const double v = value(f) + (value(g) - value(f)) * t;
    const int entry = int(std::lround(std::min(v * 4095 / 255, 4095.0)));
    const Rgb& want = paletteFor(0)[size_t(entry * 255.0 / 4095)];  // brown
    const uint32_t px = result.pixels[size_t(cy) * 400 + size_t(cx)];
    EXPECT_NEAR(double((px >> 16) & 255), want.r, 1.0) << cx << "," << cy;
    EXPECT_NEAR(double((px >> 8) & 255), want.g, 1.0) << cx << "," << cy;
    EXPECT_NEAR(double(px & 255), want.b, 1.0) << cx << "," << cy;
  }
#ifndef _WIN32  // --overlays draws with cairo, in the native build only
  cli::RenderJob square{.files = {file}, .width = 400, .height = 400};
  cli::RenderResult plain, drawn;
  ASSERT_TRUE(cli::renderRecordFiles(square, plain, &error)) << error;
  square.overlays.enabled = square.overlays.info = true;
  ASSERT_TRUE(cli::renderRecordFiles(square, drawn, &error)) << error;
  // 10 m over 400 px: a ring every 40 px around (200, 200). Between two spokes, the pixels on a
  // ring are the ring's grey; half-way between rings the picture is untouched.
  auto px = [](const cli::RenderResult& r, double x, double y) {
    return r.pixels[size_t(std::lround(y)) * 400 + size_t(std::lround(x))] & 0xFFFFFFu;
  };
  const double a = 0.3927;  // 22.5 degrees off the vertical
  for (int k = 1; k <= 4; ++k) {
    bool grey = false;
    for (double r = k * 40 - 2.0; r <= k * 40 + 0.5; r += 0.5) {
      const uint32_t p = px(drawn, 199.5 + r * std::sin(a), 199.5 - r * std::cos(a));
      grey = grey || (p == 0x606060u || (std::abs(int((p >> 16) & 255) - 0x60) < 0x20 &&
                                         ((p >> 16) & 255) == (p & 255)));
    }
    EXPECT_TRUE(grey) << "ring " << k;
    const double mid = k * 40 + 20;
    EXPECT_EQ(px(drawn, 200 + mid * std::sin(a), 200 - mid * std::cos(a)),
              px(plain, 200 + mid * std::sin(a), 200 - mid * std::cos(a)))
        << "between rings " << k;
  }
  // The strip's text brightens some of its rows at the top.
  int brighter = 0;
  for (size_t i = 0; i < size_t(400) * 96; ++i)
    brighter += (drawn.pixels[i] & 0xFF) > (plain.pixels[i] & 0xFF) + 100;
  EXPECT_GT(brighter, 200);
  EXPECT_EQ(cli::runRender({file, "-o", path("o.png"), "--size", "320", "--overlays", "--compass",
                            "--cursor", "0,10", "--ruler", "10,0,319,319"}),
            0);
#endif
}

#ifndef _WIN32
// Texts come out at their size, bold ones heavier, and a flat ellipse is passed over without
// spoiling what follows.
TEST(OverlayPaint, SizeAndBoldAreHonouredAndAFlatEllipseSpoilsNothing) {
  const auto ink = [](bool bold, bool flat, float size = 20) {
    std::vector<uint32_t> px(96 * 32, 0);
    OverlayList l;
    if (flat) l.ellipse(4, 4, 20, 0, 0xFFFFFFFF, 1);
    l.text(2, 2, size, bold, 0xFFFFFFFF).text = "MMMM";
    std::string error;
    EXPECT_TRUE(cli::paintOverlayList(px.data(), 96, 32, 96, l, &error)) << error;
    int64_t sum = 0;
    for (const uint32_t p : px) sum += p & 0xFF;
    return sum;
  };
  const int64_t normal = ink(false, false);
  EXPECT_GT(ink(true, false), normal * 11 / 10);
  EXPECT_GT(normal, ink(false, false, 10) * 3 / 2);
  EXPECT_EQ(ink(false, true), normal);
  cli::releaseOverlayFonts();  // the leak checker sees the font caches given back
}
#endif

}  // namespace
}  // namespace sk720
