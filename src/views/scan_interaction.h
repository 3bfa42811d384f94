#pragma once
// The scan view's mouse, key and wheel behaviour as states: zoom through the
// display ranges, drag to pan, Shift+click to re-centre, the ruler's clicks.
// The window procedure translates messages into these calls and rebuilds the
// geometry when one asks for it.
#include <cstdint>

namespace sk720 {

struct ScanInteraction {
  int32_t displayRangeIndex = 6;  // index into displayRanges
  int32_t panX = 0, panY = 0;     // committed pan of the image centre in pixels
  int32_t dragShiftX = 0, dragShiftY = 0;
  int32_t dragStartX = 0, dragStartY = 0;
  int32_t dragStartPanX = 0, dragStartPanY = 0;
  int32_t lastMouseX = 0, lastMouseY = 0;
  int32_t dragging = 0;
  int32_t rulerMode = 0;
  int32_t rulerState = 0;  // 0 no line, 1 second end follows the mouse, 2 fixed
  int32_t rulerX1 = 0, rulerY1 = 0, rulerX2 = 0, rulerY2 = 0;
  int32_t cursorX = 0, cursorY = 0;
};

// What the caller must do after a call.
enum class ScanEffect { None, Repaint, Rebuild };

// The zoom settle rule: clamp to 0..14; within range, an index whose display
// range is larger than the echo data's range snaps to the data's range.
int32_t settleZoomIndex(int32_t requested, int32_t currentRangeMm);

// Wheel (delta > 0 zooms in) and the keys; ignored while the ruler is on.
// Rebuild when the index changed.
ScanEffect onWheel(ScanInteraction& s, int32_t delta, int32_t currentRangeMm);
enum class ScanKey { ZoomIn, ZoomOut, FullScreen, Other };
ScanKey scanKeyOf(uint32_t virtualKey);  // 'I', 'O', F11
ScanEffect onZoomKey(ScanInteraction& s, bool zoomIn, int32_t currentRangeMm);

ScanEffect onMouseMove(ScanInteraction& s, int32_t x, int32_t y, bool leftDown, bool shiftDown);
ScanEffect onLeftButtonDown(ScanInteraction& s, int32_t x, int32_t y, bool shiftDown);
ScanEffect onLeftButtonUp(ScanInteraction& s, int32_t x, int32_t y, bool leftStillDown);
// The view lost the mouse during a drag (another window, a menu, Alt+Tab): the button-up will
// never come, so the drag ends where the mouse was last seen.
ScanEffect onCaptureLost(ScanInteraction& s);
// The context menu's "&Ruler" command.
void toggleRuler(ScanInteraction& s);

// Resize: pan and drag state to 0 (dragging ends). View reset (sonar start,
// playback file start): pan to 0, zoom to the data's range, dragging unchanged.
void resetForResize(ScanInteraction& s);
void resetForNewData(ScanInteraction& s, int32_t currentRangeMm);

// Source origin in the square image of the client's window, with the drag shift
// while dragging.
struct ImageOrigin {
  int32_t x = 0, y = 0;
};
ImageOrigin visibleOrigin(const ScanInteraction& s, int32_t clientWidth, int32_t clientHeight);

}  // namespace sk720
