#include "views/echo_trace.h"

#include <algorithm>

namespace sk720 {

namespace {

constexpr int32_t kTraceSamples[15] = {240,  368,  448,  704,  848,   1040,  1376, 2048,
                                       2704, 4048, 6048, 8000, 13340, 16000, 20000};
// The last samples of a line lie beyond the right edge: the first N - 40 span the half exactly.
constexpr int32_t kClippedSamples = 40;
constexpr int32_t kMaxValue = 4095;

}  // namespace

int32_t echoTraceSamples(int32_t displayRangeIndex) {
  return kTraceSamples[std::clamp(displayRangeIndex, 0, 14)];
}

void echoTracePolygon(const uint16_t* values, int32_t sampleCount, int32_t width, int32_t height,
                      std::vector<TracePoint>& out) {
  out.clear();
  if (sampleCount <= 0 || values == nullptr) return;
  const int64_t half = width / 2;
  const int64_t span = std::max(sampleCount - kClippedSamples, 1);
  const int32_t baseline = height - 2;
  out.reserve(size_t(sampleCount) + 2);
  for (int32_t i = 0; i < sampleCount; ++i) {
    // Values are 12 bits; anything above stays at full scale instead of leaving the window.
    const int64_t v = std::min<int64_t>(values[i], kMaxValue);
    out.push_back({int32_t(half * i / span + half), int32_t(baseline - v * height / 4096)});
  }
  out.push_back({out.back().x, baseline});
  out.push_back({int32_t(half), baseline});
}

EchoTraceGrid echoTraceGrid(int32_t width, int32_t height) {
  EchoTraceGrid g;
  for (int32_t k = 1; k <= 3; ++k) g.gridY[k - 1] = (height - 2) * k / 4;
  const int32_t half = width / 2;
  g.leftFrame[0] = {0, 0};
  g.leftFrame[1] = {half, 0};
  g.leftFrame[2] = {half, height - 1};
  g.leftFrame[3] = {0, height - 1};
  g.rightFrame[0] = {half, 0};
  g.rightFrame[1] = {width - 1, 0};
  g.rightFrame[2] = {width - 1, height - 1};
  g.rightFrame[3] = {half, height - 1};
  return g;
}

void GpsTextHistory::push(const std::string& text) {
  if (count_ > 0 && lines_[count_ - 1] == text) return;
  if (count_ == kLines) {
    std::rotate(lines_.begin(), lines_.begin() + 1, lines_.end());
    --count_;
  }
  lines_[count_++] = text;
}

const std::string& gpsTraceText(bool receiverRead, const std::string& newestSentence,
                                const std::string& stripGpsLine) {
  return receiverRead && !newestSentence.empty() ? newestSentence : stripGpsLine;
}

}  // namespace sk720
