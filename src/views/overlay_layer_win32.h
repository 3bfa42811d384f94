#pragma once
// The overlays that seldom change (rings and spokes), kept drawn: rendered once with
// anti-aliasing in image coordinates, on black and again on white, which gives every touched
// pixel its coverage; kept as the short list of those pixels. Blending that list into a frame
// costs a fraction of a millisecond, where drawing the same shapes with GDI+ under Wine takes
// tens. The compass marks turn with the heading: their strokes are drawn with each frame, and
// their labels, which only move, are kept drawn one by one in small sprites.
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

class OverlayLayer {
 public:
  // The canvas list without the pointer, the compass marks and the ruler.
  static void staticPart(const OverlayFrame& f, OverlayList& out);
  // The pointer, the compass marks' strokes and the ruler.
  static void movingPart(const OverlayFrame& f, OverlayList& out);
  // The compass marks' labels.
  static void compassLabels(const OverlayFrame& f, OverlayList& out);
  static bool sameList(const OverlayList& a, const OverlayList& b);

  // The part of the image a frame shows: its size and where in the image it starts.
  struct Window {
    int32_t w = 0, h = 0, ox = 0, oy = 0;
    bool operator==(const Window&) const = default;
  };

  // Whether the kept drawing is of this list in this window.
  bool holds(const OverlayList& staticList, const Window& win) const;
  // Draws the static part anew, for the window only, unless it already holds it.
  void update(OverlayPainterWin32& painter, const OverlayList& staticList, const Window& win,
              HDC ref);
  // Blends the kept pixels into the window's w x h top-down BGRX frame.
  void compose(uint32_t* frame) const;

 private:
  OverlayList kept_;
  Window window_;
  bool valid_ = false;
  std::vector<LayerPixel> pixels_;
};

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
