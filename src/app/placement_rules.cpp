#include "app/placement_rules.h"

#include <algorithm>
#include <cstdint>

#include "app/main_layout.h"

namespace sk720 {

namespace {

constexpr uint32_t kToggledStyleBits = kStyleCaption | kStyleThickFrame;

int64_t gap(int32_t lo, int32_t hi, int32_t monitorLo, int32_t monitorHi) {
  if (hi <= monitorLo) return int64_t(monitorLo) - hi;
  if (lo >= monitorHi) return int64_t(lo) - monitorHi;
  return 0;
}

bool overlaps(const WindowPlacement& p, const MonitorArea& m) {
  return p.left < m.right && p.right > m.left && p.top < m.bottom && p.bottom > m.top;
}

// Keeps [start, start + length) inside [lo, hi), length already at most hi - lo.
int32_t fitInto(int32_t start, int32_t length, int32_t lo, int32_t hi) {
  return std::clamp(start, lo, hi - length);
}

}  // namespace

uint32_t sanitizedStyle(uint32_t storedStyle) {
  return (kStyleOverlappedWindow & ~kToggledStyleBits) | (storedStyle & kToggledStyleBits);
}

uint32_t sanitizedExStyle(uint32_t storedExStyle) {
  return storedExStyle & kExStyleFullScreenBits;
}

bool placeOnMonitors(WindowPlacement& p, const MonitorArea* monitors, int32_t monitorCount) {
  if (monitors == nullptr || monitorCount <= 0) return false;
  const bool sized = p.right > p.left && p.bottom > p.top;
  if (sized) {
    for (int32_t i = 0; i < monitorCount; ++i) {
      if (overlaps(p, monitors[i])) return false;
    }
  }
  // Nearest by the distance between the rectangles (squared, in 64 bits).
  const int32_t loX = std::min(p.left, p.right), hiX = std::max(p.left, p.right);
  const int32_t loY = std::min(p.top, p.bottom), hiY = std::max(p.top, p.bottom);
  int32_t nearest = 0;
  int64_t best = INT64_MAX;
  for (int32_t i = 0; i < monitorCount; ++i) {
    const MonitorArea& m = monitors[i];
    const int64_t dx = gap(loX, hiX, m.left, m.right), dy = gap(loY, hiY, m.top, m.bottom);
    const int64_t d = dx * dx + dy * dy;
    if (d < best) {
      best = d;
      nearest = i;
    }
  }
  const MonitorArea& m = monitors[nearest];
  const int32_t monitorWidth = std::max(m.right - m.left, 0);
  const int32_t monitorHeight = std::max(m.bottom - m.top, 0);
  // An empty or inverted rectangle gets the smallest size the window accepts anyway.
  int32_t width = sized ? p.right - p.left : kMinTrackWidth;
  int32_t height = sized ? p.bottom - p.top : kMinTrackHeightShown;
  width = std::min(width, monitorWidth);
  height = std::min(height, monitorHeight);
  p.left = fitInto(loX, width, m.left, m.left + monitorWidth);
  p.top = fitInto(loY, height, m.top, m.top + monitorHeight);
  p.right = p.left + width;
  p.bottom = p.top + height;
  return true;
}

uint32_t fullScreenStyle(uint32_t style) { return style & ~kToggledStyleBits; }

uint32_t fullScreenExStyle(uint32_t exStyle) { return exStyle & ~kExStyleFullScreenBits; }

}  // namespace sk720
