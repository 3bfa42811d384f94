#include "views/overlay_layer_win32.h"

#include "scan/overlay_raster.h"
#include "views/dib_surface_win32.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sk720 {

namespace {

namespace G = Gdiplus::DllExports;

// Renders list shifted by (dx, dy) onto a w x h surface filled with fill; returns its pixels.
bool render(OverlayPainterWin32& painter, const OverlayList& list, int32_t w, int32_t h, float dx,
            float dy, HDC ref, uint32_t fill, std::vector<uint32_t>& out) {
  HDC dc = nullptr;
  HBITMAP bmp = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* px = nullptr;
  makeSurface(ref, w, h, dc, bmp, old, &px);
  if (!dc) return false;
  std::fill(px, px + size_t(w) * size_t(h), fill);
  Gdiplus::GpGraphics* g = nullptr;
  if (G::GdipCreateFromHDC(dc, &g) == Gdiplus::Ok) {
    G::GdipSetSmoothingMode(g, Gdiplus::SmoothingModeHighQuality);
    painter.paint(g, list, dx, dy);
    G::GdipFlush(g, Gdiplus::FlushIntentionSync);
    G::GdipDeleteGraphics(g);
  }
  GdiFlush();
  out.assign(px, px + size_t(w) * size_t(h));
  freeSurface(dc, bmp, old);
  return true;
}

// The pixels list touches on a w x h surface (shifted by dx, dy), with their coverage.
bool coverage(OverlayPainterWin32& painter, const OverlayList& list, int32_t w, int32_t h, float dx,
              float dy, HDC ref, std::vector<LayerPixel>& out) {
  out.clear();
  std::vector<uint32_t> onBlack, onWhite;
  if (!render(painter, list, w, h, dx, dy, ref, 0x000000, onBlack) ||
      !render(painter, list, w, h, dx, dy, ref, 0xFFFFFF, onWhite)) {
    return false;
  }
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = size_t(y) * size_t(w) + size_t(x);
      const uint32_t b = onBlack[i] & 0xFFFFFF, wh = onWhite[i] & 0xFFFFFF;
      if (b == 0 && wh == 0xFFFFFF) continue;  // untouched
      // On black a pixel shows colour x coverage; on white that plus (1 - coverage).
      uint32_t c = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const int32_t cb = int32_t((b >> shift) & 0xFF), cw = int32_t((wh >> shift) & 0xFF);
        c = std::max(c, uint32_t(std::clamp(255 - (cw - cb), 0, 255)));
      }
      if (c == 0) continue;
      out.push_back({x, y, b, c});
    }
  }
  return true;
}

void blend(const std::vector<LayerPixel>& pixels, uint32_t* frame, int32_t w, int32_t h, int32_t ox,
           int32_t oy) {
  for (const LayerPixel& p : pixels) {
    const int32_t x = p.x - ox, y = p.y - oy;
    if (x < 0 || y < 0 || x >= w || y >= h) continue;
    uint32_t& d = frame[size_t(y) * size_t(w) + size_t(x)];
    const uint32_t keep = 255 - p.coverage;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t c =
          ((p.premultiplied >> shift) & 0xFF) + (((d >> shift) & 0xFF) * keep + 127) / 255;
      out |= std::min(c, 255u) << shift;
    }
    d = out;
  }
}

bool inCompass(const OverlayFrame& f, size_t i) { return i >= f.pointerEnd && i < f.rulerBegin; }

// FNV-1a over every field that shapes a drawing, with the dial's size: equal dials, equal keys.
class ContentHash {
 public:
  template <class T>
  void add(const T& v) {
    const auto* b = reinterpret_cast<const uint8_t*>(&v);
    for (size_t i = 0; i < sizeof v; ++i) byte(b[i]);
  }
  void add(const std::string& t) {
    add(t.size());
    for (char c : t) byte(uint8_t(c));
  }
  uint64_t value() const { return h_; }

