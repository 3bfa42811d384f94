#pragma once
// Millisecond clock and sleeps behind an interface, so that every time-out can be tested without
// waiting in real time.
#include <atomic>
#include <cstdint>

namespace sk720 {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds from an arbitrary origin; wraps like a 32-bit tick counter.
  virtual uint32_t nowMs() = 0;
  virtual void sleepMs(uint32_t ms) = 0;
};

// Sleeps ms in slices of at most 100 ms, watching a stop request (may be null);
// false when the request ended the sleep early.
bool sleepWatching(Clock& clock, uint32_t ms, const std::atomic<bool>* stop);

// The process's real clock (steady, not wall time).
Clock& systemClock();

// A clock that moves only when told to; sleeping advances it.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint32_t start = 0) : now_(start) {}
  uint32_t nowMs() override { return now_; }
  void sleepMs(uint32_t ms) override { now_ += ms; }
  void advance(uint32_t ms) { now_ += ms; }

 private:
  uint32_t now_;
};

}  // namespace sk720
