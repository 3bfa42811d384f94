#pragma once
// The playback slider bar's geometry and clicks: arrows at both ends, a thumb
// one turn long on the track between them. All sizes come from the last
// position report.
#include <cstdint>

#include "records/playback.h"

namespace sk720 {

struct SliderRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool contains(int32_t x, int32_t y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
};

struct SliderState {
  int32_t dragging = 0;
  SliderRect thumbRect;
  PlaybackReport report;
  int32_t hover = 0;
  int32_t thumbLength = 0;
  int32_t freeLength = 0;
};

// Bytes of one turn of records: linesPerTurn x recordLength x datasize, in 64
// bits.
uint64_t turnBytes(const PlaybackReport &r);

// Recomputes thumbRect, thumbLength and freeLength for a client of width
// clientRight and height h. Safe before the first report, for files shorter
// than a turn and in narrow windows.
void computeSliderGeometry(SliderState &s, int32_t clientRight, int32_t h);

// The file position under pointer x on the track (thumb centred on the
// pointer), clamped to 0..fileSize; 0 when nothing is known yet.
int64_t sliderPositionAt(const SliderState &s, int32_t x, int32_t clientRight,
                         int32_t h);

// A left click. Returns the seek request to post, or kNoSeekRequest when none
// (a press on the thumb starts a drag instead).
int64_t sliderClick(SliderState &s, int32_t x, int32_t y, int32_t clientRight,
                    int32_t h);

// A pointer move; returns the seek request of a drag, or kNoSeekRequest.
int64_t sliderMouseMove(SliderState &s, int32_t x, int32_t y, bool leftDown,
                        int32_t clientRight, int32_t h);

// A report from the playback thread: ignored while dragging. Returns true when
// it was taken.
bool sliderTakeReport(SliderState &s, const PlaybackReport &r,
                      int32_t clientRight, int32_t h);

// The two arrow triangles, three points each.
struct SliderPoint {
  float x = 0, y = 0;
};
struct SliderArrows {
  SliderPoint left[3];
  SliderPoint right[3];
};
SliderArrows sliderArrows(int32_t width, int32_t h);

} // namespace sk720
