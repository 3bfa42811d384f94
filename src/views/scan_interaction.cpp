#include "views/scan_interaction.h"

#include "scan/line_store.h"

namespace sk720 {

namespace {

constexpr int32_t kLastRangeIndex = 14;

ScanEffect zoomTo(ScanInteraction& s, int32_t requested, int32_t currentRangeMm) {
  const int32_t settled = settleZoomIndex(requested, currentRangeMm);
  if (settled == s.displayRangeIndex) return ScanEffect::None;
  s.displayRangeIndex = settled;
  return ScanEffect::Rebuild;
}

void clearPan(ScanInteraction& s) {
  s.panX = s.panY = 0;
  s.dragShiftX = s.dragShiftY = 0;
  s.dragStartPanX = s.dragStartPanY = 0;
}

}  // namespace

int32_t settleZoomIndex(int32_t requested, int32_t currentRangeMm) {
  // Out of the table the ends hold as they are; inside it one cannot zoom out past the range
  // the echo data covers.
  if (requested < 0) return 0;
  if (requested > kLastRangeIndex) return kLastRangeIndex;
  if (kDisplayRangesMm[requested] > currentRangeMm) return rangeIndexOf(currentRangeMm);
  return requested;
}

ScanEffect onWheel(ScanInteraction& s, int32_t delta, int32_t currentRangeMm) {
  if (s.rulerMode == 1) return ScanEffect::None;
  return zoomTo(s, s.displayRangeIndex + (delta > 0 ? -1 : 1), currentRangeMm);
}

ScanKey scanKeyOf(uint32_t virtualKey) {
  switch (virtualKey) {
    case 0x49:
      return ScanKey::ZoomIn;
    case 0x4F:
      return ScanKey::ZoomOut;
    case 0x7A:
      return ScanKey::FullScreen;
    default:
      return ScanKey::Other;
  }
}

ScanEffect onZoomKey(ScanInteraction& s, bool zoomIn, int32_t currentRangeMm) {
  if (s.rulerMode == 1) return ScanEffect::None;
  return zoomTo(s, s.displayRangeIndex + (zoomIn ? -1 : 1), currentRangeMm);
}

ScanEffect onMouseMove(ScanInteraction& s, int32_t x, int32_t y, bool leftDown, bool shiftDown) {
  s.cursorX = x;
  s.cursorY = y;
  if (s.rulerMode == 1 && s.rulerState == 1) {
    s.rulerX2 = x;
    s.rulerY2 = y;
    return ScanEffect::Repaint;
  }
  if (!leftDown || shiftDown || s.dragging != 1) return ScanEffect::None;
  // The picture follows the mouse by shifting the shown window; the image is rebuilt on release.
  s.panX += s.lastMouseX - x;
  s.panY += s.lastMouseY - y;
  s.dragShiftX = s.dragStartX - x;
  s.dragShiftY = s.dragStartY - y;
  s.lastMouseX = x;
  s.lastMouseY = y;
  return ScanEffect::Repaint;
}

ScanEffect onLeftButtonDown(ScanInteraction& s, int32_t x, int32_t y, bool shiftDown) {
  if (s.rulerMode == 1) {
    if (s.rulerState == 1) {
      s.rulerState = 2;
    } else {
      s.rulerX1 = s.rulerX2 = x;
      s.rulerY1 = s.rulerY2 = y;
      s.rulerState = 1;
    }
    return ScanEffect::Repaint;
  }
  if (shiftDown) {
    clearPan(s);
    s.lastMouseX = x;
    s.lastMouseY = y;
    return ScanEffect::Rebuild;
  }
  s.dragStartPanX = s.panX;
  s.dragStartPanY = s.panY;
  s.dragStartX = s.lastMouseX = x;
  s.dragStartY = s.lastMouseY = y;
  s.dragging = 1;
  return ScanEffect::None;
}

ScanEffect onLeftButtonUp(ScanInteraction& s, int32_t x, int32_t y, bool leftStillDown) {
  if (s.rulerMode == 1 || leftStillDown || s.dragging != 1) return ScanEffect::None;
  s.panX += s.lastMouseX - x;
  s.panY += s.lastMouseY - y;
  s.dragStartX = s.lastMouseX = x;
  s.dragStartY = s.lastMouseY = y;
  s.dragShiftX = s.dragShiftY = 0;
  s.dragging = 0;
  return ScanEffect::Rebuild;
}

ScanEffect onCaptureLost(ScanInteraction& s) {
  if (s.dragging != 1) return ScanEffect::None;
  // The pan already holds every move seen; only the shown window's shift is undone.
  s.dragStartX = s.lastMouseX;
  s.dragStartY = s.lastMouseY;
  s.dragShiftX = s.dragShiftY = 0;
  s.dragging = 0;
  return ScanEffect::Rebuild;
}

void toggleRuler(ScanInteraction& s) {
  s.rulerMode = 1 - s.rulerMode;
  s.rulerState = 0;
}

void resetForResize(ScanInteraction& s) {
  clearPan(s);
  s.lastMouseX = s.lastMouseY = 0;
  s.dragging = 0;
}

void resetForNewData(ScanInteraction& s, int32_t currentRangeMm) {
  clearPan(s);
  s.lastMouseX = s.lastMouseY = 0;
  s.displayRangeIndex = rangeIndexOf(currentRangeMm);
}

ImageOrigin visibleOrigin(const ScanInteraction& s, int32_t clientWidth, int32_t clientHeight) {
  // The image is square with the client's larger side; the shorter side sees its middle.
  ImageOrigin o;
  if (clientHeight > clientWidth) o.x = (clientHeight - clientWidth) / 2;
  if (clientWidth > clientHeight) o.y = (clientWidth - clientHeight) / 2;
  if (s.dragging == 1) {
    o.x += s.dragShiftX;
    o.y += s.dragShiftY;
  }
  return o;
}

}  // namespace sk720
