// The overlay's rings, marks, dial and frame; how kept drawings are matched, how shapes are
// clipped to the window, and the strokes drawn straight into a frame; the texts of the info strip
// and the screenshot rules.
#include "scan/overlay_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "link/sonar_params.h"
#include "scan/nav_format.h"
#include "scan/overlay_clip.h"
#include "scan/overlay_frame.h"
#include "scan/overlay_raster.h"
#include "scan/scan_image.h"
#include "scan/screenshot_rules.h"
#include "views/scan_interaction.h"

namespace sk720 {
namespace {

const double kPi = std::acos(-1.0);
using V = std::vector<int64_t>;

// The texts, each followed by '|'.
std::string joined(const OverlayList& list) {
  std::string t;
  for (const OverlayPrimitive& p : list)
    if (p.kind == PrimitiveKind::Text) t += p.text + "|";
  return t;
}
double gap(PointF p, PointF q) { return std::hypot(p.x - q.x, p.y - q.y); }
// Step 0 is up, 800 to the left: counter-clockwise on the screen, 3200 a turn.
void expectAtStep(PointF p, int cx, int cy, double step, double radius) {
  const double a = step * 2 * kPi / 3200;
  EXPECT_NEAR(p.x, cx - radius * std::sin(a), 1e-3) << step;
  EXPECT_NEAR(p.y, cy - radius * std::cos(a), 1e-3) << step;
}

// A ring every fifth of the display range, up to the image's reach and the head's range.
TEST(RangeRings, RadiiLabelsAndTheStopRule) {
  const std::tuple<RingInput, bool, int32_t, const char*> cases[] = {
      {{1000, 0, 1.0f, 2.0f, 10000}, true, 600, " 0.3m| 0.6m| 0.9m| 1.2m| 1.5m| 1.8m|"},
      {{1000, 0, 1.0f, 9.0f, 1500}, true, 500, " 0.3m| 0.6m| 0.9m| 1.2m| 1.5m|"},
      {{1000, 1, 1.0f, 2.0f, 10000}, true, 400, " 0.5m| 1.0m| 1.5m| 2.0m|"},
      {{800, 6, 0.75f, 16.7f, 10000}, true, 300, "   2m|   4m|   6m|   8m|  10m|"},
      {{1000, 9, 1.0f, 50.0f, 10000}, true, 100, "   6m|"},
      {{1000, 5, 1.0f, 3.1f, 60000}, true, 200, " 1.5m| 3.0m|"},
      {{1000, 3, 1.0f, 2.1f, 60000}, true, 200, "   1m|   2m|"},
      {{1000, 20, 1.0f, 31.0f, 60000}, true, 100, "  30m|"},
      {{1000, 6, 1.0f, 50.0f, 1000}, true, 0, ""},
      {{1000, 6, 1.0f, 50.0f, 10000}, false, 500, ""},
      {{1000, 6, 1.0f, std::nanf(""), 10000}, true, 0, ""}};
  for (const auto& [in, draw, radius, labels] : cases) {
    SCOPED_TRACE(in.displayRangeIndex);
    OverlayList out;
    EXPECT_EQ(addRangeRings(out, {500, 400}, in, draw), radius);
    EXPECT_EQ(joined(out), labels);
    for (size_t k = 0; k < out.size(); k += 2) {  // ring box from (cx - r, cy - r), then label
      const float r = float(k + 2) / 2.0f * in.fitFactor * float(in.imageSize) / 10.0f;
      EXPECT_EQ(std::vector<float>({out[k].x, out[k].y, out[k].w, out[k + 1].x, out[k + 1].y}),
                std::vector<float>({500 - r, 400 - r, 2 * r - 1, 500 + r - 34, 400 - 15}));
    }
  }
}

TEST(RimMarks, SpokesPointerAndCompassAcrossZeroAndForHugeOffsets) {
  OverlayList out;
  addGridSpokes(out, {400, 300}, 200);
  ASSERT_EQ(out.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    expectAtStep(out[size_t(k)].points[0], 400, 300, 400 * k, 200);
    expectAtStep(out[size_t(k)].points[1], 400, 300, 400 * k + 1600, 200);
  }
  EXPECT_EQ(V({compassBaseStep(0, 10), compassBaseStep(0, -10), compassBaseStep(3300, 0),
               compassBaseStep(-5, 0), compassBaseStep(-6405, 0), compassBaseStep(100, 370),
               compassBaseStep(0, 9), compassBaseStep(0, -9)}),
            V({3200 - 88, 88, 100, 3195, 3195, 12, 3120, 80}));
  // Whole turns of any size change nothing and cannot overflow.
  for (int32_t z : {INT32_MAX, INT32_MIN, INT32_MAX - 7, -1000000007}) {
    EXPECT_EQ(compassBaseStep(1234, z), compassBaseStep(1234, z % 360)) << z;
    EXPECT_EQ(compassBaseStep(INT32_MIN, z), compassBaseStep(INT32_MIN % 3200, z % 360)) << z;
  }
  EXPECT_EQ(V({headingSteps(float(kPi / 2)), headingSteps(-0.001f), headingSteps(-0.01f),
               headingSteps(std::nanf("")), headingSteps(INFINITY), headingSteps(1e10f),
               headingDegrees(1.0f), headingDegrees(-1.0f), headingDegrees(-1e10f)}),
            V({800, 0, -5, 0, 0, 0, 57, -57, 0}));

  // Outer radius 300: mark size 10.2, ticks inward from the rim, labels 20.4 px inside.
  out.clear();
  addCompassMarks(out, {400, 400}, 300, 160, 10);
  ASSERT_EQ(out.size(), 16u);
  const char* labels[] = {"N", "W", "S", "E", "315", "225", "135", "45"};
  for (int i = 0; i < 8; ++i) {
    const OverlayPrimitive &tick = out[size_t(i) * 2], &label = out[size_t(i) * 2 + 1];
    const double step = compassBaseStep(160, 10) + 800 * (i % 4) + (i >= 4 ? 400 : 0);
    expectAtStep(tick.points[0], 400, 400, step, 300);
    expectAtStep(tick.points[1], 400, 400, step, 300 - compassMarkSize(300));
    expectAtStep({label.x + label.w / 2, label.y + label.h / 2}, 400, 400, step,
                 300 - 2 * compassMarkSize(300));
    // pen, bold, centred, font and box width in hundredths
    EXPECT_EQ(V({int64_t(tick.penWidth), label.bold, label.centred, std::lround(label.fontPx * 100),
                 std::lround(label.w * 100)}),
              V({i < 4 ? 4 : 2, 1, 1, 1111, i < 4 ? 1443 : 4328}));
    EXPECT_EQ(label.text, labels[i]);
  }
  out.clear();
  addCompassMarks(out, {400, 400}, 0, 0, 0);  // no room for a label: ticks only
  EXPECT_EQ(joined(out) + std::to_string(out.size()), "8");
}

// The dial is a compass card turned so that the heading is up: a mark at bearing b sits at
// b - heading clockwise from the top, and the dark red needle tip points at north.
TEST(HeadingDial, CardTurnsAgainstTheHeading) {
  EXPECT_EQ(dialHeading(INT32_MIN, INT32_MAX),
            int32_t(((int64_t(INT32_MIN) - INT32_MAX) % 360 + 360) % 360));
  // heading, zero offset, heading shown, dial height
  const int32_t cases[][4] = {{0, 0, 0, 100},      {30, 0, 30, 100},  {90, 0, 90, 101},
                              {200, 20, 180, 100}, {0, 10, 350, 100}, {5, -725, 10, 140}};
  for (const auto& [heading, zeroOffset, shown, height] : cases) {
    SCOPED_TRACE(heading);
    EXPECT_EQ(dialHeading(heading, zeroOffset), shown);
    OverlayList out;
    addHeadingDial(out, 100, height, heading, zeroOffset);
    // Whether p lies r from the dial's centre at `bearing`, moved by dx, dy.
    const auto near = [&, shown = shown](PointF p, double bearing, double r, double dx = 0,
                                         double dy = 0) {
      const double t = (bearing - shown) * kPi / 180;
      return gap(p, {float(50 + r * std::sin(t) + dx), float(50 - r * std::cos(t) + dy)}) < 1e-3;
    };
    std::string labels;
    int32_t ticks = 0, needles = 0;
    const int32_t tickStep = height > 100 ? 5 : 10;
    for (const OverlayPrimitive& p : out) {
      if (p.kind == PrimitiveKind::Polygon) {  // the needle tips, the needle symmetric
        EXPECT_TRUE(near(p.points[0], p.argb == kDialRedArgb ? 0 : 180, 32));
        EXPECT_NEAR(gap(p.points[1], p.points[0]), gap(p.points[2], p.points[0]), 1e-3);
        ++needles;
      }
      const int32_t bearing =
          ticks * tickStep >= 360 ? (ticks - 360 / tickStep) * 90 : ticks * tickStep;
      if (p.kind == PrimitiveKind::Line) {
        EXPECT_TRUE(near(p.points[0], bearing, 45) && near(p.points[1], bearing, 50)) << ticks;
        ++ticks;
      }
      if (p.kind != PrimitiveKind::Text) continue;
      labels += p.text + "|";
      // Letters and bearings on a ring inside the ticks; the heading shown, "ddd°", in the middle.
      const bool letter = p.text.size() == 1, middle = p.text.size() > 3;
      const double b = letter ? 90.0 * double(std::string("NESW").find(p.text)) : std::stoi(p.text);
      EXPECT_TRUE(p.bold && (middle ? p.x == 37 && p.y == 41 && p.fontPx == 12
                                    : near({p.x, p.y}, b, 38, letter ? -5 : -10, -7)))
          << p.text;
    }
    const std::string centre = std::to_string(1000 + shown).substr(1) + "\u00B0|";
    EXPECT_EQ(labels, " 45|135|225|315|N|E|S|W|" + centre);
    EXPECT_EQ(V({ticks, needles}), V({360 / tickStep + 4, 2}));
  }
}

// A cursor on any pixel of the image has a position, the first and last rows and columns
// included; one pixel beyond any edge has none. The landscape client crops rows off the top.
TEST(OverlayFrame, TheCursorIsInsideOnEveryPixelOfTheImageOnly) {
  const auto image = std::make_unique<ScanImage>();
  image->imageSize = 800;
  const auto store = std::make_unique<LineStore>();
  // cursor x, y in the 800 x 600 client (its row 0 is the image's row 100); inside
  const int32_t cases[][3] = {{0, -100, 1}, {799, 699, 1}, {0, -101, 0},
                              {-1, 0, 0},   {800, 0, 0},   {0, 700, 0}};
  for (const auto& c : cases) {
    OverlayInput in;
    fillOverlayInput(in, *image, ScanInteraction{.cursorX = c[0], .cursorY = c[1]}, ViewSettings{},
                     ScanInputs{}, *store, GpsFix{}, 800, 600);
    EXPECT_EQ(in.cursorInside, c[2]) << c[0] << "," << c[1];
  }
}

// Under "zero always up" the compass marks turn with the heading: a quarter turn puts N where W
// was.
TEST(OverlayFrame, CompassMarksTurnWithTheHeading) {
  OverlayInput in;
  in.imageSize = in.clientWidth = in.clientHeight = 800, in.currentRangeMm = 10000;
  in.pixelsPerMetre = 40.0f, in.imageMaxRange = 14.2f;
  in.compassFieldsPresent = in.compassValid = in.compassEnabled = 1;
  auto label = [&](float heading, const std::string& text) {
    in.headingRadians = heading;
    OverlayState state;
    for (const OverlayPrimitive& p : buildOverlayFrame(state, in, 0).canvas)
      if (p.text == text) return std::pair{p.x, p.y};
    return std::pair{-1.0f, -1.0f};
  };
  const auto west = label(0.0f, "W");
  EXPECT_TRUE(west.first > 0 && label(float(kPi / 2), "N") == west);
}

TEST(OverlayFrame, RulerPointerCursorAndReuse) {
  OverlayInput in;
  // The newest line, 2400, points to the right.
  in.imageSize = in.clientWidth = 800, in.clientHeight = 600, in.currentRangeMm = 10000;
  in.pixelsPerMetre = 40.0f, in.imageMaxRange = 14.2f, in.grid = 0, in.currentLineIndex = 2400;
  in.gps = {.lat = 0.6f, .sig = 1};
  in.rulerMode = in.rulerState = 1, in.rulerX1 = in.rulerY1 = in.rulerX2 = 100, in.rulerY2 = 500;
  OverlayState state;
  const OverlayFrame& f = buildOverlayFrame(state, in, 1000);
  ASSERT_EQ(f.canvas.size(), 1u + 2u + 1u + 1u);        // pointer, squares, line, label
  expectAtStep(f.canvas[0].points[0], 400, 400, 0, 0);  // the pointer: the newest line
  expectAtStep(f.canvas[0].points[1], 400, 400, 2400, 400);
  // The landscape crop moves rows down; the first distance report waits its period; no cursor
  // line outside the image, but the GPS line.
  EXPECT_EQ(V({f.outerRadius, int64_t(f.canvas[1].points[0].y), int64_t(f.canvas[4].x),
               int64_t(f.canvas[4].y), int64_t(f.distanceStatus.size()), f.dialVisible,
               std::ranges::count(joined(f.strip), '|'), f.canvas[4].bold, f.strip[0].bold}),
            V({400, 196, 104, 382, 0, 0, 6, 1, 0}));
  EXPECT_EQ(f.canvas[4].text, "10.00m");

  buildOverlayFrame(state, in, 3001);
  EXPECT_EQ(f.distanceStatus + (f.rebuilt ? " rebuilt" : ""), "Distance: 10.00m");
  buildOverlayFrame(state, in, 3500);
  EXPECT_TRUE(f.distanceStatus.empty());

  const size_t capacity = f.canvas.capacity();
  in.cursorInside = 1, in.zeroOffset = 450;
  in.compassFieldsPresent = in.compassValid = in.compassEnabled = 1;
  buildOverlayFrame(state, in, 3600);
  EXPECT_EQ(V({f.rebuilt, int64_t(f.canvas.capacity()), f.dialVisible, f.dialX}),
            V({1, int64_t(capacity), 1, 800 - f.dialWidth}));
  expectAtStep(f.canvas[0].points[1], 400, 400, 1600, 400);  // turned back by the zero offset
  const std::string strip = joined(f.strip);
  const size_t cursor = strip.rfind("|Cursor:  34\u00B0 22.6481\u2032 N");
  EXPECT_EQ(std::ranges::count(strip, '|'), 7);
  ASSERT_NE(cursor, std::string::npos) << strip;

  // The screenshot keeps the cursor text once the fix is lost; "Show info" off: no strip.
  in.gps.sig = 0;
  buildOverlayFrame(state, in, 3700);
  OverlayList shot;
  buildScreenshotStrip(state, in, shot);
  EXPECT_TRUE(joined(shot).ends_with(strip.substr(cursor))) << joined(shot);  // the last line
  EXPECT_EQ(std::ranges::count(joined(f.strip), '|'), 6);
  in.showInfo = 0;
  buildOverlayFrame(state, in, 3800);
  buildScreenshotStrip(state, in, shot);
  EXPECT_EQ(shot.size() + f.strip.size(), 0u);
  in.displayEnabled = 0;
  buildOverlayFrame(state, in, 9000);
  EXPECT_EQ(f.canvas.size() + f.distanceStatus.size(), 0u);
}

constexpr ClipBox kBox{0.0f, 0.0f, 1000.0f, 200.0f};

// Every run: points on the ring, about two pixels apart, inside the box but for one point past
// each end; and together they reach every part of the ring that lies in the box.
void checkRuns(float cx, float cy, float r, const ClipBox& box) {
  ArcRuns runs;
  visibleEllipseRuns(cx - r, cy - r, 2 * r, 2 * r, box, runs);
  auto inside = [&](const PointF& p) {
    return p.x >= box.left && p.x <= box.right && p.y >= box.top && p.y <= box.bottom;
  };
  for (size_t k = 0; k < runs.starts.size(); ++k) {
    const size_t begin = runs.starts[k];
    const size_t end = k + 1 < runs.starts.size() ? runs.starts[k + 1] : runs.points.size();
    ASSERT_GE(end - begin, 2u);
    for (size_t i = begin; i < end; ++i) {
      const PointF& p = runs.points[i];
      EXPECT_NEAR(gap(p, {cx, cy}), r, 0.05 + r * 1e-6);
      EXPECT_TRUE(i == begin || i + 1 == end || inside(p)) << i;
      EXPECT_TRUE(i == begin || gap(p, runs.points[i - 1]) <= 2.05f) << i;
    }
  }
  // A dense walk of the whole ring: any point inside the box lies near a run's segment point.
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    const double t = 2 * kPi * i / n;
    const PointF p{float(cx + r * std::cos(t)), float(cy + r * std::sin(t))};
    const auto near = [&](PointF q) { return gap(p, q) <= 2.1; };
    ASSERT_TRUE(!inside(p) || std::any_of(runs.points.begin(), runs.points.end(), near))
        << p.x << "," << p.y;
  }
}

TEST(OverlayClip, SegmentsAndRingsKeepOnlyTheirPartInTheBox) {
  // from, to; visible, clipped from and to
  const std::tuple<PointF, PointF, bool, PointF, PointF> rows[] = {
      {{-500, 100}, {1500, 100}, true, {0, 100}, {1000, 100}},  // across, both ends out
      {{10, 10}, {20, 30}, true, {10, 10}, {20, 30}},           // wholly inside: unchanged
      {{500, -100}, {500, 300}, true, {500, 0}, {500, 200}},    // vertical
      {{-100, -100}, {300, 300}, true, {0, 0}, {200, 200}},     // through a corner
      {{1100, 100}, {2000, 150}, false, {}, {}},                // beside the box
      {{-10, 250}, {1200, 260}, false, {}, {}},                 // below it
      {{-200, 100}, {0, 300}, false, {}, {}}};                  // misses the corner
  // The same rows in a box away from the origin, everything moved alike.
  for (const PointF shift : {PointF{0, 0}, PointF{-70, 30}}) {
    const auto moved = [&](PointF p) { return PointF{p.x + shift.x, p.y + shift.y}; };
    const ClipBox box{kBox.left + shift.x, kBox.top + shift.y, kBox.right + shift.x,
                      kBox.bottom + shift.y};
    for (const auto& [from, to, visible, ca, cb] : rows) {
      SCOPED_TRACE(::testing::Message() << from.x << "," << from.y << " " << to.x << "," << to.y
                                        << " moved " << shift.x);
      PointF a = moved(from), b = moved(to);
      ASSERT_EQ(clipSegment(a, b, box), visible);
      EXPECT_TRUE(!visible || gap(a, moved(ca)) + gap(b, moved(cb)) < 1e-3)
          << a.x << "," << a.y << " " << b.x << "," << b.y;
    }
  }
  // Rings: the runs of their points in the box.
  checkRuns(500, -900, 1000, kBox);     // a wide arc across the top
  checkRuns(500, 100, 300, kBox);       // centre inside: two arcs, top and bottom cut
  checkRuns(-40000, 100, 40500, kBox);  // a huge ring: only the angle the box subtends
  ArcRuns none;
  visibleEllipseRuns(5000, 5000, 100, 100, kBox, none);  // far from the box
  EXPECT_TRUE(none.starts.empty());
  EXPECT_TRUE(ellipseInside(0, 0, 1000, 200, kBox));  // up to the edges
  EXPECT_FALSE(ellipseInside(10, 10, 100, 300, kBox));
}

// The strokes drawn straight into a frame, against the area each pixel has within the stroke
// (counted on a grid of points inside the pixel), and what they leave alone.
constexpr int32_t kW = 40, kH = 30, kStride = 43;
constexpr int kGrid = 8;

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
    OverlayList l;  // drawn moved by (3, -2), placed back by the frame offset
    const bool circle = x1 == 0;
    circle ? l.ellipse(x0 - y1 + 3, y0 - y1 - 2, 2 * y1, 2 * y1, 0xFFFFFFFF, width)
           : l.line({x0 + 3, y0 - 2}, {x1 + 3, y1 - 2}, 0xFFFFFFFF, width);
    const double len = std::hypot(x1 - x0, y1 - y0), ux = (x1 - x0) / len, uy = (y1 - y0) / len;
    const auto inside = [&, x0 = x0, y0 = y0, y1 = y1, width = width](double x, double y) {
      if (circle) return std::abs(std::hypot(x - x0, y - y0) - y1) <= width / 2;
      const double along = (x - x0) * ux + (y - y0) * uy, across = (y - y0) * ux - (x - x0) * uy;
      return along >= 0 && along <= len && std::abs(across) <= width / 2;
    };
    // Drawn in white on black: every pixel's grey is its area; the bytes past the frame's width
    // stay untouched.
    std::vector<uint32_t> px(size_t(kStride) * kH, 0);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = kW; x < kStride; ++x) px[size_t(y) * kStride + size_t(x)] = 0xABCDEF;
    drawStroke({px.data(), kW, kH, kStride}, l[0], -3, 2);
    double worst = 0.0;
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = 0; x < kStride; ++x) {
        const uint32_t v = px[size_t(y) * kStride + size_t(x)];
        ASSERT_TRUE(x < kW || v == 0xABCDEFu) << x << "," << y;  // past the width: untouched
        if (x >= kW) continue;
        ASSERT_TRUE((v & 0xFF) == ((v >> 8) & 0xFF) && (v & 0xFF) == (v >> 16)) << std::hex << v;
        int n = 0;  // the grid points inside the pixel that lie within the stroke shape
        for (int row = 0; row < kGrid; ++row)
          for (int col = 0; col < kGrid; ++col)
            n += inside(x - 0.5 + (col + 0.5) / kGrid, y - 0.5 + (row + 0.5) / kGrid);
        const double want = double(n) / (kGrid * kGrid), got = (v & 0xFF) / 255.0;
        worst = std::max(worst, std::abs(got - want));
        if (want == 0.0 && got > 0.2) ADD_FAILURE() << "stray pixel " << x << "," << y;
      }
    }
    // A pen wider than the circle bends the most.
    EXPECT_LE(worst, circle && y1 < 2 * width ? 0.25 : 0.16);
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
  // Colour c half over what pixel (x, y) held before.
  const auto half = [&](uint32_t c, int32_t x, int32_t y) {
    const uint32_t d = before[size_t(y) * kW + size_t(x)];
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8)
      out |= ((((c >> s) & 255) * 128 + ((d >> s) & 255) * 127 + 127) / 255) << s;
    return out;
  };
  for (int32_t x = 11; x < 30; ++x) {
    EXPECT_EQ(at(x, 10), 0x606060u) << x;
    EXPECT_EQ(at(x, 9), half(0x606060, x, 9)) << x;
    EXPECT_EQ(at(x, 20), half(0xFF0000, x, 20)) << x;
  }
  EXPECT_EQ(at(10, 10), half(0x606060, 10, 10));  // the flat end halves the pixel
  int changed = 0;
  for (size_t i = 0; i < px.size(); ++i) changed += px[i] != before[i];
  EXPECT_EQ(changed, 21 * 3 + 21);
}

