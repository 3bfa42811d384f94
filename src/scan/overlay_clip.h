#pragma once
// The visible part of long overlay shapes. When the picture is zoomed in, rings and spokes run
// far outside the window, and a rasteriser that walks a shape's whole extent spends its time
// there: drawing only what lies in (a margin around) the window keeps a frame's cost to what
// it shows.
#include <vector>

#include "scan/overlay_primitives.h"

namespace sk720 {

struct ClipBox {
  float left, top, right, bottom;
};

// Cuts the segment a-b to the box; false when none of it lies inside.
bool clipSegment(PointF& a, PointF& b, const ClipBox& box);

// Whether the ellipse's whole bounding box lies inside the box.
bool ellipseInside(float x, float y, float w, float h, const ClipBox& box);

// The ellipse in the box (x, y, w, h) as polylines through points at most about two pixels
// apart, only where they lie inside the clip box; each run is `runs[i]` of `points`, one point
// past each end kept so the stroke reaches the box's edge.
struct ArcRuns {
  std::vector<PointF> points;
  std::vector<size_t> starts;  // where each run begins in points; a run ends at the next start
};
void visibleEllipseRuns(float x, float y, float w, float h, const ClipBox& box, ArcRuns& out);

}  // namespace sk720
