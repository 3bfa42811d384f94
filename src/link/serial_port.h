#pragma once
// A serial port as the layers above see it: reads follow the serial read rule of ByteSource
// (what is waiting at once, else up to about 100 ms for the first byte, else 0 bytes).
#include <cstdint>

#include "base/byte_source.h"

namespace sk720 {

class SerialPort : public ByteSource {
 public:
  // Writes the whole buffer; returns the byte count, or -5 on failure.
  virtual int32_t write(const uint8_t* data, int32_t size) = 0;
  // Pushes written bytes out to the device (after each command frame).
  virtual void flush() = 0;
  // Applies a new line rate (8N1) without purging; false when the rate cannot be set.
  virtual bool setBaud(int32_t baud) = 0;
  virtual void close() = 0;
  // A read that waits at most waitMs (up to 100) for the first byte; a device that paces its own
  // output (the simulated head) uses it to listen between two records. Ports that cannot bound
  // the wait follow the plain read rule.
  virtual int32_t readWithin(uint8_t* dst, int32_t maxBytes, uint32_t waitMs) {
    (void)waitMs;
    return read(dst, maxBytes);
  }
};

}  // namespace sk720