TEST(InfoStrip, ParameterLinesFromCommandWords) {
  // pulse mode, CW length, gain dB, step, head up, sector heading, sector width
  const int32_t params[][7] = {{0, 100, 0, 1, 0, 0, 0},
                               {1, 100, 12, 16, 1, 1200, 1600},
                               {4, 100, -9, 4, 0, 400, 400},
                               {0, 300, 1, 2, 1, 400, 400}};
  const DeviceLine devices[] = {{7, false, 0, 0}, {4000000000u, true, 860000, 80000}, {}, {}};
  const char* lines[] = {
      "Pulse: CW, 100 \u00B5s|Step angle: 0.1125\u00B0|Gain: -0.0 dB|ID: 7 Head: Down|Sector "
      "mode: off",
      "Pulse: AFM, 512 \u00B5s|Step angle: 1.8\u00B0|Gain: +12.0 dB|ID: 4000000000 "
      "860000/80000Hz Head: Up|Sector mode: 135\u00B0/180\u00B0",
      // Mounted down, the sector list is mirrored.
      "Pulse: FM, 512 \u00B5s|Step angle: 0.45\u00B0|Gain: -9.0 dB|ID: 0 Head: Down|Sector "
      "mode: 315\u00B0/45\u00B0",
      "Pulse: CW, 300 \u00B5s|Step angle: 0.225\u00B0|Gain: +1.0 dB|ID: 0 Head: Up|Sector "
      "mode: 45\u00B0/45\u00B0"};
  for (int i = 0; i < 4; ++i) {
    const int32_t* v = params[i];
    SonarParams p;
    std::tie(p.pulseMode, p.cwLength, p.gainDb, p.step, p.headUp, p.sectorHeading, p.sectorWidth) =
        std::make_tuple(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    InfoStripTexts t;
    formatParameterLines(buildCommandWord(p), devices[i], t);
    EXPECT_EQ(t.pulse + "|" + t.step + "|" + t.gain + "|" + t.id + "|" + t.sector, lines[i]);
  }
  InfoStripTexts t;
  formatParameterLines(15u << 20, {}, t);  // no head sends it; it must not index past the list
  EXPECT_EQ(t.step, "Step angle: ?\u00B0");
}

// The cursor's bearing is clockwise from north: the direction on the screen (counter-clockwise
// from up) taken back, plus the heading when the picture is north up.
TEST(InfoStrip, GpsAndCursorLines) {
  const float nan = std::nanf("");
  const std::pair<GpsSnapshot, const char*> gpsLines[] = {
      {{0.6f, -0.6f, 1.5f, 1, 3},
       "GPS(3D):  34\u00B0 22.6481\u2032 N,  34\u00B0 22.6481\u2032 W, PDOP:  1.5 (Excellent)"},
      {{0.0f, 0.0f, 0.0f, 2, 2},
       "GPS(2D):   0\u00B0 00.0000\u2032 S,   0\u00B0 00.0000\u2032 W, PDOP:  0.0 (N/A)"},
      {{nan, 2.0f, nan, 1, 1}, "GPS(N/A): N/A S, 114\u00B0 35.4932\u2032 E, PDOP:  nan (Poor)"},
      {{0.6f, 0.6f, 1.0f, 0, 3}, "GPS: N/A"}};
  std::string line;
  for (const auto& [gps, want] : gpsLines) {
    formatGpsLine(gps, line);
    EXPECT_EQ(line, want);
  }
  // direction on the screen in turns, heading, bearing in degrees
  const float cases[][3] = {{0, 0, 0},      {0.25f, 0, 270},         {0.5f, 0, 180},
                            {0.75f, 0, 90}, {0, float(kPi / 2), 90}, {0.25f, float(kPi), 90}};
  for (const auto& [angleFraction, heading, bearing] : cases) {
    formatCursorLine({0.1f, 0.2f, 1.0f, 1, 3}, angleFraction, 20000.0f, heading, line);
    const GeoPoint p = DestinationPoint(0.1f, 0.2f, float(bearing * kPi / 180), 20000.0f);
    EXPECT_EQ(line, "Cursor: " + FormatCoordinate(p.lat) + " N, " + FormatCoordinate(p.lon) + " E")
        << angleFraction << " " << heading;
  }
  formatCursorLine({0.6f, 0.6f, 1.0f, 1, 3}, 0.25f, -1.0f, 1e30f, line);  // the centre stays put
  EXPECT_EQ(line, "Cursor:  34\u00B0 22.6481\u2032 N,  34\u00B0 22.6481\u2032 E");
}

TEST(NavHelpers, CoordinatesPdopAndDestinations) {
  std::string classes;
  for (float pdop :
       {0.0f, 0.99f, 1.0f, 1.99f, 2.0f, 4.99f, 5.0f, 9.99f, 10.0f, 19.99f, 20.0f, std::nanf("")})
    classes += std::string(pdopClassName(ClassifyPdop(pdop))) + ",";
  EXPECT_EQ(
      classes + pdopClassName(-1) + pdopClassName(7),
      "N/A,Ideal,Excellent,Excellent,Good,Good,Moderate,Moderate,Fair,Fair,Poor,Poor,PoorPoor");
  // The great circle computed independently in double precision: latitude, longitude, bearing,
  // metres.
  const double trips[][4] = {
      {0.5, -1.0, 1.0, 100000}, {1.2, 3.0, 0.3, 2000000}, {0.5, -1.0, 1.0, -500}};
  for (const auto& [lat, lon, bearing, metres] : trips) {
    const double d = std::max(metres, 0.0) / 6371000.0;
    const double lat2 =
        std::asin(std::sin(lat) * std::cos(d) + std::cos(lat) * std::sin(d) * std::cos(bearing));
    const double lon2 = lon + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat),
                                         std::cos(d) - std::sin(lat) * std::sin(lat2));
    const GeoPoint p = DestinationPoint(float(lat), float(lon), float(bearing), float(metres));
    EXPECT_NEAR(p.lat, lat2, 2e-6) << lat << " " << bearing;
    EXPECT_NEAR(p.lon, lon2, 2e-6) << lat << " " << bearing;
  }
  // The pole and the date line are still positions; beyond them, or not finite, none.
  EXPECT_FALSE(std::isnan(DestinationPoint(float(kPi / 2), float(kPi), 0.0f, 100.0f).lat));
  for (float bad : {std::nanf(""), INFINITY, 1.6f})
    EXPECT_TRUE(std::isnan(DestinationPoint(bad, 0, 0, 10).lat) &&
                std::isnan(DestinationPoint(0, bad * 2, 0, 10).lon))
        << bad;
}

