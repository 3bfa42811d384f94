// The strokes drawn straight into a frame, against the area each pixel has within the stroke
// (counted on a grid of points inside the pixel), and what they leave alone.
#include "scan/overlay_raster.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace sk720 {
namespace {

constexpr int32_t kW = 40, kH = 30, kStride = 43;
constexpr int kGrid = 8;

// The part of pixel (x, y) whose points lie within the stroke shape.
template <class Inside>
double area(int32_t x, int32_t y, Inside&& inside) {
  int n = 0;
  for (int i = 0; i < kGrid; ++i) {
    for (int j = 0; j < kGrid; ++j) {
      n += inside(x - 0.5 + (i + 0.5) / kGrid, y - 0.5 + (j + 0.5) / kGrid) ? 1 : 0;
    }
  }
  return double(n) / (kGrid * kGrid);
}

// Draws p in white on black and compares every pixel's grey with its area; the bytes past the
// frame's width stay untouched.
template <class Inside>
void expectCoverage(const OverlayPrimitive& p, float dx, float dy, Inside&& inside,
                    double tolerance) {
  std::vector<uint32_t> px(size_t(kStride) * kH, 0);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = kW; x < kStride; ++x) px[size_t(y) * kStride + size_t(x)] = 0xABCDEF;
  }
  drawStroke({px.data(), kW, kH, kStride}, p, dx, dy);
  double worst = 0.0;
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kStride; ++x) {
      const uint32_t v = px[size_t(y) * kStride + size_t(x)];
      if (x >= kW) {
        ASSERT_EQ(v, 0xABCDEFu) << x << "," << y;
        continue;
      }
      ASSERT_TRUE((v & 0xFF) == ((v >> 8) & 0xFF) && (v & 0xFF) == (v >> 16)) << std::hex << v;
      const double want = area(x, y, inside), got = (v & 0xFF) / 255.0;
      worst = std::max(worst, std::abs(got - want));
      if (want == 0.0 && got > 0.2) ADD_FAILURE() << "stray pixel " << x << "," << y;
    }
  }
  EXPECT_LE(worst, tolerance);
}

// Random lines and circles, partly or wholly off the frame, against the shapes they stand for: a
// line's pen between its ends, a circle's pen around it.
TEST(OverlayRaster, StrokesCoverWhatTheirPenCovers) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coord(-15.0f, 55.0f), radius(1.0f, 45.0f), pen(0.6f, 4.0f);
  // x0, y0 and x1, y1 of a line, or a circle's centre, 0 and its radius
  std::vector<std::array<float, 5>> cases = {
      {5, 10, 30, 10, 2},     {12, 3, 12, 25, 2},   {3, 3, 35, 27, 1},
      {20, 15, 20.3f, 15, 3}, {-50, 5, 90, 28, 2},  {20, 15, 0, 10, 2},
      {0, 0, 0, 25, 2},       {20, 15, 0, 0.7f, 2}, {-400, 15, 0, 415.5f, 2}};
  for (int i = 0; i < 60; ++i) {
    const bool circle = i % 2 != 0;
    cases.push_back({coord(rng), coord(rng), circle ? 0 : coord(rng),
                     circle ? radius(rng) : coord(rng), pen(rng)});
  }
  for (const auto& [x0, y0, x1, y1, width] : cases) {
    SCOPED_TRACE(::testing::Message() << x0 << "," << y0 << " " << x1 << "," << y1 << " " << width);
    OverlayList l;
    const bool circle = x1 == 0;
    if (circle) {
      l.ellipse(x0 - y1 - 5, y0 - y1 + 1, 2 * y1, 2 * y1, 0xFFFFFFFF, width);
      expectCoverage(
          l[0], 5, -1,
          [&](double x, double y) {
            return std::abs(std::hypot(x - x0, y - y0) - y1) <= width / 2;
          },
          y1 < 2 * width ? 0.25 : 0.16);  // a pen wider than the circle bends the most
      continue;
    }
    l.line({x0 + 3, y0 - 2}, {x1 + 3, y1 - 2}, 0xFFFFFFFF, width);
    const double len = std::hypot(x1 - x0, y1 - y0), ux = (x1 - x0) / len, uy = (y1 - y0) / len;
    expectCoverage(
        l[0], -3, 2,
        [&](double x, double y) {
          const double along = (x - x0) * ux + (y - y0) * uy,
                       across = (y - y0) * ux - (x - x0) * uy;
          return along >= 0 && along <= len && std::abs(across) <= width / 2;
        },
        0.16);
  }
}

// A stroke blends its colour by its coverage and its alpha; pixels it does not reach keep theirs,
// and a stroke that cannot be placed draws nothing.
TEST(OverlayRaster, BlendsByCoverageAndAlphaAndLeavesTheRestAlone) {
  std::vector<uint32_t> px(size_t(kW) * kH);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
  const std::vector<uint32_t> before = px;
  OverlayList l;
  l.line({10, 10}, {30, 10}, 0xFF606060, 2);  // rows 9 and 11 half, row 10 whole
  l.line({10, 20}, {30, 20}, 0x80FF0000, 1);  // half-transparent red
  l.ellipse(0, 0, NAN, 4, 0xFFFFFFFF, 2);     // not finite
  l.line({0, 0}, {INFINITY, 5}, 0xFFFFFFFF, 2);
  l.line({5, 5}, {20, 5}, 0xFFFFFFFF, 0);    // no pen
  l.ellipse(1e30f, 0, 4, 4, 0xFFFFFFFF, 2);  // far off the frame
  for (const OverlayPrimitive& p : l) drawStroke({px.data(), kW, kH, kW}, p, 0, 0);
  const auto at = [&](int32_t x, int32_t y) { return px[size_t(y) * kW + size_t(x)]; };
  const auto was = [&](int32_t x, int32_t y) { return before[size_t(y) * kW + size_t(x)]; };
  const auto mix = [](uint32_t c, uint32_t d, uint32_t k) {
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
      out |= ((((c >> s) & 255) * k + ((d >> s) & 255) * (255 - k) + 127) / 255) << s;
    }
    return out;
  };
  for (int32_t x = 11; x < 30; ++x) {
    EXPECT_EQ(at(x, 10), 0x606060u) << x;
    EXPECT_EQ(at(x, 9), mix(0x606060, was(x, 9), 128)) << x;
    EXPECT_EQ(at(x, 20), mix(0xFF0000, was(x, 20), 128)) << x;
  }
  EXPECT_EQ(at(10, 10), mix(0x606060, was(10, 10), 128));  // the flat end halves the pixel
  int changed = 0;
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) changed += at(x, y) != was(x, y);
  }
  EXPECT_EQ(changed, 21 * 3 + 21);
}

}  // namespace
}  // namespace sk720
