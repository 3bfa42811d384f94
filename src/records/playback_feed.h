#pragma once
// What playback does with each valid record: the echo line into the store, and the heading,
// position and status values the display reads. Tools that render files use the same path.
#include <cstdint>

#include "gps/gps_fix.h"
#include "scan/line_store.h"
#include "scan/scan_image.h"
#include "scan/view_settings.h"

namespace sk720 {

// The feeding side's own memory between records.
struct PlaybackFeedState {
  int32_t previousLine = -1;
  int32_t previousSide = 0;   // carries over from one run to the next
  int64_t headingOffset = 0;  // 1/80 degree
};

// Applies one record the reader returned as valid (result 0 or 1). Returns false when the record
// carries no echo line (angle 0xFFFFFFFF) and was skipped.
bool feedPlaybackRecord(PlaybackFeedState& state, const uint8_t* record, LineStore& store,
                        const ViewSettings& view, ScanInputs& shared, GpsFix& gps);

}  // namespace sk720
