#include "base/clock.h"

#include <chrono>
#include <thread>

namespace sk720 {

namespace {
class SteadyClock : public Clock {
 public:
  uint32_t nowMs() override {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void sleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};
}  // namespace

bool sleepWatching(Clock& clock, uint32_t ms, const std::atomic<bool>* stop) {
  constexpr uint32_t kSliceMs = 100;
  while (ms > 0) {
    if (stop && stop->load(std::memory_order_relaxed)) return false;
    const uint32_t slice = ms < kSliceMs ? ms : kSliceMs;
    clock.sleepMs(slice);
    ms -= slice;
  }
  return !(stop && stop->load(std::memory_order_relaxed));
}

Clock& systemClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace sk720
