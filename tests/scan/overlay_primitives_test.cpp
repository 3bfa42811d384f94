#include "scan/overlay_primitives.h"

#include <gtest/gtest.h>

#include <functional>

namespace sk720 {
namespace {

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
