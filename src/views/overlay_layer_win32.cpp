#include "views/overlay_layer_win32.h"

#include "views/dib_surface_win32.h"

#include <algorithm>
#include <cstring>

namespace sk720 {

namespace {

namespace G = Gdiplus::DllExports;

// Renders list onto a side x side surface filled with fill; returns its pixels.
bool render(OverlayPainterWin32& painter, const OverlayList& list, int32_t side, HDC ref,
            uint32_t fill, std::vector<uint32_t>& out) {
  HDC dc = nullptr;
  HBITMAP bmp = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* px = nullptr;
  makeSurface(ref, side, side, dc, bmp, old, &px);
  if (!dc) return false;
  std::fill(px, px + size_t(side) * size_t(side), fill);
  Gdiplus::GpGraphics* g = nullptr;
  if (G::GdipCreateFromHDC(dc, &g) == Gdiplus::Ok) {
    G::GdipSetSmoothingMode(g, Gdiplus::SmoothingModeHighQuality);
    painter.paint(g, list);
    G::GdipFlush(g, Gdiplus::FlushIntentionSync);
    G::GdipDeleteGraphics(g);
  }
  GdiFlush();
  out.assign(px, px + size_t(side) * size_t(side));
  freeSurface(dc, bmp, old);
  return true;
}

}  // namespace

bool OverlayLayer::sameList(const OverlayList& a, const OverlayList& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

void OverlayLayer::staticPart(const OverlayFrame& f, OverlayList& out) {
  out.clear();
  const size_t n = f.canvas.size();
  for (size_t i = 0; i < n; ++i) {
    if ((i >= f.pointerBegin && i < f.pointerEnd) || i >= f.rulerBegin) continue;
    out.push(f.canvas[i]);
  }
}

void OverlayLayer::movingPart(const OverlayFrame& f, OverlayList& out) {
  out.clear();
  const size_t n = f.canvas.size();
  for (size_t i = 0; i < n; ++i) {
    if ((i >= f.pointerBegin && i < f.pointerEnd) || i >= f.rulerBegin) out.push(f.canvas[i]);
  }
}

void OverlayLayer::update(OverlayPainterWin32& painter, const OverlayList& staticList,
                          int32_t imageSize, HDC ref) {
  if (valid_ && size_ == imageSize && sameList(kept_, staticList)) return;
  kept_.clear();
  for (const OverlayPrimitive& p : staticList) kept_.push(p);
  size_ = imageSize;
  valid_ = true;
  pixels_.clear();
  if (staticList.empty() || imageSize <= 0) return;
  std::vector<uint32_t> onBlack, onWhite;
  if (!render(painter, staticList, imageSize, ref, 0x000000, onBlack) ||
      !render(painter, staticList, imageSize, ref, 0xFFFFFF, onWhite)) {
    valid_ = false;
    return;
  }
  for (int32_t y = 0; y < imageSize; ++y) {
    for (int32_t x = 0; x < imageSize; ++x) {
      const size_t i = size_t(y) * size_t(imageSize) + size_t(x);
      const uint32_t b = onBlack[i] & 0xFFFFFF, w = onWhite[i] & 0xFFFFFF;
      if (b == 0 && w == 0xFFFFFF) continue;  // untouched
      // On black a pixel shows colour x coverage; on white that plus (1 - coverage).
      uint32_t coverage = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const int32_t cb = int32_t((b >> shift) & 0xFF), cw = int32_t((w >> shift) & 0xFF);
        coverage = std::max(coverage, uint32_t(std::clamp(255 - (cw - cb), 0, 255)));
      }
      if (coverage == 0) continue;
      pixels_.push_back({x, y, b, coverage});
    }
  }
}

void OverlayLayer::compose(uint32_t* frame, int32_t w, int32_t h, int32_t ox, int32_t oy) const {
  for (const Pixel& p : pixels_) {
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

}  // namespace sk720
