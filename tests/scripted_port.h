#pragma once
// A serial port that hands out scripted reads. Each entry of `script` is read in pieces of at
// most `chunk` bytes ("" is a read that found nothing), each piece moving the clock by
// `msPerRead`. Once the script is used up, a port without a clock (or `failing`) fails every
// read; one with a clock finds nothing (or one 'z' with `trickle`) and lets 100 ms pass.
#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <string>

#include "base/clock.h"
#include "link/serial_port.h"

namespace sk720::testing {

class ScriptedPort : public SerialPort {
 public:
  explicit ScriptedPort(ManualClock* clock = nullptr) : clock_(clock) {}
  void then(const std::string& bytes) { script.push_back(bytes); }
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    ++reads;
    // `raise` is set once the clock reaches raiseAtMs.
    if (raise && raiseAtMs && clock_->nowMs() >= raiseAtMs) raise->store(true);
    if ((failAfter >= 0 && reads > failAfter) || (script.empty() && (failing || !clock_)))
      return ++failedReads, -5;
    if (script.empty()) {
      clock_->advance(100);
      if (trickle) *dst = 'z';
      return trickle ? 1 : 0;
    }
    std::string& next = script.front();
    const int32_t n = std::min({maxBytes, chunk, int32_t(next.size())});
    std::copy_n(next.begin(), n, dst);
    next.erase(0, size_t(n));
    if (next.empty()) script.pop_front();
    if (clock_) clock_->advance(msPerRead);
    return n;
  }
  int32_t write(const uint8_t* data, int32_t size) override {
    written.append(reinterpret_cast<const char*>(data), size_t(size));
    return size;
  }
  void flush() override {}
  bool setBaud(int32_t) override { return true; }
  uint32_t bitsPerSecond() override { return rate; }
  void close() override {}

  std::deque<std::string> script;
  std::string written;
  bool failing = false, trickle = false;
  int reads = 0, failedReads = 0, failAfter = -1;
  int32_t chunk = INT32_MAX;
  uint32_t msPerRead = 0, rate = 0, raiseAtMs = 0;
  std::atomic<bool>* raise = nullptr;

 private:
  ManualClock* clock_;
};

}  // namespace sk720::testing
