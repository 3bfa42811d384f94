#pragma once
// One paint's overlays: the scan view fills an OverlayInput from its own state
// and calls buildOverlayFrame; a painter then draws the frame's three lists.
// The lists are rebuilt only when the inputs differ from the previous paint's,
// and keep their storage between paints.
#include <cstdint>
#include <string>

#include "scan/overlay_primitives.h"
#include "scan/overlay_texts.h"

namespace sk720 {

struct ScanImage;
struct ScanInputs;
struct ScanInteraction;
struct ViewSettings;
struct LineStore;
struct GpsFix;

struct OverlayInput {
  // Geometry of the image shown (ScanImage).
  int32_t imageSize = 0;
  int32_t displayRangeIndex = 6;
  float fitFactor = 1.0f;
  float pixelsPerMetre = 0.0f;
  float imageMaxRange = 0.0f;
  // Pan and drag (the scan view's interaction state) and the client size of
  // this paint.
  int32_t panX = 0, panY = 0;
  int32_t dragStartPanX = 0, dragStartPanY = 0;
  int32_t dragging = 0;
  int32_t clientWidth = 0, clientHeight = 0;
  // View settings.
  int32_t displayEnabled = 1, grid = 1, pointer = 1, showInfo = 1, zeroOffset = 0;
  // Published by the receiving side.
  int32_t compassFieldsPresent = 0, compassValid = 0, compassEnabled = 0, zeroAlwaysUp = 1;
  float headingRadians = 0.0f;
  int32_t currentRangeMm = 0;
  int32_t currentLineIndex = 0;
  uint32_t lastCommandWord = 0;
  DeviceLine device;  // deviceId from lastDeviceId; tunable and the frequencies
                      // from the program
  GpsSnapshot gps;
  // Cursor in client coordinates, and the polar position of its image pixel
  // (cursorInside 0 when the pixel lies outside the image, e.g. a stale
  // position after the view shrank).
  int32_t cursorX = 0, cursorY = 0;
  int32_t cursorInside = 0;
  float cursorAngleFraction = 0.0f, cursorRangeMetres = 0.0f;
  // Ruler ends in client coordinates.
  int32_t rulerMode = 0, rulerState = 0;
  int32_t rulerX1 = 0, rulerY1 = 0, rulerX2 = 0, rulerY2 = 0;
  // The status line shows only while the working or the playback thread runs.
  int32_t statusVisible = 0;
  std::string statusText;

  bool operator==(const OverlayInput&) const = default;
};

// Reads what the program shares into in: geometry, view settings, published
// values, GPS, interaction (pan, drag, ruler, cursor) and the cursor pixel's
// polar position, for a client of clientWidth x clientHeight. Leaves
// device.tunable, device.centralFrequency, device.bandwidth, statusVisible and
// statusText to the caller.
void fillOverlayInput(OverlayInput& in, const ScanImage& image, const ScanInteraction& ui,
                      const ViewSettings& view, const ScanInputs& shared, const LineStore& store,
                      const GpsFix& gps, int32_t clientWidth, int32_t clientHeight);

struct OverlayFrame {
  OverlayList canvas;  // square-image coordinates: rings, spokes, pointer,
                       // compass, ruler
  OverlayList strip;   // the strip layer: white text for a black client-width x
                       // 100 surface
  OverlayList dial;    // dial-box coordinates: draw on black, OR-combine at (dialX, dialY)
  bool dialVisible = false;
  int32_t dialX = 0, dialY = 0, dialWidth = 100,
          dialHeight = 100;  // in client coordinates
  int32_t outerRadius = 0;
  // Where the pointer and the ruler lie in canvas (the compass marks between pointerEnd and
  // rulerBegin): they move from paint to paint, the compass with every heading step; the rest of
  // the canvas list (rings, spokes) seldom does, so a painter may keep that part drawn.
  size_t pointerBegin = 0, pointerEnd = 0, rulerBegin = 0;
  bool rebuilt = false;  // false when the inputs equalled the previous paint's
  // "Distance: %s", set on the paints where it is due (at most every 2 s while
  // a ruler shows).
  std::string distanceStatus;
};

struct OverlayState {
  OverlayFrame frame;
  InfoStripTexts texts;  // the strip lines last formatted (the screenshot redraws them)
  OverlayInput previous;
  bool havePrevious = false;
  std::string distanceText;
  bool clockStarted = false;
  uint32_t lastDistanceReportMs = 0;
};

constexpr uint32_t kStatusReportPeriodMs = 2000;

// The per-paint entry point. nowMs: a millisecond clock (for the distance
// report's rate).
const OverlayFrame& buildOverlayFrame(OverlayState& state, const OverlayInput& in, uint32_t nowMs);

// The strip texts as a screenshot draws them straight onto the canvas (white,
// 12 px, x = 0): nothing unless showInfo is 1; the cursor line is the one last
// formatted while a fix was present.
void buildScreenshotStrip(const OverlayState& state, const OverlayInput& in, OverlayList& out);

}  // namespace sk720
