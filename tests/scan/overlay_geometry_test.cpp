#include "scan/overlay_geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scan/overlay_frame.h"

namespace sk720 {
namespace {

std::vector<std::string> textsOf(const OverlayList& list) {
  std::vector<std::string> t;
  for (const OverlayPrimitive& p : list) {
    if (p.kind == PrimitiveKind::Text) t.push_back(p.text);
  }
  return t;
}

std::vector<float> ringWidths(const OverlayList& list) {
  std::vector<float> w;
  for (const OverlayPrimitive& p : list) {
    if (p.kind == PrimitiveKind::Ellipse) w.push_back(p.w);
  }
  return w;
}

TEST(RangeRings, RadiiLabelsAndTheStopRule) {
  const OverlayCentre c{500, 500};
  OverlayList out;
  // 1.5 m shown, head at 10 m, the image reaches 2 m: one ring beyond the
  // display range.
  EXPECT_EQ(addRangeRings(out, c, {1000, 0, 1.0f, 2.0f, 10000}, true), 600);
  EXPECT_EQ(textsOf(out),
            (std::vector<std::string>{" 0.3m", " 0.6m", " 0.9m", " 1.2m", " 1.5m", " 1.8m"}));
  EXPECT_EQ(ringWidths(out), (std::vector<float>{199, 399, 599, 799, 999, 1199}));
  EXPECT_FLOAT_EQ(out[0].x, 400.0f);  // box from (cx - r, cy - r)
  EXPECT_FLOAT_EQ(out[1].x, 500 + 100 - 34);
  EXPECT_FLOAT_EQ(out[1].y, 500 - 15);

  // 1.5 m with the head at exactly 1.5 m: the fifth ring still lies within the
  // head's range.
  out.clear();
  EXPECT_EQ(addRangeRings(out, c, {1000, 0, 1.0f, 9.0f, 1500}, true), 500);

  // 10 m fitted into a 800 x 600 client: rings every 60 px, labels with three
  // blanks.
  out.clear();
  EXPECT_EQ(addRangeRings(out, {400, 400}, {800, 6, 0.75f, 16.7f, 10000}, true), 300);
  EXPECT_EQ(textsOf(out), (std::vector<std::string>{"   2m", "   4m", "   6m", "   8m", "  10m"}));

  // 5 m has no tenth in its label; 7.5 m has.
  std::string label;
  ringLabel(3, 1.0f, label);
  EXPECT_EQ(label, "   1m");
  ringLabel(5, 1.5f, label);
  EXPECT_EQ(label, " 1.5m");

  // Display range above the head's: the rings stop at the head's range.
  out.clear();
  EXPECT_EQ(addRangeRings(out, c, {1000, 9, 1.0f, 50.0f, 10000}, true), 100);
  EXPECT_EQ(textsOf(out), std::vector<std::string>{"   6m"});

  // No ring fits, or the grid is off: nothing drawn, the radius still known.
  out.clear();
  EXPECT_EQ(addRangeRings(out, c, {1000, 6, 1.0f, 50.0f, 1000}, true), 0);
  EXPECT_EQ(addRangeRings(out, c, {1000, 6, 1.0f, 50.0f, 10000}, false), 500);
  EXPECT_EQ(addRangeRings(out, c, {1000, 6, 1.0f, std::nanf(""), 10000}, true), 0);
  EXPECT_TRUE(out.empty());
}

TEST(CompassMarks, PositionsAcrossZeroAndForHugeOffsets) {
  EXPECT_EQ(compassBaseStep(0, 10), 3200 - 88);
  EXPECT_EQ(compassBaseStep(0, -10), 88);
  EXPECT_EQ(compassBaseStep(3300, 0), 100);
  EXPECT_EQ(compassBaseStep(-5, 0), 3195);
  EXPECT_EQ(compassBaseStep(-6405, 0), 3195);
  EXPECT_EQ(compassBaseStep(100, 370), compassBaseStep(100, 10));
  // Whole turns of any size change nothing and cannot overflow.
  for (int32_t z : {INT32_MAX, INT32_MIN, INT32_MAX - 7, -1000000007}) {
    EXPECT_EQ(compassBaseStep(1234, z), compassBaseStep(1234, z % 360)) << z;
    EXPECT_EQ(compassBaseStep(INT32_MIN, z), compassBaseStep(INT32_MIN % 3200, z % 360)) << z;
  }
  EXPECT_EQ(headingSteps(std::acos(-1.0f) / 2), 800);
  EXPECT_EQ(headingSteps(std::nanf("")), 0);
  EXPECT_EQ(headingSteps(INFINITY), 0);

  // Outer radius 300: mark size 10.2, ticks inward from the rim, labels 20.4 px
  // inside.
  EXPECT_NEAR(compassMarkSize(300), 10.2, 0.01);
  OverlayList out;
  const OverlayCentre c{400, 400};
  addCompassMarks(out, c, 300, 0, 0);
  ASSERT_EQ(out.size(), 16u);
  const OverlayPrimitive& north = out[0];
  EXPECT_NEAR(north.points[0].x, 400, 1e-3);
  EXPECT_NEAR(north.points[0].y, 100, 1e-3);
  EXPECT_NEAR(north.points[1].y, 110.2, 0.01);
  EXPECT_FLOAT_EQ(north.penWidth, 4.0f);
  const OverlayPrimitive& n = out[1];
  EXPECT_EQ(n.text, "N");
  EXPECT_NEAR(n.w, 14.43, 0.01);
  EXPECT_NEAR(n.x + n.w / 2, 400, 1e-3);
  EXPECT_NEAR(n.y + n.h / 2, 120.4, 0.01);
  EXPECT_NEAR(n.fontPx, 10 / 0.9, 1e-4);
  EXPECT_TRUE(n.bold && n.centred);
  EXPECT_EQ(out[3].text, "W");
  EXPECT_NEAR(out[2].points[0].x, 100, 1e-3);  // step 800 lies to the left
  EXPECT_EQ(out[9].text, "315");
  EXPECT_NEAR(out[9].w, 43.3, 0.05);
  EXPECT_FLOAT_EQ(out[8].penWidth, 2.0f);

  // Offset 10 degrees: the marks move by -88 steps. A radius too small for a
  // label: ticks only.
  out.clear();
  addCompassMarks(out, c, 300, 0, 10);
  const PointF p = polarPoint(c, 3112, 300);
  EXPECT_NEAR(out[0].points[0].x, p.x, 1e-3);
  out.clear();
  addCompassMarks(out, c, 0, 0, 0);
  EXPECT_EQ(out.size(), 8u);
}

// The dial is a compass card turned so that the heading is up: a mark at bearing b sits at
// b - heading clockwise from the top, and the dark red needle tip points at north.
TEST(HeadingDial, CardTurnsAgainstTheHeading) {
  EXPECT_EQ(dialHeading(INT32_MIN, INT32_MAX),
            int32_t(((int64_t(INT32_MIN) - INT32_MAX) % 360 + 360) % 360));
  const struct {
    int32_t heading, zeroOffset, shown;
  } cases[] = {{0, 0, 0}, {30, 0, 30}, {90, 0, 90}, {200, 20, 180}, {0, 10, 350}, {5, -725, 10}};
  const double kDeg = std::acos(-1.0) / 180.0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.heading);
    EXPECT_EQ(dialHeading(c.heading, c.zeroOffset), c.shown);
    OverlayList out;
    addHeadingDial(out, 100, 100, c.heading, c.zeroOffset);
    const auto at = [&](double bearing, double radius) {
      const double t = (bearing - c.shown) * kDeg;
      return std::pair<double, double>(50 + radius * std::sin(t), 50 - radius * std::cos(t));
    };
    const OverlayPrimitive* red = nullptr;
    std::vector<std::string> labels;
    for (const OverlayPrimitive& p : out) {
      if (p.kind == PrimitiveKind::Polygon && p.argb == kDialRedArgb) red = &p;
      if (p.kind != PrimitiveKind::Text) continue;
      labels.push_back(p.text);
      const size_t k = std::string("NESW").find(p.text);
      const int degrees = std::atoi(p.text.c_str());
      if (p.text.size() == 1 && k != std::string::npos) {
        EXPECT_NEAR(p.x, at(90.0 * k, 38).first - 5, 1e-3) << p.text;
        EXPECT_NEAR(p.y, at(90.0 * k, 38).second - 7, 1e-3) << p.text;
      } else if (degrees % 90 == 45) {
        EXPECT_NEAR(p.x, at(degrees, 38).first - 10, 1e-3) << p.text;
        EXPECT_NEAR(p.y, at(degrees, 38).second - 7, 1e-3) << p.text;
      }
    }
    char centre[16];
    std::snprintf(centre, sizeof centre, "%03d\u00B0", c.shown);
    EXPECT_EQ(labels,
              (std::vector<std::string>{" 45", "135", "225", "315", "N", "E", "S", "W", centre}));
    ASSERT_NE(red, nullptr);
    EXPECT_NEAR(red->points[0].x, at(0, 32).first, 1e-3);
    EXPECT_NEAR(red->points[0].y, at(0, 32).second, 1e-3);
  }
  OverlayList out;
  addHeadingDial(out, 100, 100, 90, 0);
  size_t ticks = 0;
  for (const OverlayPrimitive& t : out) ticks += t.kind == PrimitiveKind::Line;
  EXPECT_EQ(ticks, 36u + 4u);
}