// 259 UTF-16 units and the terminator fit a path; one more does not.
TEST(ScreenshotRules, OrderNamesAndPaths) {
  int32_t manual = 1, automatic = 1;  // the automatic one first; each is taken once
  for (const auto kind : {std::optional(ScreenshotKind::Automatic),
                          std::optional(ScreenshotKind::Manual), std::optional<ScreenshotKind>()})
    EXPECT_EQ(takeScreenshotRequest(manual, automatic), kind);
  const std::string name = screenshotFileName(ScreenshotKind::Manual, "20190902_143015");
  EXPECT_EQ(name + screenshotFileName(ScreenshotKind::Automatic, "20190902_143015"),
            "screenshot_rez720_20190902_143015.pngautoscreenshot_rez720_20190902_143015.png");
  const std::string folder(259 - 1 - name.size(), 'a');
  std::string korean;
  for (size_t i = 0; i < folder.size(); ++i) korean += "\uD55C";
  const std::tuple<std::string, bool, std::string> paths[] = {
      {"C:\\Data", true, "C:\\Data\\" + name}, {"C:\\", true, "C:\\" + name},
      {folder, true, folder + "\\" + name},    {folder + "a", false, ""},
      {korean, true, korean + "\\" + name},    {korean + "\uD55C", false, ""}};
  for (const auto& [in, fits, want] : paths) {
    std::string path = "x";
    EXPECT_EQ(screenshotPath(in, name, path), fits) << in;
    EXPECT_EQ(path, want);
  }
}

}  // namespace
}  // namespace sk720
