// The overlay's rings, marks, dial and frame; how kept drawings are matched, and how shapes are
// clipped to the window.
#include "scan/overlay_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "scan/overlay_clip.h"
#include "scan/overlay_frame.h"
#include "scan/overlay_primitives.h"
#include "scan/scan_image.h"
#include "views/scan_interaction.h"

namespace sk720 {
namespace {

const double kPi = std::acos(-1.0);
using V = std::vector<int64_t>;

std::vector<std::string> textsOf(const OverlayList& list) {
  std::vector<std::string> t;
  for (const OverlayPrimitive& p : list)
    if (p.kind == PrimitiveKind::Text) t.push_back(p.text);
  return t;
}
// The texts, each followed by '|'.
std::string joined(const OverlayList& list) {
  std::string t;
  for (const std::string& s : textsOf(list)) t += s + "|";
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
  // The pointer shows the newest line, turned back by the zero offset.
  for (const auto& [line, zero, step] :
       {std::array{2400, 0, 2400}, {100, 0, 100}, {0, 90, 2400}, {0, 450, 2400}}) {
    out.clear();
    addPointer(out, {400, 300}, 200, line, zero);
    expectAtStep(out[0].points[0], 400, 300, 0, 0);
    expectAtStep(out[0].points[1], 400, 300, step, 200);
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
  EXPECT_NEAR(compassMarkSize(300), 10.2, 0.01);
  for (const int32_t zero : {0, 10}) {
    out.clear();
    addCompassMarks(out, {400, 400}, 300, 160, zero);
    ASSERT_EQ(out.size(), 16u);
    const char* labels[] = {"N", "W", "S", "E", "315", "225", "135", "45"};
    for (int i = 0; i < 8; ++i) {
      const OverlayPrimitive& tick = out[size_t(i) * 2];
      const OverlayPrimitive& label = out[size_t(i) * 2 + 1];
      const double step = compassBaseStep(160, zero) + 800 * (i % 4) + (i >= 4 ? 400 : 0);
      expectAtStep(tick.points[0], 400, 400, step, 300);
      expectAtStep(tick.points[1], 400, 400, step, 300 - compassMarkSize(300));
      expectAtStep({label.x + label.w / 2, label.y + label.h / 2}, 400, 400, step,
                   300 - 2 * compassMarkSize(300));
      EXPECT_FLOAT_EQ(tick.penWidth, i < 4 ? 4.0f : 2.0f);
      EXPECT_EQ(label.text, labels[i]);
      EXPECT_NEAR(label.w, (i < 4 ? 14.43 : 43.3), 0.05);
      EXPECT_NEAR(label.fontPx, 10 / 0.9, 1e-4);
      EXPECT_TRUE(label.bold && label.centred);
    }
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
  const double kDeg = kPi / 180.0;
  for (const auto& [heading, zeroOffset, shown, height] : cases) {
    SCOPED_TRACE(heading);
    EXPECT_EQ(dialHeading(heading, zeroOffset), shown);
    OverlayList out;
    addHeadingDial(out, 100, height, heading, zeroOffset);
    const auto near = [up = shown, kDeg](PointF p, double bearing, double r, double dx, double dy) {
      const double t = (bearing - up) * kDeg;
      return gap(p, {float(50 + r * std::sin(t) + dx), float(50 - r * std::cos(t) + dy)}) < 1e-3;
    };
    std::string labels;
    int32_t ticks = 0, needles = 0;
    const int32_t tickStep = height > 100 ? 5 : 10;
    for (const OverlayPrimitive& p : out) {
      if (p.kind == PrimitiveKind::Polygon) {
        const bool red = p.argb == kDialRedArgb;
        EXPECT_TRUE(near(p.points[0], red ? 0 : 180, 32, 0, 0)) << red;
        EXPECT_NEAR(gap(p.points[1], p.points[0]), gap(p.points[2], p.points[0]), 1e-3)
            << "a needle symmetric about its axis";
        ++needles;
      }
      if (p.kind == PrimitiveKind::Line) {
        const int32_t bearing =
            ticks * tickStep >= 360 ? (ticks - 360 / tickStep) * 90 : ticks * tickStep;
        EXPECT_TRUE(near(p.points[0], bearing, 45, 0, 0) && near(p.points[1], bearing, 50, 0, 0))
            << "tick " << ticks;
        ++ticks;
      }
      if (p.kind != PrimitiveKind::Text) continue;
      labels += p.text + "|";
      EXPECT_TRUE(p.bold) << p.text;
      const size_t k = std::string("NESW").find(p.text);
      if (p.text.size() == 1 && k != std::string::npos) {
        EXPECT_TRUE(near({p.x, p.y}, 90.0 * k, 38, -5, -7)) << p.text;
      } else if (p.text.size() == 3) {
        EXPECT_TRUE(near({p.x, p.y}, std::atoi(p.text.c_str()), 38, -10, -7)) << p.text;
      } else {
        EXPECT_EQ(std::vector<float>({p.x, p.y, p.fontPx}), std::vector<float>({37, 41, 12}));
      }
    }
    char centre[16];
    std::snprintf(centre, sizeof centre, "%03d\u00B0|", shown);
    EXPECT_EQ(labels, std::string(" 45|135|225|315|N|E|S|W|") + centre);
    EXPECT_EQ(V({ticks, needles}), V({360 / tickStep + 4, 2}));
  }
}

// A cursor on any pixel of the image has a position, the first row and column and the last
// included; one pixel beyond any edge has none. The landscape client crops rows off the top.
TEST(OverlayFrame, TheCursorIsInsideOnEveryPixelOfTheImageOnly) {
  auto image = std::make_unique<ScanImage>();
  image->imageSize = 800;
  const auto store = std::make_unique<LineStore>();
  const ScanInputs shared;
  const GpsFix gps;
  // cursor x, y in the 800 x 600 client (its row 0 is the image's row 100); inside
  const int32_t cases[][3] = {{0, -100, 1}, {799, 699, 1}, {0, -101, 0},
                              {-1, 0, 0},   {800, 0, 0},   {0, 700, 0}};
  for (const auto& c : cases) {
    ScanInteraction ui{.cursorX = c[0], .cursorY = c[1]};
    OverlayInput in;
    fillOverlayInput(in, *image, ui, ViewSettings{}, shared, *store, gps, 800, 600);
    EXPECT_EQ(in.cursorInside, c[2]) << c[0] << "," << c[1];
  }
}

TEST(OverlayFrame, RulerPointerCursorAndReuse) {
  OverlayInput in;
  in.imageSize = in.clientWidth = 800, in.clientHeight = 600, in.currentRangeMm = 10000;
  in.pixelsPerMetre = 40.0f, in.imageMaxRange = 14.2f, in.grid = 0,
  in.gps = {.lat = 0.6f, .sig = 1};
  in.currentLineIndex = 2400;  // to the right
  in.rulerMode = in.rulerState = 1;
  in.rulerX1 = 100, in.rulerY1 = 100, in.rulerX2 = 100, in.rulerY2 = 500;
  OverlayState state;
  const OverlayFrame& f = buildOverlayFrame(state, in, 1000);
  ASSERT_EQ(f.canvas.size(), 1u + 2u + 1u + 1u);  // pointer, squares, line, label
  expectAtStep(f.canvas[0].points[1], 400, 400, 2400, 400);
  // The landscape crop moves rows down; the first distance report waits its period; no cursor
  // line outside the image, but the GPS line.
  EXPECT_EQ(V({f.outerRadius, int64_t(f.canvas[1].points[0].y), int64_t(f.canvas[4].x),
               int64_t(f.canvas[4].y), int64_t(f.distanceStatus.size()), f.dialVisible,
               int64_t(textsOf(f.strip).size())}),
            V({400, 196, 104, 382, 0, 0, 6}));
  EXPECT_EQ(f.canvas[4].text, "10.00m");

  buildOverlayFrame(state, in, 3001);
  EXPECT_EQ(f.distanceStatus + (f.rebuilt ? " rebuilt" : ""), "Distance: 10.00m");
  buildOverlayFrame(state, in, 3500);
  EXPECT_TRUE(f.distanceStatus.empty());

  const size_t capacity = f.canvas.capacity();
  in.cursorInside = 1;
  in.zeroOffset = 90;
  in.compassFieldsPresent = in.compassValid = in.compassEnabled = 1;
  buildOverlayFrame(state, in, 3600);
  EXPECT_EQ(V({f.rebuilt, int64_t(f.canvas.capacity()), f.dialVisible, f.dialX}),
            V({1, int64_t(capacity), 1, 800 - f.dialWidth}));
  expectAtStep(f.canvas[0].points[1], 400, 400, 1600, 400);  // the pointer turns with the offset
  const std::vector<std::string> strip = textsOf(f.strip);
  ASSERT_EQ(strip.size(), 7u);
  EXPECT_EQ(strip[6].rfind("Cursor:  34\u00B0 22.6481\u2032 N", 0), 0u) << strip[6];

  // The screenshot keeps the cursor text once the fix is lost; "Show info" off: no strip.
  in.gps.sig = 0;
  buildOverlayFrame(state, in, 3700);
  OverlayList shot;
  buildScreenshotStrip(state, in, shot);
  EXPECT_EQ(textsOf(shot).back(), strip[6]);
  EXPECT_EQ(textsOf(f.strip).size(), 6u);
  in.showInfo = 0;
  buildOverlayFrame(state, in, 3800);
  buildScreenshotStrip(state, in, shot);
  EXPECT_EQ(shot.size() + f.strip.size(), 0u);
  in.displayEnabled = 0;
  buildOverlayFrame(state, in, 9000);
  EXPECT_EQ(f.canvas.size() + f.distanceStatus.size(), 0u);
}

constexpr ClipBox kBox{0.0f, 0.0f, 1000.0f, 200.0f};

TEST(OverlayClip, SegmentsAreCutAtTheBoxEdges) {
  // from, to; visible, clipped from and to
  const std::tuple<PointF, PointF, bool, PointF, PointF> rows[] = {
      {{-500, 100}, {1500, 100}, true, {0, 100}, {1000, 100}},  // across, both ends out
      {{10, 10}, {20, 30}, true, {10, 10}, {20, 30}},           // wholly inside: unchanged
      {{500, -100}, {500, 300}, true, {500, 0}, {500, 200}},    // vertical
      {{-100, -100}, {300, 300}, true, {0, 0}, {200, 200}},     // through a corner
      {{1100, 100}, {2000, 150}, false, {}, {}},                // beside the box
      {{-10, 250}, {1200, 260}, false, {}, {}},                 // below it
      {{-200, 100}, {0, 300}, false, {}, {}},                   // misses the corner
  };
  // The same rows in a box away from the origin, everything moved alike.
  for (const PointF shift : {PointF{0, 0}, PointF{-70, 30}}) {
    const auto moved = [&](PointF p) { return PointF{p.x + shift.x, p.y + shift.y}; };
    const ClipBox box{kBox.left + shift.x, kBox.top + shift.y, kBox.right + shift.x,
                      kBox.bottom + shift.y};
    for (const auto& [from, to, visible, ca, cb] : rows) {
      SCOPED_TRACE(testing::Message() << from.x << "," << from.y << " " << to.x << "," << to.y
                                      << " moved " << shift.x);
      PointF a = moved(from), b = moved(to);
      ASSERT_EQ(clipSegment(a, b, box), visible);
      EXPECT_TRUE(!visible || gap(a, moved(ca)) + gap(b, moved(cb)) < 1e-3)
          << a.x << "," << a.y << " " << b.x << "," << b.y;
    }
  }
}

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
    const double t = 2.0 * 3.141592653589793 * i / n;
    const PointF p{float(cx + r * std::cos(t)), float(cy + r * std::sin(t))};
    if (!inside(p)) continue;
    bool near = false;
    for (const PointF& q : runs.points) near = near || gap(p, q) <= 2.1;
    ASSERT_TRUE(near) << "uncovered at " << p.x << "," << p.y;
  }
}

TEST(OverlayClip, RingsKeepOnlyTheirPartInTheBox) {
  checkRuns(500, -900, 1000, kBox);     // a wide arc across the top
  checkRuns(500, 100, 300, kBox);       // centre inside: two arcs, top and bottom cut
  checkRuns(-40000, 100, 40500, kBox);  // a huge ring: only the angle the box subtends
  ArcRuns none;
  visibleEllipseRuns(5000, 5000, 100, 100, kBox, none);  // far from the box
  EXPECT_TRUE(none.starts.empty());
  EXPECT_TRUE(ellipseInside(10, 10, 100, 100, kBox));
  EXPECT_FALSE(ellipseInside(10, 10, 100, 300, kBox));
}

// Kept drawings (the window's layer, the compass label sprites) are found again by comparing
// primitives: a difference in any drawn field must make them differ, or a moved or recoloured
// shape is shown from the old drawing.
TEST(OverlayPrimitive, AnyDrawnFieldMakesTwoDiffer) {
  using P = OverlayPrimitive;
  const std::array<float P::*, 6> floats = {&P::penWidth, &P::x, &P::y, &P::w, &P::h, &P::fontPx};
  P base;
  base.kind = PrimitiveKind::Polygon;
  base.pointCount = 3;
  base.text = "10m";
  for (int i = 0; i < 6; ++i) base.*floats[size_t(i)] = float(i) + 6.5f;
  for (int i = 0; i < 3; ++i) base.points[i] = {float(2 * i + 1), float(2 * i + 2)};
  std::vector<std::function<void(P&)>> changes = {[](P& p) { p.kind = PrimitiveKind::Line; },
                                                  [](P& p) { p.argb ^= 1; },
                                                  [](P& p) { p.pointCount = 2; },
                                                  [](P& p) { p.points[0].x += 1; },
                                                  [](P& p) { p.points[2].y += 1; },
                                                  [](P& p) { p.bold = true; },
                                                  [](P& p) { p.centred = true; },
                                                  [](P& p) { p.text = "12m"; }};
  for (float P::*f : floats) changes.push_back([f](P& p) { p.*f += 1; });
  OverlayPrimitive same = base;
  same.points[3] = {99, 99};  // beyond pointCount: not drawn
  EXPECT_TRUE(base == same);
  for (size_t i = 0; i < std::size(changes); ++i) {
    OverlayPrimitive other = base;
    changes[i](other);
    EXPECT_FALSE(base == other) << "change " << i;
    EXPECT_FALSE(other == base) << "change " << i;
  }
}

}  // namespace
}  // namespace sk720