TEST(OverlayFrame, RulerPointerCursorAndReuse) {
  OverlayInput in;
  in.imageSize = 800;
  in.displayRangeIndex = 6;
  in.pixelsPerMetre = 40.0f;
  in.imageMaxRange = 14.2f;
  in.currentRangeMm = 10000;
  in.clientWidth = 800;
  in.clientHeight = 600;
  in.currentLineIndex = 2400;  // to the right
  in.grid = 0;
  in.rulerMode = in.rulerState = 1;
  in.rulerX1 = 100, in.rulerY1 = 100, in.rulerX2 = 100, in.rulerY2 = 500;
  in.gps.sig = 1;
  in.gps.lat = 0.6f;
  in.cursorInside = 0;

  OverlayState state;
  const OverlayFrame& f = buildOverlayFrame(state, in, 1000);
  EXPECT_EQ(f.outerRadius, 400);
  ASSERT_EQ(f.canvas.size(),
            1u + 2u + 1u + 1u);  // pointer, squares, line, label
  EXPECT_NEAR(f.canvas[0].points[1].x, 800, 1e-3);
  EXPECT_NEAR(f.canvas[0].points[1].y, 400, 1e-3);
  EXPECT_FLOAT_EQ(f.canvas[1].points[0].y,
                  196.0f);  // the landscape crop moves rows down
  EXPECT_EQ(f.canvas[4].text, "10.00m");
  EXPECT_FLOAT_EQ(f.canvas[4].x, 104.0f);
  EXPECT_FLOAT_EQ(f.canvas[4].y, 382.0f);
  EXPECT_TRUE(f.distanceStatus.empty());  // the first report waits its period
  EXPECT_FALSE(f.dialVisible);
  // A cursor outside the image has no line; the GPS line is there.
  EXPECT_EQ(textsOf(f.strip).size(), 6u);

  buildOverlayFrame(state, in, 3001);
  EXPECT_FALSE(f.rebuilt);
  EXPECT_EQ(f.distanceStatus, "Distance: 10.00m");
  buildOverlayFrame(state, in, 3500);
  EXPECT_TRUE(f.distanceStatus.empty());

  const size_t capacity = f.canvas.capacity();
  in.cursorInside = 1;
  in.cursorRangeMetres = 0.0f;
  in.zeroOffset = 90;
  in.compassFieldsPresent = in.compassValid = in.compassEnabled = 1;
  buildOverlayFrame(state, in, 3600);
  EXPECT_TRUE(f.rebuilt);
  EXPECT_EQ(f.canvas.capacity(), capacity);
  EXPECT_NEAR(f.canvas[0].points[1].x, 400,
              1e-3);  // offset 90: the pointer turns with it
  EXPECT_NEAR(f.canvas[0].points[1].y, 800, 1e-3);
  EXPECT_TRUE(f.dialVisible);
  EXPECT_EQ(f.dialX, 700);
  const std::vector<std::string> strip = textsOf(f.strip);
  ASSERT_EQ(strip.size(), 7u);
  EXPECT_EQ(strip[6].rfind("Cursor:  34\u00B0 22.6481\u2032 N", 0), 0u) << strip[6];

  // The screenshot keeps the cursor text once the fix is lost; "Show info" off:
  // no strip.
  in.gps.sig = 0;
  buildOverlayFrame(state, in, 3700);
  OverlayList shot;
  buildScreenshotStrip(state, in, shot);
  EXPECT_EQ(textsOf(shot).back(), strip[6]);
  EXPECT_EQ(textsOf(f.strip).size(), 6u);
  in.showInfo = 0;
  buildOverlayFrame(state, in, 3800);
  buildScreenshotStrip(state, in, shot);
  EXPECT_TRUE(shot.empty());
  EXPECT_TRUE(f.strip.empty());

  in.displayEnabled = 0;
  buildOverlayFrame(state, in, 9000);
  EXPECT_TRUE(f.canvas.empty());
  EXPECT_TRUE(f.distanceStatus.empty());
}

}  // namespace
}  // namespace sk720
