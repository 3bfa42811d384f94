#pragma once
// The byte stream the record reader and the protocol read from: a serial port or a record file.
#include <cstdint>

namespace sk720 {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Returns what is waiting at once; when nothing is, waits up to about 100 ms for the first
  // byte. Result: the number of bytes read (0 when none came), or -5 when the read failed.
  virtual int32_t read(uint8_t* dst, int32_t maxBytes) = 0;
  // True once a finite source (a file) has nothing left; a live stream never ends.
  virtual bool atEnd() const { return false; }
  // The line rate of a serial link, so that waits for long records can allow
  // for their time on the wire; 0 for sources without one (files, memory).
  virtual uint32_t bitsPerSecond() { return 0; }
};

}  // namespace sk720
