#pragma once
// Two serial ports joined back to back in memory: what one end writes the other reads. Tests and
// the simulated head use it in place of a cable.
//
// Threaded use: each end's read follows the serial read rule in real time (what is waiting, else
// up to 100 ms for the first byte). Single-threaded use: with a pump set, a host read that finds
// nothing runs the pump (a simulated head's service step) and then lets up to 100 ms pass on the
// clock in 10 ms steps, pumping after each, so that time-outs run without real waiting; the
// device end's reads then never wait.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/clock.h"
#include "link/serial_port.h"

namespace sk720 {

class LoopbackPair {
 public:
  explicit LoopbackPair(Clock& clock = systemClock());
  ~LoopbackPair();
  LoopbackPair(const LoopbackPair&) = delete;
  LoopbackPair& operator=(const LoopbackPair&) = delete;

  SerialPort& host();
  SerialPort& device();

  void setPump(std::function<void()> pump);
  // The cable is pulled: every further read and write on either end fails with -5.
  void disconnect();
  int32_t hostBaud() const;
  int32_t deviceBaud() const;
  uint64_t bytesWrittenByHost() const;

  struct Shared;

 private:
  class End;
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<End> host_, device_;
};

}  // namespace sk720
