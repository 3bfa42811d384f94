#pragma once
// The echo trace strip: the newest echo line as a filled amplitude polygon over
// the right half, with a three-line dashed grid and two frames.
#include <array>
#include <cstdint>
#include <string>
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
void echoTracePolygon(const uint16_t* values, int32_t sampleCount, int32_t width, int32_t height,
                      std::vector<TracePoint>& out);

// Grid line heights (y of the three dashed lines) and the two frame polygons.
struct EchoTraceGrid {
  int32_t gridY[3] = {};
  TracePoint leftFrame[4];
  TracePoint rightFrame[4];
};
EchoTraceGrid echoTraceGrid(int32_t width, int32_t height);

// The text area's four-line history, oldest first: a text that differs from the newest entry
// is added, and the oldest goes when all four are taken.
class GpsTextHistory {
 public:
  static constexpr size_t kLines = 4;
  static constexpr int32_t kLineHeight = 11;  // px, the first line at y = 0
  void push(const std::string& text);
  size_t size() const { return count_; }
  const std::string& line(size_t i) const { return lines_[i]; }

 private:
  std::array<std::string, kLines> lines_;
  size_t count_ = 0;
};

// What feeds the history: the receiver's newest sentence while one is read and has sent one,
// otherwise the information strip's own GPS line, so that the two never disagree.
const std::string& gpsTraceText(bool receiverRead, const std::string& newestSentence,
                                const std::string& stripGpsLine);

}  // namespace sk720
