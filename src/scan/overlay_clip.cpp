#include "scan/overlay_clip.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sk720 {

bool clipSegment(PointF& a, PointF& b, const ClipBox& box) {
  // Liang-Barsky: the segment as a + t (b - a), t in [0, 1], narrowed by each edge.
  const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
  double t0 = 0.0, t1 = 1.0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {double(a.x) - box.left, double(box.right) - a.x, double(a.y) - box.top,
                       double(box.bottom) - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;  // parallel to the edge and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const PointF from = a;
  a = {float(from.x + t0 * dx), float(from.y + t0 * dy)};
  b = {float(from.x + t1 * dx), float(from.y + t1 * dy)};
  return true;
}

bool ellipseInside(float x, float y, float w, float h, const ClipBox& box) {
  return x >= box.left && y >= box.top && x + w <= box.right && y + h <= box.bottom;
}

void visibleEllipseRuns(float x, float y, float w, float h, const ClipBox& box, ArcRuns& out) {
  out.points.clear();
  out.starts.clear();
  const double rx = w / 2.0, ry = h / 2.0;
  const double cx = x + rx, cy = y + ry;
  const double r = std::max(rx, ry);
  if (r <= 0.0) return;
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  // The angles to walk: all round when the centre is in the box; else only the angle the box
  // subtends seen from the centre (under half a turn), which for a ring far larger than the
  // window is a small part of it.
  double from = 0.0, span = kTwoPi;
  const bool centreInside = cx >= box.left && cx <= box.right && cy >= box.top && cy <= box.bottom;
  if (!centreInside) {
    const double mid =
        std::atan2((box.top + box.bottom) / 2.0 - cy, (box.left + box.right) / 2.0 - cx);
    double lo = 0.0, hi = 0.0;
    const double xs[2] = {box.left, box.right}, ys[2] = {box.top, box.bottom};
    for (double bx : xs) {
      for (double by : ys) {
        double a = std::atan2(by - cy, bx - cx) - mid;
        a = std::remainder(a, kTwoPi);
        lo = std::min(lo, a);
        hi = std::max(hi, a);
      }
    }
    from = mid + lo;
    span = hi - lo;
  }
  const double step = std::min(kTwoPi / 64.0, 2.0 / r);
  const auto steps = size_t(std::ceil(span / step)) + 2;  // and one past each end
  auto at = [&](size_t i) {
    const double t = from + (double(i) - 1.0) * (span / double(steps - 2));
    return PointF{float(cx + rx * std::cos(t)), float(cy + ry * std::sin(t))};
  };
  auto inside = [&](const PointF& p) {
    return p.x >= box.left && p.x <= box.right && p.y >= box.top && p.y <= box.bottom;
  };
  bool open = false;
  PointF previous = at(0);
  for (size_t i = 1; i <= steps; ++i) {
    const PointF p = at(i);
    if (inside(p)) {
      if (!open) {
        out.starts.push_back(out.points.size());
        out.points.push_back(previous);  // the point before: the stroke meets the edge
        open = true;
      }
      out.points.push_back(p);
    } else if (open) {
      out.points.push_back(p);
      open = false;
    }
    previous = p;
  }
}

}  // namespace sk720
