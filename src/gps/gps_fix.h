#pragma once
// The process-wide GPS state: written by the GPS reader and by playback, read by the display and
// the recorder without a lock, hence atomics.
#include <atomic>
#include <cstdint>

namespace sk720 {

struct GpsFix {
  std::atomic<float> lat{0.0f};     // radians, north positive
  std::atomic<float> lon{0.0f};     // radians, east positive
  std::atomic<float> pdop{100.0f};  // 0.0 = no dilution value received
  std::atomic<int32_t> sig{0};      // fix quality as GGA reports it; 0 = no fix
  std::atomic<int32_t> fix{0};      // GSA fix type: 1 none, 2 2D, 3 3D
};

// Back to the start values: no position, no fix.
void clearGpsFix(GpsFix& fix);

// The one instance the program uses; engines take a GpsFix& so that tests can use their own.
GpsFix& processGpsFix();

}  // namespace sk720
