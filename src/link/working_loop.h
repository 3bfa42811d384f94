#pragma once
// Per-record rules of the working loop that do not touch the port: turn detection and the
// heading from the compass and gyro fields.
#include <cstdint>

#include "records/ping_record.h"
#include "scan/scan_image.h"

namespace sk720 {

struct HeadingFix {
  int64_t offset = 0;           // compass minus gyro at the last fix, 1/80 degree
  uint32_t fixMs = 0;           // time of the last fix
  uint32_t fixCommandWord = 0;  // command word at the last fix
  // The first record near zero angle fixes the offset: the last fix lies long in the past.
  static HeadingFix startingAt(uint32_t nowMs) { return HeadingFix{0, nowMs - 180000u, 0}; }
};

constexpr uint32_t kHeadingFixAgeMs = 20000;

// headingRadians (and compassValid) for a record; lastCommandWord must already hold its word.
void updateHeading(HeadingFix& fix, const DataHeader& h, uint32_t nowMs, ScanInputs& inputs);

}  // namespace sk720
