#include "sk720/turn_split.h"

#include <algorithm>
#include <cstdlib>

#include "scan/line_store.h"

namespace sk720::cli {

bool TurnSplitter::startsTurn(int32_t line, bool sector) {
  const bool turned = detectTurn(previousSide_, line);
  if (!sector) return turned && pings_ > 0;
  if (previousLine_ < 0) return false;
  int32_t delta = line - previousLine_;
  if (delta > kLines / 2) delta -= kLines;
  if (delta < -kLines / 2) delta += kLines;
  if (delta == 0) return false;
  const int32_t dir = delta > 0 ? 1 : -1;
  const bool reversed = direction_ != 0 && dir != direction_;
  direction_ = dir;
  return reversed && pings_ > 0;
}

void TurnSplitter::mark(int32_t line) {
  if (line < 0 || line >= kLines) return;  // the spare line is never shown
  if (!written_[size_t(line)]) ++count_;
  written_[size_t(line)] = 1;
}

void TurnSplitter::add(int32_t line) {
  ++pings_;
  mark(line);
  // The store's gap fill: fewer than 33 lines apart, every line from the previous one up to the
  // new one receives the new line's data.
  if (previousLine_ >= 0) {
    int32_t p = previousLine_, l = line;
    if (l == 0 && p > kLines / 2)
      l = kLines;
    else if (l > kLines / 2 && p == 0)
      p = kLines;
    if (std::abs(p - l) < 33) {
      for (int32_t i = p < l ? p : l; i <= (p < l ? l : p); ++i) mark(i);
    }
  }
  previousLine_ = line;
}

void TurnSplitter::beginTurn() {
  std::fill(written_.begin(), written_.end(), uint8_t(0));
  count_ = 0;
  pings_ = 0;
}

void TurnSplitter::beginRecording() {
  beginTurn();
  previousLine_ = -1;
  direction_ = 0;
}

bool TurnSplitter::complete(bool sector, int32_t sectorWidthLines, int32_t stepLines) const {
  // The last ping before zero leaves the lines up to zero for the next turn's gap fill: a turn
  // that ends a recording misses them.
  if (!sector) return count_ + stepLines >= kLines;
  return count_ + 2 * stepLines >= sectorWidthLines;
}

bool sectorModeOf(uint32_t commandWord) { return ((commandWord >> 29) & 1) == 0; }

int32_t sectorWidthLinesOf(uint32_t commandWord) {
  return 400 * int32_t(((commandWord >> 27) & 3) + 1);
}

int32_t stepLinesOf(uint32_t commandWord) {
  const uint32_t code = (commandWord >> 20) & 15;
  return code >= 1 && code <= 5 ? 1 << (code - 1) : 1;
}

}  // namespace sk720::cli
