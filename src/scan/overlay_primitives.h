#pragma once
// The drawing primitives the overlays are made of. A painter (GDI+ in the
// program, cairo in the companion) draws a list of them; the lists keep their
// storage from one paint to the next.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sk720 {

struct PointF {
  float x = 0.0f, y = 0.0f;
};

enum class PrimitiveKind : uint8_t {
  Line,     // points[0] to points[1], pen of penWidth
  Ellipse,  // outline in the box (x, y, w, h), pen of penWidth
  Polygon,  // filled, pointCount corners
  Text,     // text with its top-left at (x, y); with centred, centred across the
            // box width w
};

struct OverlayPrimitive {
  PrimitiveKind kind = PrimitiveKind::Line;
  uint32_t argb = 0xFFFFFFFF;
  float penWidth = 0.0f;
  PointF points[4];
  int32_t pointCount = 0;
  float x = 0.0f, y = 0.0f, w = 0.0f, h = 0.0f;
  float fontPx = 0.0f;
  bool bold = false;
  bool centred = false;
  std::string text;  // UTF-8

  bool operator==(const OverlayPrimitive& o) const {
    if (kind != o.kind || argb != o.argb || penWidth != o.penWidth || pointCount != o.pointCount ||
        x != o.x || y != o.y || w != o.w || h != o.h || fontPx != o.fontPx || bold != o.bold ||
        centred != o.centred || text != o.text) {
      return false;
    }
    for (int32_t i = 0; i < pointCount && i < 4; ++i) {
      if (points[i].x != o.points[i].x || points[i].y != o.points[i].y) return false;
    }
    return true;
  }
};

// A list whose entries (and their text storage) are reused: after the first
// paints, building the same overlays again allocates nothing.
class OverlayList {
 public:
  void clear() { count_ = 0; }
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  const OverlayPrimitive& operator[](size_t i) const { return items_[i]; }
  const OverlayPrimitive* begin() const { return items_.data(); }
  const OverlayPrimitive* end() const { return items_.data() + count_; }

  // A copy of another list's entry, reusing this list's storage.
  void push(const OverlayPrimitive& p) { add(p.kind, p.argb) = p; }

  OverlayPrimitive& add(PrimitiveKind kind, uint32_t argb) {
    if (count_ == items_.size()) items_.emplace_back();
    OverlayPrimitive& p = items_[count_++];
    p.kind = kind;
    p.argb = argb;
    p.penWidth = 0.0f;
    p.pointCount = 0;
    p.x = p.y = p.w = p.h = 0.0f;
    p.fontPx = 0.0f;
    p.bold = p.centred = false;
    p.text.clear();
    return p;
  }
  void line(PointF a, PointF b, uint32_t argb, float width) {
    OverlayPrimitive& p = add(PrimitiveKind::Line, argb);
    p.points[0] = a;
    p.points[1] = b;
    p.pointCount = 2;
    p.penWidth = width;
  }
  void ellipse(float x, float y, float w, float h, uint32_t argb, float width) {
    OverlayPrimitive& p = add(PrimitiveKind::Ellipse, argb);
    p.x = x, p.y = y, p.w = w, p.h = h;
    p.penWidth = width;
  }
  void polygon(const PointF* pts, int32_t n, uint32_t argb) {
    OverlayPrimitive& p = add(PrimitiveKind::Polygon, argb);
    if (n > 4) n = 4;
    for (int32_t i = 0; i < n; ++i) p.points[i] = pts[i];
    p.pointCount = n;
  }
  // Text at a top-left corner; the caller fills text.
  OverlayPrimitive& text(float x, float y, float fontPx, bool bold, uint32_t argb) {
    OverlayPrimitive& p = add(PrimitiveKind::Text, argb);
    p.x = x, p.y = y;
    p.fontPx = fontPx;
    p.bold = bold;
    return p;
  }
  size_t capacity() const { return items_.size(); }

 private:
  std::vector<OverlayPrimitive> items_;
  size_t count_ = 0;
};

}  // namespace sk720
