#pragma once
// Cuts a stream of echo lines into turns (or sector sweeps) and keeps which display lines each
// one wrote, the gap fill included, so that a turn's picture shows only its own lines.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sk720::cli {

class TurnSplitter {
 public:
  TurnSplitter() : written_(kLines, 0) {}

  // True when `line` begins a new turn: the playback's own turn detection for a full circle; a
  // reversal of the sweep in a sector. Call before add(), for every line in order.
  bool startsTurn(int32_t line, bool sector);
  // Counts `line` into the current turn, with the lines the gap fill from the previous one writes.
  void add(int32_t line);
  // Begins the next turn: the lines counted so far are forgotten (the sweep direction and the
  // previous line are kept, as the head keeps moving).
  void beginTurn();
  // A new recording: nothing of the previous one carries over but the playback's turn side.
  void beginRecording();

  bool wrote(int32_t line) const { return written_[size_t(line)] != 0; }
  int32_t linesWritten() const { return count_; }
  int32_t pings() const { return pings_; }
  // A full circle is complete when every line was written but for one step's worth at the seam;
  // a sweep when it spans the sector (less one step of slack at each end, where the head turns).
  bool complete(bool sector, int32_t sectorWidthLines, int32_t stepLines) const;

  static constexpr int32_t kLines = 3200;

 private:
  void mark(int32_t line);
  std::vector<uint8_t> written_;
  int32_t count_ = 0;
  int32_t pings_ = 0;
  int32_t previousLine_ = -1;
  int32_t previousSide_ = 0;
  int32_t direction_ = 0;  // +1, -1, 0 before the head moved
};

// Sector width (lines) and motor step (lines per ping) the command word describes.
int32_t sectorWidthLinesOf(uint32_t commandWord);
bool sectorModeOf(uint32_t commandWord);
int32_t stepLinesOf(uint32_t commandWord);

}  // namespace sk720::cli
