#pragma once
// The echo trace strip: the newest echo line as a filled amplitude polygon over
// the right half, with a three-line dashed grid and two frames.
#include <cstdint>
#include <vector>

namespace sk720 {

struct TracePoint {
  int32_t x = 0, y = 0;
};

// Samples shown for display range index 0..14 (clamped).
int32_t echoTraceSamples(int32_t displayRangeIndex);

// The polygon of N + 2 points for a line of values in a W x H window, written
// into out (its storage is reused from paint to paint). values must hold at
// least N entries.
void echoTracePolygon(const uint16_t *values, int32_t sampleCount,
                      int32_t width, int32_t height,
                      std::vector<TracePoint> &out);

// Grid line heights (y of the three dashed lines) and the two frame polygons.
struct EchoTraceGrid {
  int32_t gridY[3] = {};
  TracePoint leftFrame[4];
  TracePoint rightFrame[4];
};
EchoTraceGrid echoTraceGrid(int32_t width, int32_t height);

} // namespace sk720
