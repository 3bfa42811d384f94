// Overlay primitives: how kept drawings are matched, and how shapes are clipped to the window.
#include "scan/overlay_clip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "scan/overlay_primitives.h"

namespace sk720 {
namespace {

constexpr ClipBox kBox{0.0f, 0.0f, 1000.0f, 200.0f};

TEST(OverlayClip, SegmentsAreCutAtTheBoxEdges) {
  struct Row {
    PointF a, b;
    bool visible;
    PointF ca, cb;
  };
  const Row rows[] = {
      {{-500, 100}, {1500, 100}, true, {0, 100}, {1000, 100}},  // across, both ends out
      {{10, 10}, {20, 30}, true, {10, 10}, {20, 30}},           // wholly inside: unchanged
      {{500, -100}, {500, 300}, true, {500, 0}, {500, 200}},    // vertical
      {{-100, -100}, {300, 300}, true, {0, 0}, {200, 200}},     // through a corner
      {{1100, 100}, {2000, 150}, false, {}, {}},                // beside the box
      {{-10, 250}, {1200, 260}, false, {}, {}},                 // below it
      {{-200, 100}, {0, 300}, false, {}, {}},                   // misses the corner
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.a.x << "," << r.a.y << " " << r.b.x << "," << r.b.y);
    PointF a = r.a, b = r.b;
    ASSERT_EQ(clipSegment(a, b, kBox), r.visible);
    if (!r.visible) continue;
    EXPECT_NEAR(a.x, r.ca.x, 1e-3);
    EXPECT_NEAR(a.y, r.ca.y, 1e-3);
    EXPECT_NEAR(b.x, r.cb.x, 1e-3);
    EXPECT_NEAR(b.y, r.cb.y, 1e-3);
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
      EXPECT_NEAR(std::hypot(p.x - cx, p.y - cy), r, 0.05 + r * 1e-6);
      if (i > begin && i + 1 < end) EXPECT_TRUE(inside(p)) << i;
      if (i > begin) {
        const PointF& q = runs.points[i - 1];
        EXPECT_LE(std::hypot(p.x - q.x, p.y - q.y), 2.05f);
      }
    }
  }
  // A dense walk of the whole ring: any point inside the box lies near a run's segment point.
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    const double t = 2.0 * 3.141592653589793 * i / n;
    const PointF p{float(cx + r * std::cos(t)), float(cy + r * std::sin(t))};
    if (!inside(p)) continue;
    bool near = false;
    for (const PointF& q : runs.points) near = near || std::hypot(p.x - q.x, p.y - q.y) <= 2.1;
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
  OverlayPrimitive base;
  base.kind = PrimitiveKind::Polygon;
  base.pointCount = 3;
  base.points[0] = {1, 2};
  base.points[1] = {3, 4};
  base.points[2] = {5, 6};
  base.x = 7;
  base.y = 8;
  base.w = 9;
  base.h = 10;
  base.fontPx = 11;
  base.penWidth = 1.5f;
  base.text = "10m";
  const std::function<void(OverlayPrimitive&)> changes[] = {
      [](OverlayPrimitive& p) { p.kind = PrimitiveKind::Line; },
      [](OverlayPrimitive& p) { p.argb ^= 1; },
      [](OverlayPrimitive& p) { p.penWidth += 1; },
      [](OverlayPrimitive& p) { p.pointCount = 2; },
      [](OverlayPrimitive& p) { p.points[0].x += 1; },
      [](OverlayPrimitive& p) { p.points[2].y += 1; },
      [](OverlayPrimitive& p) { p.x += 1; },
      [](OverlayPrimitive& p) { p.y += 1; },
      [](OverlayPrimitive& p) { p.w += 1; },
      [](OverlayPrimitive& p) { p.h += 1; },
      [](OverlayPrimitive& p) { p.fontPx += 1; },
      [](OverlayPrimitive& p) { p.bold = true; },
      [](OverlayPrimitive& p) { p.centred = true; },
      [](OverlayPrimitive& p) { p.text = "12m"; },
  };
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
