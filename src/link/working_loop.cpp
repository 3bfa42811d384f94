#include "link/working_loop.h"

#include "scan/heading.h"

namespace sk720 {

void updateHeading(HeadingFix& fix, const DataHeader& h, uint32_t nowMs, ScanInputs& inputs) {
  if (h.headersize <= 28) {
    inputs.headingRadians.store(0.0f, std::memory_order_relaxed);
    return;
  }
  const bool up = (inputs.lastCommandWord.load(std::memory_order_relaxed) >> 4) & 1;
  // 64-bit: the fields come off the wire and may hold anything.
  int64_t c = up ? int64_t(h.compass) : 28800 - int64_t(h.compass);
  if (c > 14400) c -= 28800;
  int64_t g = up ? int64_t(h.gyroangle) : 28800 - int64_t(h.gyroangle);
  if (g > 14400) g -= 28800;

  const bool wordChanged = h.commandid != fix.fixCommandWord;
  if (nowMs - fix.fixMs > kHeadingFixAgeMs || wordChanged) {
    if (h.angle < 161 || h.angle > 28640) {  // within 2 degrees of zero
      fix.fixCommandWord = h.commandid;
      fix.fixMs = nowMs;
      fix.offset = c - g;
      inputs.compassValid.store(1, std::memory_order_relaxed);
    } else if (wordChanged) {
      inputs.compassValid.store(0, std::memory_order_relaxed);  // the old offset stays in use
    }
  }
  inputs.headingRadians.store(headingRadiansOf(g + fix.offset), std::memory_order_relaxed);
}

}  // namespace sk720
