#pragma once
// Where the image overlays go: range rings with their labels, grid spokes, the
// pointer, the compass marks on the rim, the heading dial and the ruler. Angles
// are in line-store steps (3200 per turn, step 0 up, counter-clockwise on the
// screen).
#include <cstdint>
#include <string>

#include "scan/overlay_primitives.h"

namespace sk720 {

constexpr uint32_t kRingArgb = 0xFF606060;
constexpr uint32_t kRingLabelArgb = 0xFFC0C0C0;
constexpr uint32_t kPointerArgb = 0xFFC00000;
constexpr uint32_t kCompassMarkArgb = 0xFFFFFFFF;
constexpr uint32_t kCompassLabelArgb = 0xFFC8C8C8;
constexpr uint32_t kRulerArgb = 0xFFF0C0C0;
constexpr uint32_t kDialGreyArgb = 0xFF787878;
constexpr uint32_t kDialRedArgb = 0xFF780000;
constexpr uint32_t kDialCentreTextArgb = 0xFFE6E6E6;
constexpr float kOverlayPenWidth = 2.0f;

struct OverlayCentre {
  int32_t cx = 0, cy = 0;
};

// The image centre: the pan in force while dragging is the one the shown image
// was built with.
OverlayCentre overlayCentre(int32_t imageSize, int32_t panX, int32_t panY, int32_t dragStartPanX,
                            int32_t dragStartPanY, bool dragging);

// P(a, r).
PointF polarPoint(const OverlayCentre& c, double step, double radius);

// A zero direction offset in degrees as a value in -359..359 with the same
// effect.
int32_t reducedZeroOffset(int32_t zeroOffsetDegrees);

struct RingInput {
  int32_t imageSize = 0;
  int32_t displayRangeIndex = 6;
  float fitFactor = 1.0f;
  float imageMaxRange = 0.0f;  // metres to the farthest image pixel
  int32_t currentRangeMm = 0;  // the head's range; rings stop there
};

// The ring label for a ring distance: "%4.1fm" for the 1.5, 2.5, 3, 6 and 7.5 m
// ranges,
// "%4.0fm" otherwise.
void ringLabel(int32_t displayRangeIndex, float metres, std::string& out);

// Appends the rings and labels when draw is set; returns outerRadius (0 when no
// ring fits).
int32_t addRangeRings(OverlayList& out, const OverlayCentre& c, const RingInput& in, bool draw);

void addGridSpokes(OverlayList& out, const OverlayCentre& c, int32_t outerRadius);

void addPointer(OverlayList& out, const OverlayCentre& c, int32_t outerRadius,
                int32_t currentLineIndex, int32_t zeroOffsetDegrees);

// trunc(heading x 1600 / pi) and trunc(heading x 180 / pi); 0 for a heading
// that is not a number or too large to be one.
int32_t headingSteps(float headingRadians);
int32_t headingDegrees(float headingRadians);

// The step of the first (north) compass mark, 0..3199.
int32_t compassBaseStep(int32_t headingSteps, int32_t zeroOffsetDegrees);
// Mark size s at a radius: the height of the equilateral triangle on the chord
// of +-10 steps.
double compassMarkSize(int32_t outerRadius);
void addCompassMarks(OverlayList& out, const OverlayCentre& c, int32_t outerRadius,
                     int32_t headingSteps, int32_t zeroOffsetDegrees);

// The dial's heading, 0..359.
int32_t dialHeading(int32_t headingDegrees, int32_t zeroOffsetDegrees);
// The dial in its own box (0, 0)..(width, height), to be drawn on black and
// OR-combined.
void addHeadingDial(OverlayList& out, int32_t width, int32_t height, int32_t headingDegrees,
                    int32_t zeroOffsetDegrees);

constexpr int32_t kRulerSquareSize = 8;
// Squares, line and the distance label; returns the distance text ("%.2fm") in
// distanceText.
void addRuler(OverlayList& out, float x1, float y1, float x2, float y2, int32_t squareSize,
              float pixelsPerMetre, std::string& distanceText);

}  // namespace sk720
