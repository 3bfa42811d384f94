#pragma once
// Overlay drawings kept from one frame to the next, because drawing them with GDI+ under Wine
// costs more than the rest of a frame: text labels, each in a small sprite rendered once with
// anti-aliasing on black and again on white (which gives every touched pixel its coverage), and
// the heading dial per heading.
#include <windows.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "scan/overlay_frame.h"
#include "views/overlay_painter_win32.h"

namespace sk720 {

// A touched pixel of a kept drawing and how much the drawing covers it.
struct LayerPixel {
  int32_t x, y;
  uint32_t premultiplied;  // colour times coverage, BGRX
  uint32_t coverage;       // 0..255
};

// A frame's canvas list as it is drawn: the strokes straight into the frame, the labels from
// kept sprites, and what is left (the ruler's text, filled shapes) with GDI+.
struct CanvasParts {
  OverlayList strokes;        // every line and ellipse, in the canvas order
  OverlayList ringLabels;     // the range rings' labels
  OverlayList compassLabels;  // the compass marks' labels
  OverlayList rest;

  void split(const OverlayFrame& f);
  static bool sameList(const OverlayList& a, const OverlayList& b);
};

// The information strip, white text on a black surface of w x height pixels, brought from the
// lines of `kept` to those of `next` (whole: drawn anew). Its texts are slow to draw and mostly
// stay as they are, so only the rows a changed line can reach are cleared and drawn again: the
// result is the one a whole redraw gives.
void redrawStrip(OverlayPainterWin32& painter, HDC strip, int32_t w, int32_t height,
                 const OverlayList& kept, const OverlayList& next, bool whole);

// Text labels kept drawn, each in a sprite of its own keyed by everything but its position, and
// blended where the label lies on this frame (to the whole pixel).
class LabelSprites {
 public:
  void compose(OverlayPainterWin32& painter, const OverlayList& labels, HDC ref, uint32_t* frame,
               int32_t w, int32_t h, int32_t ox, int32_t oy);

 private:
  struct Sprite {
    OverlayPrimitive key;  // the label placed at the sprite's margin
    std::vector<LayerPixel> pixels;
  };
  std::vector<Sprite> sprites_;
};

// The heading dial as paintDialOr paints it, kept per dial: the dial turns with every degree of
// heading, and drawing it with GDI+ under Wine costs more than all the rest of a frame, while a
// heading keeps coming back to the same few hundred dials. Each is kept as the runs of its lit
// pixels, which are all an OR changes.
class DialPictures {
 public:
  // ORs the frame's dial into a w x h top-down frame at the dial's place, drawing it first when
  // this dial has not been seen.
  void compose(OverlayPainterWin32& painter, const OverlayFrame& f, HDC ref, uint32_t* frame,
               int32_t w, int32_t h);
  size_t kept() const { return pictures_.size(); }

  // More dials than one turn of the heading at one size: the oldest are dropped, all at once.
  static constexpr size_t kMaxKept = 400;

 private:
  struct Run {
    int32_t x, y, count;
    uint32_t first;  // into values
  };
  struct Picture {
    std::vector<Run> runs;
    std::vector<uint32_t> values;
  };
  std::unordered_map<uint64_t, Picture> pictures_;  // by the dial's content
};

}  // namespace sk720
