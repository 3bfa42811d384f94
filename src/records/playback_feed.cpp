#include "records/playback_feed.h"

#include "records/ping_record.h"
#include "scan/heading.h"

namespace sk720 {

bool feedPlaybackRecord(PlaybackFeedState& state, const uint8_t* record, LineStore& store,
                        const ViewSettings& view, ScanInputs& shared, GpsFix& gps) {
  const DataHeader h = parseDataHeader(record);
  if (h.angle == kNoEchoAngle) return false;

  // The head-up bit in force is that of the record before this one.
  const bool headUp = (shared.lastCommandWord.load(std::memory_order_relaxed) >> 4) & 1;
  const int32_t line = lineIndexOf(h.angle, headUp);
  if (detectTurn(state.previousSide, line))
    shared.turnCompleted.store(1, std::memory_order_relaxed);

  shared.lastDeviceId.store(h.deviceid, std::memory_order_relaxed);
  shared.lastCommandWord.store(h.commandid, std::memory_order_relaxed);
  shared.currentRangeMm.store(RangeFromRecordLength(h.samples), std::memory_order_relaxed);

  state.previousLine = storeEchoLine(store, record, headUp, view, state.previousLine);
  store.currentLineIndex.store(state.previousLine, std::memory_order_relaxed);

  if (h.headersize == 44) {
    gps.lat.store(h.latitude, std::memory_order_relaxed);
    gps.lon.store(h.longitude, std::memory_order_relaxed);
    if (h.latitude != 0.0f && h.longitude != 0.0f) {  // a NaN counts as a position
      gps.sig.store(1, std::memory_order_relaxed);
      gps.fix.store(3, std::memory_order_relaxed);
      gps.pdop.store(0.0f, std::memory_order_relaxed);
    } else {
      gps.sig.store(0, std::memory_order_relaxed);
    }
  } else {
    gps.sig.store(0, std::memory_order_relaxed);
    if (h.headersize <= 28) {
      shared.headingRadians.store(0.0f, std::memory_order_relaxed);
      shared.compassFieldsPresent.store(0, std::memory_order_relaxed);
      return true;
    }
  }

  const bool up = (h.commandid >> 4) & 1;
  // 64-bit so that a damaged field cannot overflow.
  int64_t c = up ? int64_t(h.compass) : 28800 - int64_t(h.compass);
  if (c > 14400) c -= 28800;
  int64_t g = up ? int64_t(h.gyroangle) : 28800 - int64_t(h.gyroangle);
  if (g > 14400) g -= 28800;
  shared.compassFieldsPresent.store((h.compass != 0 || h.gyroangle != 0) ? 1 : 0,
                                    std::memory_order_relaxed);
  if (h.angle > 28640 || h.angle <= 160) {
    state.headingOffset = c - g;
    shared.compassValid.store(1, std::memory_order_relaxed);
  }
  shared.headingRadians.store(headingRadiansOf(g + state.headingOffset), std::memory_order_relaxed);
  return true;
}

}  // namespace sk720
