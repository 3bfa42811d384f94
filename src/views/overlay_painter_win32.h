#pragma once
// Draws overlay primitive lists with the GDI+ flat API: the canvas and strip
// lists onto the scan view's surfaces, the dial on a black bitmap OR-combined
// onto a device context. Fonts and string formats are kept across paints.
// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <string>
#include <vector>

#include "scan/overlay_clip.h"
#include "scan/overlay_frame.h"

namespace sk720 {

class OverlayPainterWin32 {
 public:
  OverlayPainterWin32() = default;
  OverlayPainterWin32(const OverlayPainterWin32&) = delete;
  OverlayPainterWin32& operator=(const OverlayPainterWin32&) = delete;
  ~OverlayPainterWin32();

  // Draws list onto g with every coordinate shifted by (dx, dy). GDI+ failures
  // leave that element out and go on with the next.
  void paint(Gdiplus::GpGraphics* g, const OverlayList& list, float dx = 0.0f, float dy = 0.0f);

  // The heading dial of frame (when visible): drawn anti-aliased onto a fresh
  // black bitmap of the dial's size, then OR-combined onto target at (x, y).
  void paintDialOr(HDC target, const OverlayFrame& frame, int32_t x, int32_t y);

  // The dial of frame drawn as paintDialOr draws it, on a fresh black w x h top-down DIB whose
  // pixels stay readable until freeDial. False (and nothing to free) when there is no dial.
  struct DialSurface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    const uint32_t* bits = nullptr;
  };
  bool drawDial(HDC ref, const OverlayFrame& frame, DialSurface& out);
  static void freeDial(DialSurface& s);

  // What a screenshot adds to the canvas before it is saved: the strip texts
  // drawn directly (when "Show info" is on) and the dial OR-combined at its
  // top-right corner (when visible).
  void paintScreenshotAdditions(Gdiplus::GpGraphics* canvas, int32_t canvasWidth,
                                const OverlayState& state, const OverlayInput& in);

  // The family the texts are drawn with, once one was needed ("" when none
  // could be made).
  const std::wstring& familyName() const { return familyName_; }

 private:
  struct CachedFont {
    float px;
    bool bold;
    Gdiplus::GpFont* font;
  };
  Gdiplus::GpFontFamily* family();
  Gdiplus::GpFont* font(float px, bool bold);
  Gdiplus::GpStringFormat* format(bool centred);
  void drawText(Gdiplus::GpGraphics* g, const OverlayPrimitive& p, float dx, float dy);

  Gdiplus::GpFontFamily* family_ = nullptr;
  bool familyTried_ = false;
  std::wstring familyName_;
  std::vector<CachedFont> fonts_;
  Gdiplus::GpStringFormat* plainFormat_ = nullptr;
  Gdiplus::GpStringFormat* centredFormat_ = nullptr;
  std::wstring wide_;                        // reused for every text's UTF-16 form
  ArcRuns arcs_;                             // the visible part of a ring larger than the surface
  std::vector<Gdiplus::PointF> linePoints_;  // and the same as GDI+ points
  OverlayList screenshotStrip_;
};

}  // namespace sk720
