#include "views/overlay_painter_win32.h"

#include "scan/overlay_clip.h"

namespace sk720 {

namespace G = Gdiplus::DllExports;

namespace {

// "Segoe UI" first; under Wine neither it nor the generic sans-serif family
// exists, and a text drawn with a family that was not found silently vanishes,
// so installed families follow.
const wchar_t* const kFamilies[] = {L"Segoe UI", L"Liberation Sans", L"DejaVu Sans", L"Arial",
                                    L"Tahoma"};

Gdiplus::ARGB argbOf(uint32_t c) { return Gdiplus::ARGB(c); }

// The surface's bounds: what lies beyond them is never seen.
ClipBox surfaceBox(Gdiplus::GpGraphics* g) {
  Gdiplus::RectF r;
  if (G::GdipGetVisibleClipBounds(g, &r) != Gdiplus::Ok) return {-1e9f, -1e9f, 1e9f, 1e9f};
  return {r.X, r.Y, r.X + r.Width, r.Y + r.Height};
}

// The box widened by a pen's reach, so that a cut stroke still covers the box's edge pixels.
ClipBox widened(const ClipBox& b, float penWidth) {
  const float m = penWidth + 2.0f;
  return {b.left - m, b.top - m, b.right + m, b.bottom + m};
}

}  // namespace

OverlayPainterWin32::~OverlayPainterWin32() {
  for (CachedFont& f : fonts_) G::GdipDeleteFont(f.font);
  if (plainFormat_) G::GdipDeleteStringFormat(plainFormat_);
  if (centredFormat_) G::GdipDeleteStringFormat(centredFormat_);
  if (family_) G::GdipDeleteFontFamily(family_);
}

Gdiplus::GpFontFamily* OverlayPainterWin32::family() {
  if (familyTried_) return family_;
  familyTried_ = true;
  for (const wchar_t* name : kFamilies) {
    Gdiplus::GpFontFamily* f = nullptr;
    if (G::GdipCreateFontFamilyFromName(name, nullptr, &f) == Gdiplus::Ok && f) {
      family_ = f;
      familyName_ = name;
      return family_;
    }
  }
  // Last resort only: where it exists, the generic family is better than no
  // text.
  Gdiplus::GpFontFamily* generic = nullptr;
  if (G::GdipGetGenericFontFamilySansSerif(&generic) == Gdiplus::Ok && generic) {
    G::GdipCloneFontFamily(generic, &family_);
    if (family_) familyName_ = L"(generic sans-serif)";
  }
  return family_;
}

Gdiplus::GpFont* OverlayPainterWin32::font(float px, bool bold) {
  for (const CachedFont& f : fonts_) {
    if (f.px == px && f.bold == bold) return f.font;
  }
  Gdiplus::GpFontFamily* fam = family();
  if (!fam) return nullptr;
  Gdiplus::GpFont* f = nullptr;
  if (G::GdipCreateFont(fam, px, bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular,
                        Gdiplus::UnitPixel, &f) != Gdiplus::Ok ||
      !f) {
    return nullptr;
  }
  // The compass label size follows the radius; a window being resized would
  // otherwise collect a font per size.
  if (fonts_.size() >= 16) {
    G::GdipDeleteFont(fonts_.front().font);
    fonts_.erase(fonts_.begin());
  }
  fonts_.push_back({px, bold, f});
  return f;
}

Gdiplus::GpStringFormat* OverlayPainterWin32::format(bool centred) {
  Gdiplus::GpStringFormat*& slot = centred ? centredFormat_ : plainFormat_;
  if (!slot) {
    if (G::GdipCreateStringFormat(
            Gdiplus::StringFormatFlagsNoClip | Gdiplus::StringFormatFlagsNoWrap, LANG_NEUTRAL,
            &slot) != Gdiplus::Ok) {
      slot = nullptr;
      return nullptr;
    }
    if (centred) G::GdipSetStringFormatAlign(slot, Gdiplus::StringAlignmentCenter);
  }
  return slot;
}

void OverlayPainterWin32::drawText(Gdiplus::GpGraphics* g, const OverlayPrimitive& p, float dx,
                                   float dy) {
  Gdiplus::GpFont* f = font(p.fontPx, p.bold);
  if (!f || p.text.empty()) return;
  const int n = MultiByteToWideChar(CP_UTF8, 0, p.text.data(), int(p.text.size()), nullptr, 0);
  if (n <= 0) return;
  wide_.resize(size_t(n));
  MultiByteToWideChar(CP_UTF8, 0, p.text.data(), int(p.text.size()), wide_.data(), n);
  Gdiplus::GpSolidFill* brush = nullptr;
  if (G::GdipCreateSolidFill(argbOf(p.argb), &brush) != Gdiplus::Ok) return;
  const Gdiplus::RectF box(p.x + dx, p.y + dy, p.centred ? p.w : 0.0f, p.centred ? p.h : 0.0f);
  G::GdipDrawString(g, wide_.c_str(), n, f, &box, format(p.centred), brush);
  G::GdipDeleteBrush(brush);
}

void OverlayPainterWin32::paint(Gdiplus::GpGraphics* g, const OverlayList& list, float dx,
                                float dy) {
  if (!g) return;
  const ClipBox surface = surfaceBox(g);
  for (const OverlayPrimitive& p : list) {
    switch (p.kind) {
      case PrimitiveKind::Line:
      case PrimitiveKind::Ellipse: {
        Gdiplus::GpPen* pen = nullptr;
        if (G::GdipCreatePen1(argbOf(p.argb), p.penWidth, Gdiplus::UnitPixel, &pen) !=
            Gdiplus::Ok) {
          break;
        }
        const ClipBox box = widened(surface, p.penWidth);
        if (p.kind == PrimitiveKind::Line) {
          PointF a{p.points[0].x + dx, p.points[0].y + dy},
              b{p.points[1].x + dx, p.points[1].y + dy};
          if (clipSegment(a, b, box)) G::GdipDrawLine(g, pen, a.x, a.y, b.x, b.y);
        } else if (ellipseInside(p.x + dx, p.y + dy, p.w, p.h, box)) {
          G::GdipDrawEllipse(g, pen, p.x + dx, p.y + dy, p.w, p.h);
        } else {
          visibleEllipseRuns(p.x + dx, p.y + dy, p.w, p.h, box, arcs_);
          for (size_t r = 0; r < arcs_.starts.size(); ++r) {
            const size_t begin = arcs_.starts[r];
            const size_t end =
                r + 1 < arcs_.starts.size() ? arcs_.starts[r + 1] : arcs_.points.size();
            linePoints_.clear();
            for (size_t i = begin; i < end; ++i) {
              linePoints_.emplace_back(arcs_.points[i].x, arcs_.points[i].y);
            }
            if (linePoints_.size() >= 2) {
              G::GdipDrawLines(g, pen, linePoints_.data(), INT(linePoints_.size()));
            }
          }
        }
        G::GdipDeletePen(pen);
        break;
      }
      case PrimitiveKind::Polygon: {
        if (p.pointCount < 3) break;
        Gdiplus::GpSolidFill* brush = nullptr;
        if (G::GdipCreateSolidFill(argbOf(p.argb), &brush) != Gdiplus::Ok) break;
        Gdiplus::PointF pts[4];
        for (int32_t i = 0; i < p.pointCount; ++i) {
          pts[i] = Gdiplus::PointF(p.points[i].x + dx, p.points[i].y + dy);
        }
        G::GdipFillPolygon(g, brush, pts, p.pointCount, Gdiplus::FillModeAlternate);
        G::GdipDeleteBrush(brush);
        break;
      }
      case PrimitiveKind::Text:
        drawText(g, p, dx, dy);
        break;
    }
  }
}

bool OverlayPainterWin32::drawDial(HDC ref, const OverlayFrame& frame, DialSurface& out) {
  out = DialSurface{};
  if (!frame.dialVisible || frame.dialWidth <= 0 || frame.dialHeight <= 0) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = frame.dialWidth;
  bi.bmiHeader.biHeight = -frame.dialHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  out.dc = CreateCompatibleDC(ref);
  out.bitmap = out.dc ? CreateDIBSection(out.dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!out.bitmap) {
    freeDial(out);
    return false;
  }
  out.old = SelectObject(out.dc, out.bitmap);  // a fresh section is zero-filled: black
  out.bits = static_cast<const uint32_t*>(bits);
  Gdiplus::GpGraphics* g = nullptr;
  if (G::GdipCreateFromHDC(out.dc, &g) == Gdiplus::Ok) {
    G::GdipSetSmoothingMode(g, Gdiplus::SmoothingModeAntiAlias);
    G::GdipSetTextRenderingHint(g, Gdiplus::TextRenderingHintAntiAlias);
    paint(g, frame.dial);
    G::GdipDeleteGraphics(g);
  }
  GdiFlush();
  return true;
}

void OverlayPainterWin32::freeDial(DialSurface& s) {
  if (s.old) SelectObject(s.dc, s.old);
  if (s.bitmap) DeleteObject(s.bitmap);
  if (s.dc) DeleteDC(s.dc);
  s = DialSurface{};
}

void OverlayPainterWin32::paintDialOr(HDC target, const OverlayFrame& frame, int32_t x, int32_t y) {
  DialSurface d;
  if (!target || !drawDial(target, frame, d)) return;
  BitBlt(target, x, y, frame.dialWidth, frame.dialHeight, d.dc, 0, 0, SRCPAINT);
  freeDial(d);
}

void OverlayPainterWin32::paintScreenshotAdditions(Gdiplus::GpGraphics* canvas, int32_t canvasWidth,
                                                   const OverlayState& state,
                                                   const OverlayInput& in) {
  buildScreenshotStrip(state, in, screenshotStrip_);
  paint(canvas, screenshotStrip_);
  if (!state.frame.dialVisible) return;
  HDC dc = nullptr;
  if (G::GdipGetDC(canvas, &dc) != Gdiplus::Ok || !dc) return;
  paintDialOr(dc, state.frame, canvasWidth - state.frame.dialWidth, 0);
  G::GdipReleaseDC(canvas, dc);
}

}  // namespace sk720
