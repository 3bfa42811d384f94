#include "scan/overlay_frame.h"

#include "gps/gps_fix.h"
#include "scan/overlay_geometry.h"
#include "scan/scan_image.h"
#include "views/scan_interaction.h"

namespace sk720 {

namespace {

void addStripLine(OverlayList& out, int32_t y, const std::string& text) {
  if (text.empty()) return;
  out.text(0.0f, float(y), kStripFontPx, false, kStripTextArgb).text = text;
}

void addParameterLines(OverlayList& out, const InfoStripTexts& t) {
  addStripLine(out, kStripPulseY, t.pulse);
  addStripLine(out, kStripStepY, t.step);
  addStripLine(out, kStripGainY, t.gain);
  addStripLine(out, kStripIdY, t.id);
  addStripLine(out, kStripSectorY, t.sector);
}

bool compassShown(const OverlayInput& in) {
  return in.compassFieldsPresent != 0 && in.compassValid != 0 && in.compassEnabled != 0;
}

void buildLists(OverlayState& state, const OverlayInput& in) {
  OverlayFrame& f = state.frame;
  f.canvas.clear();
  f.strip.clear();
  f.dial.clear();
  f.dialVisible = false;
  f.outerRadius = 0;
  f.pointerBegin = f.pointerEnd = f.rulerBegin = 0;

  InfoStripTexts& t = state.texts;
  formatParameterLines(in.lastCommandWord, in.device, t);
  if (in.displayEnabled != 1) return;  // the paint draws nothing at all

  const OverlayCentre c = overlayCentre(in.imageSize, in.panX, in.panY, in.dragStartPanX,
                                        in.dragStartPanY, in.dragging != 0);
  const bool grid = in.grid == 1;
  const RingInput rings{in.imageSize, in.displayRangeIndex, in.fitFactor, in.imageMaxRange,
                        in.currentRangeMm};
  f.outerRadius = addRangeRings(f.canvas, c, rings, grid);
  if (grid) addGridSpokes(f.canvas, c, f.outerRadius);
  f.pointerBegin = f.canvas.size();
  if (in.pointer == 1) {
    addPointer(f.canvas, c, f.outerRadius, in.currentLineIndex, in.zeroOffset);
  }
  f.pointerEnd = f.canvas.size();
  const bool compass = compassShown(in);
  if (compass && grid) {
    const int32_t steps = in.zeroAlwaysUp != 0 ? headingSteps(in.headingRadians) : 0;
    addCompassMarks(f.canvas, c, f.outerRadius, steps, in.zeroOffset);
  }
  f.rulerBegin = f.canvas.size();
  if (in.rulerMode != 0 && in.rulerState != 0) {
    const int32_t offX = clientOffsetX(in.clientWidth, in.clientHeight);
    const int32_t offY = clientOffsetY(in.clientWidth, in.clientHeight);
    addRuler(f.canvas, float(in.rulerX1 + offX), float(in.rulerY1 + offY), float(in.rulerX2 + offX),
             float(in.rulerY2 + offY), kRulerSquareSize, in.pixelsPerMetre, state.distanceText);
  }
  if (compass) {
    f.dialVisible = true;
    f.dialX = in.clientWidth - f.dialWidth;
    f.dialY = 0;
    const int32_t degrees = in.zeroAlwaysUp != 0 ? headingDegrees(in.headingRadians) : 0;
    addHeadingDial(f.dial, f.dialWidth, f.dialHeight, degrees, in.zeroOffset);
  }

  if (in.showInfo != 1) return;
  if (in.statusVisible != 0) addStripLine(f.strip, kStripStatusY, in.statusText);
  addParameterLines(f.strip, t);
  formatGpsLine(in.gps, t.gps);
  addStripLine(f.strip, kStripGpsY, t.gps);
  if (in.gps.sig != 0 && in.cursorInside != 0) {
    formatCursorLine(in.gps, in.cursorAngleFraction, in.cursorRangeMetres, in.headingRadians,
                     t.cursor);
    addStripLine(f.strip, kStripCursorY, t.cursor);
  }
}

}  // namespace

void fillOverlayInput(OverlayInput& in, const ScanImage& image, const ScanInteraction& ui,
                      const ViewSettings& view, const ScanInputs& shared, const LineStore& store,
                      const GpsFix& gps, int32_t clientWidth, int32_t clientHeight) {
  constexpr auto relaxed = std::memory_order_relaxed;
  in.imageSize = image.imageSize;
  in.displayRangeIndex = image.displayRangeIndex;
  in.fitFactor = image.fitFactor;
  in.pixelsPerMetre = image.pixelsPerMetre;
  in.imageMaxRange = image.imageMaxRange;
  in.panX = ui.panX;
  in.panY = ui.panY;
  in.dragStartPanX = ui.dragStartPanX;
  in.dragStartPanY = ui.dragStartPanY;
  in.dragging = ui.dragging;
  in.clientWidth = clientWidth;
  in.clientHeight = clientHeight;
  in.displayEnabled = view.displayEnabled;
  in.grid = view.grid;
  in.pointer = view.pointer;
  in.showInfo = view.showInfo;
  in.zeroOffset = view.zeroOffset;
  in.compassFieldsPresent = shared.compassFieldsPresent.load(relaxed);
  in.compassValid = shared.compassValid.load(relaxed);
  in.compassEnabled = shared.compassEnabled.load(relaxed);
  in.zeroAlwaysUp = shared.zeroAlwaysUp.load(relaxed);
  in.headingRadians = shared.headingRadians.load(relaxed);
  in.currentRangeMm = shared.currentRangeMm.load(relaxed);
  in.currentLineIndex = store.currentLineIndex.load(relaxed);
  in.lastCommandWord = shared.lastCommandWord.load(relaxed);
  in.device.deviceId = shared.lastDeviceId.load(relaxed);
  in.gps.lat = gps.lat.load(relaxed);
  in.gps.lon = gps.lon.load(relaxed);
  in.gps.pdop = gps.pdop.load(relaxed);
  in.gps.sig = gps.sig.load(relaxed);
  in.gps.fix = gps.fix.load(relaxed);
  in.cursorX = ui.cursorX;
  in.cursorY = ui.cursorY;
  in.rulerMode = ui.rulerMode;
  in.rulerState = ui.rulerState;
  in.rulerX1 = ui.rulerX1;
  in.rulerY1 = ui.rulerY1;
  in.rulerX2 = ui.rulerX2;
  in.rulerY2 = ui.rulerY2;

  // The cursor may be stale after the view shrank: only a pixel of the image
  // has a position.
  const int32_t x = ui.cursorX + clientOffsetX(clientWidth, clientHeight);
  const int32_t y = ui.cursorY + clientOffsetY(clientWidth, clientHeight);
  in.cursorInside = x >= 0 && y >= 0 && x < image.imageSize && y < image.imageSize ? 1 : 0;
  in.cursorAngleFraction = 0.0f;
  in.cursorRangeMetres = 0.0f;
  if (in.cursorInside) {
    const PixelPolar p = pixelPolarAt(image, view.zeroOffset, x, y);
    in.cursorAngleFraction = p.angleFraction;
    in.cursorRangeMetres = p.rangeMetres;
  }
}

const OverlayFrame& buildOverlayFrame(OverlayState& state, const OverlayInput& in, uint32_t nowMs) {
  OverlayFrame& f = state.frame;
  f.rebuilt = !state.havePrevious || !(state.previous == in);
  if (f.rebuilt) {
    buildLists(state, in);
    state.previous = in;  // copies into the previous input's storage
    state.havePrevious = true;
  }

  f.distanceStatus.clear();
  if (!state.clockStarted) {
    state.clockStarted = true;
    state.lastDistanceReportMs = nowMs;
  }
  const bool ruler = in.displayEnabled == 1 && in.rulerMode != 0 && in.rulerState != 0;
  if (ruler && nowMs - state.lastDistanceReportMs > kStatusReportPeriodMs) {
    state.lastDistanceReportMs = nowMs;
    f.distanceStatus.assign("Distance: ");
    f.distanceStatus += state.distanceText;
  }
  return f;
}

void buildScreenshotStrip(const OverlayState& state, const OverlayInput& in, OverlayList& out) {
  out.clear();
  if (in.showInfo != 1) return;
  const InfoStripTexts& t = state.texts;
  if (in.statusVisible != 0) addStripLine(out, kStripStatusY, in.statusText);
  addParameterLines(out, t);
  addStripLine(out, kStripGpsY, t.gps);
  addStripLine(out, kStripCursorY, t.cursor);
}

}  // namespace sk720
