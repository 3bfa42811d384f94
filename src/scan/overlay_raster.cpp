#include "scan/overlay_raster.h"

#include <algorithm>
#include <cmath>

namespace sk720 {

namespace {

// How much of [c - 0.5, c + 0.5] lies in [lo, hi].
double overlap(double c, double lo, double hi) {
  return std::clamp(std::min(c + 0.5, hi) - std::max(c - 0.5, lo), 0.0, 1.0);
}

void blend(uint32_t& d, uint32_t rgb, uint32_t alpha, double cover) {
  const uint32_t k = uint32_t(cover * alpha + 0.5);
  if (k == 0) return;
  const uint32_t keep = 255 - k;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = ((rgb >> shift) & 0xFF) * k + ((d >> shift) & 0xFF) * keep;
    out |= ((c + 127) / 255) << shift;
  }
  d = out;
}

// Calls visit(x, y) for every pixel of row y within [x0, x1], cut to the frame.
template <class Visit>
void span(const FrameView& f, int32_t y, double x0, double x1, Visit&& visit) {
  if (!(x0 <= x1)) return;
  const double lo = std::max(std::ceil(x0), 0.0), hi = std::min(std::floor(x1), double(f.w - 1));
  for (int32_t x = int32_t(lo); x <= int32_t(hi) && lo <= hi; ++x) visit(x, y);
}

// The frame's rows that [y0, y1] reaches.
bool rows(const FrameView& f, double y0, double y1, int32_t& first, int32_t& last) {
  const double a = std::max(std::ceil(y0), 0.0), b = std::min(std::floor(y1), double(f.h - 1));
  if (!(a <= b)) return false;
  first = int32_t(a);
  last = int32_t(b);
  return true;
}

void drawLine(const FrameView& f, const OverlayPrimitive& p, double dx, double dy, double half) {
  const double x0 = p.points[0].x + dx, y0 = p.points[0].y + dy;
  const double vx = p.points[1].x + dx - x0, vy = p.points[1].y + dy - y0;
  const double length = std::hypot(vx, vy);
  if (!(length > 1e-9)) return;
  const double ux = vx / length, uy = vy / length;  // along; across is (-uy, ux)
  const double reach = half + 1.0;                  // a pixel touched lies within this of it
  int32_t first = 0, last = 0;
  if (!rows(f, std::min(y0, y0 + vy) - reach, std::max(y0, y0 + vy) + reach, first, last)) return;
  const uint32_t rgb = p.argb & 0xFFFFFF, alpha = p.argb >> 24;
  for (int32_t y = first; y <= last; ++y) {
    const double ry = y - y0;
    double lo = -1e300, hi = 1e300;
    // across = (x - x0) * -uy + ry * ux within [-reach, reach]
    if (std::abs(uy) > 1e-12) {
      const double a = x0 + (ry * ux - reach) / uy, b = x0 + (ry * ux + reach) / uy;
      lo = std::max(lo, std::min(a, b));
      hi = std::min(hi, std::max(a, b));
    } else if (std::abs(ry * ux) > reach) {
      continue;
    }
    // along = (x - x0) * ux + ry * uy within [-1, length + 1]
    if (std::abs(ux) > 1e-12) {
      const double a = x0 + (-1.0 - ry * uy) / ux, b = x0 + (length + 1.0 - ry * uy) / ux;
      lo = std::max(lo, std::min(a, b));
      hi = std::min(hi, std::max(a, b));
    } else if (ry * uy < -1.0 || ry * uy > length + 1.0) {
      continue;
    }
    span(f, y, lo, hi, [&](int32_t x, int32_t yy) {
      const double rx = x - x0;
      const double along = rx * ux + ry * uy, across = -rx * uy + ry * ux;
      const double cover = overlap(across, -half, half) * overlap(along, 0.0, length);
      if (cover > 0.0)
        blend(f.pixels[size_t(yy) * size_t(f.stride) + size_t(x)], rgb, alpha, cover);
    });
  }
}

void drawCircle(const FrameView& f, const OverlayPrimitive& p, double dx, double dy, double half) {
  const double r = p.w / 2.0;
  if (!(r > 0.0)) return;
  const double cx = p.x + dx + r, cy = p.y + dy + r;
  const double reach = half + 1.0;
  int32_t first = 0, last = 0;
  if (!rows(f, cy - r - reach, cy + r + reach, first, last)) return;
  const uint32_t rgb = p.argb & 0xFFFFFF, alpha = p.argb >> 24;
  const auto visit = [&](int32_t x, int32_t y) {
    const double X = x - cx, Y = y - cy;
    const double cover = overlap(std::sqrt(X * X + Y * Y) - r, -half, half);
    if (cover > 0.0) blend(f.pixels[size_t(y) * size_t(f.stride) + size_t(x)], rgb, alpha, cover);
  };
  // Only the pixels between the circles the reach widens and narrows it to.
  const double outer = r + reach, inner = r - reach;
  for (int32_t y = first; y <= last; ++y) {
    const double Y = y - cy;
    const double xo = std::sqrt(std::max(0.0, outer * outer - Y * Y));
    if (inner > 0.0 && std::abs(Y) < inner) {
      const double xi = std::sqrt(inner * inner - Y * Y);
      span(f, y, cx - xo, cx - xi, visit);
      span(f, y, cx + xi, cx + xo, visit);
    } else {
      span(f, y, cx - xo, cx + xo, visit);
    }
  }
}

}  // namespace

void drawStroke(const FrameView& frame, const OverlayPrimitive& p, float dx, float dy) {
  if (!frame.pixels || frame.w <= 0 || frame.h <= 0 || frame.stride < frame.w) return;
  const double half = p.penWidth / 2.0;
  if (!(half > 0.0 && half < 1e6) || !std::isfinite(dx) || !std::isfinite(dy)) return;
  if (p.kind == PrimitiveKind::Line) {
    for (int i = 0; i < 2; ++i) {
      if (!std::isfinite(p.points[i].x) || !std::isfinite(p.points[i].y)) return;
    }
    drawLine(frame, p, dx, dy, half);
  } else if (isStroke(p)) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.w)) return;
    drawCircle(frame, p, dx, dy, half);
  }
}

}  // namespace sk720
