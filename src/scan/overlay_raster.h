#pragma once
// Anti-aliased strokes (lines with flat ends, circle outlines) blended straight into a BGRX
// frame. The rings and spokes change with every zoom step, and a graphics library under Wine
// takes tens of milliseconds for strokes that long; these touch only the pixels near the curve.
#include <cstdint>

#include "scan/overlay_primitives.h"

namespace sk720 {

// A w x h top-down frame of BGRX pixels, rows `stride` pixels apart.
struct FrameView {
  uint32_t* pixels = nullptr;
  int32_t w = 0, h = 0, stride = 0;
};

// Whether drawStroke draws this primitive: a line, or an ellipse that is a circle.
inline bool isStroke(const OverlayPrimitive& p) {
  return p.kind == PrimitiveKind::Line || (p.kind == PrimitiveKind::Ellipse && p.w == p.h);
}

// Blends a line or circle outline, shifted by (dx, dy), into the frame. Pixel (x, y) is the
// unit square centred on (x, y). A pixel is covered by the part of that square within half the
// pen width across the curve (and, for a line, between its ends), taken along and across the
// curve apart. Other primitives, and any with a coordinate that is not finite, draw nothing.
void drawStroke(const FrameView& frame, const OverlayPrimitive& p, float dx, float dy);

}  // namespace sk720