 private:
  void byte(uint8_t b) { h_ = (h_ ^ b) * 0x100000001B3ull; }
  uint64_t h_ = 0xCBF29CE484222325ull;
};

uint64_t dialKey(const OverlayFrame& f) {
  ContentHash k;
  k.add(f.dialWidth);
  k.add(f.dialHeight);
  for (const OverlayPrimitive& p : f.dial) {
    k.add(p.kind);
    k.add(p.argb);
    k.add(p.penWidth);
    k.add(p.pointCount);
    for (int32_t i = 0; i < p.pointCount && i < 4; ++i) {
      k.add(p.points[i].x);
      k.add(p.points[i].y);
    }
    for (float v : {p.x, p.y, p.w, p.h, p.fontPx}) k.add(v);
    k.add(p.bold);
    k.add(p.centred);
    k.add(p.text);
  }
  return k.value();
}

// A label's room around its box: centred text may reach past the box it is centred in.
constexpr int32_t kLabelMargin = 8;
constexpr size_t kMaxSprites = 64;  // labels of a few sizes; a resize makes new ones

}  // namespace

bool CanvasParts::sameList(const OverlayList& a, const OverlayList& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

void CanvasParts::split(const OverlayFrame& f) {
  strokes.clear();
  ringLabels.clear();
  compassLabels.clear();
  rest.clear();
  for (size_t i = 0; i < f.canvas.size(); ++i) {
    const OverlayPrimitive& p = f.canvas[i];
    if (isStroke(p)) {
      strokes.push(p);
    } else if (p.kind == PrimitiveKind::Text && i < f.pointerBegin) {
      ringLabels.push(p);
    } else if (p.kind == PrimitiveKind::Text && inCompass(f, i)) {
      compassLabels.push(p);
    } else {
      rest.push(p);
    }
  }
}

void redrawStrip(OverlayPainterWin32& painter, HDC strip, int32_t w, int32_t height,
                 const OverlayList& kept, const OverlayList& next, bool whole) {
  // A line's glyphs stay within one line's pitch of its own rows.
  const auto reach = [](const OverlayPrimitive& p, int32_t& top, int32_t& bottom) {
    const int32_t pitch = int32_t(std::ceil(p.fontPx));
    top = int32_t(std::floor(p.y)) - pitch;
    bottom = int32_t(std::ceil(p.y)) + 2 * pitch;
  };
  // The rows every changed line reaches, in its old form and its new, as bands in order; a line
  // more or less redraws the whole strip.
  std::vector<std::pair<int32_t, int32_t>> bands;
  if (whole || kept.size() != next.size()) {
    bands.emplace_back(0, height);
  } else {
    for (size_t i = 0; i < next.size(); ++i) {
      if (kept[i] == next[i]) continue;
      for (const OverlayPrimitive* p : {&kept[i], &next[i]}) {
        int32_t t = 0, b = 0;
        reach(*p, t, b);
        if (std::max(t, 0) < std::min(b, height))
          bands.emplace_back(std::max(t, 0), std::min(b, height));
      }
    }
    std::sort(bands.begin(), bands.end());
    size_t n = 0;
    for (const auto& band : bands) {
      if (n > 0 && band.first <= bands[n - 1].second) {
        bands[n - 1].second = std::max(bands[n - 1].second, band.second);
      } else {
        bands[n++] = band;
      }
    }
    bands.resize(n);
  }
  if (bands.empty()) return;
  for (const auto& [top, bottom] : bands) PatBlt(strip, 0, top, w, bottom - top, BLACKNESS);
  Gdiplus::GpGraphics* g = nullptr;
  if (G::GdipCreateFromHDC(strip, &g) != Gdiplus::Ok) return;
  G::GdipSetSmoothingMode(g, Gdiplus::SmoothingModeHighQuality);
  for (const auto& [top, bottom] : bands) {
    G::GdipSetClipRectI(g, 0, top, w, bottom - top, Gdiplus::CombineModeReplace);
    OverlayList touching;
    for (const OverlayPrimitive& p : next) {
      int32_t t = 0, b = 0;
      reach(p, t, b);
      if (t < bottom && b > top) touching.push(p);
    }
    painter.paint(g, touching);
  }
  G::GdipDeleteGraphics(g);
}

void LabelSprites::compose(OverlayPainterWin32& painter, const OverlayList& labels, HDC ref,
                           uint32_t* frame, int32_t w, int32_t h, int32_t ox, int32_t oy) {
  for (const OverlayPrimitive& p : labels) {
    const int32_t left = int32_t(std::lround(p.x)) - kLabelMargin;
    const int32_t top = int32_t(std::lround(p.y)) - kLabelMargin;
    OverlayPrimitive key = p;
    key.x = float(kLabelMargin);
    key.y = float(kLabelMargin);
    auto it = std::find_if(sprites_.begin(), sprites_.end(),
                           [&](const Sprite& s) { return s.key == key; });
    if (it == sprites_.end()) {
      if (sprites_.size() >= kMaxSprites) sprites_.clear();
      Sprite s{key, {}};
      const OverlayList one = [&] {
        OverlayList l;
        l.push(key);
        return l;
      }();
      // A label without a box (the rings' labels) gets room for its text: no glyph of these
      // fonts is wider than the font's size, and a line is less than one and a half high.
      size_t chars = 0;
      for (char c : p.text) chars += (uint8_t(c) & 0xC0) != 0x80 ? 1 : 0;
      const float boxW = p.w > 0.0f ? p.w : p.fontPx * float(chars);
      const float boxH = p.h > 0.0f ? p.h : p.fontPx * 1.5f;
      const int32_t sw = int32_t(std::ceil(boxW)) + 2 * kLabelMargin;
      const int32_t sh = int32_t(std::ceil(boxH)) + 2 * kLabelMargin;
      if (!coverage(painter, one, sw, sh, 0.0f, 0.0f, ref, s.pixels)) continue;
      sprites_.push_back(std::move(s));
      it = sprites_.end() - 1;
    }
    blend(it->pixels, frame, w, h, ox - left, oy - top);
  }
}

void DialPictures::compose(OverlayPainterWin32& painter, const OverlayFrame& f, HDC ref,
                           uint32_t* frame, int32_t w, int32_t h) {
  if (!f.dialVisible || f.dialWidth <= 0 || f.dialHeight <= 0) return;
  const uint64_t key = dialKey(f);
  auto it = pictures_.find(key);
  if (it == pictures_.end()) {
    OverlayPainterWin32::DialSurface d;
    if (!painter.drawDial(ref, f, d)) return;
    Picture pic;
    for (int32_t y = 0; y < f.dialHeight; ++y) {
      const uint32_t* row = d.bits + size_t(y) * size_t(f.dialWidth);
      for (int32_t x = 0; x < f.dialWidth;) {
        if (row[x] == 0) {
          ++x;
          continue;
        }
        Run r{x, y, 0, uint32_t(pic.values.size())};
        while (x < f.dialWidth && row[x] != 0) {
          pic.values.push_back(row[x]);
          ++r.count;
          ++x;
        }
        pic.runs.push_back(r);
      }
    }
    OverlayPainterWin32::freeDial(d);
    if (pictures_.size() >= kMaxKept) pictures_.clear();
    it = pictures_.emplace(key, std::move(pic)).first;
  }
  for (const Run& r : it->second.runs) {
    const int32_t y = f.dialY + r.y;
    if (y < 0 || y >= h) continue;
    const int32_t left = f.dialX + r.x;
    const int32_t x0 = std::max(left, 0), x1 = std::min(left + r.count, w);
    uint32_t* d = frame + size_t(y) * size_t(w);
    const uint32_t* v = it->second.values.data() + r.first;
    for (int32_t x = x0; x < x1; ++x) d[x] |= v[x - left];
  }
}

}  // namespace sk720
