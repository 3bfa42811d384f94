#include "gps/gps_reader.h"

#include <cmath>
#include <cstdint>

#include "gps/nmea_callbacks.h"
#include "gps/sentence_parser.h"

namespace sk720 {

void publishGpsFix(const NavInfo& nav, GpsFix& fix) {
  constexpr auto relaxed = std::memory_order_relaxed;
  fix.lat.store(float(NmeaToRadians(nav.lat)), relaxed);
  fix.lon.store(float(NmeaToRadians(nav.lon)), relaxed);
  fix.pdop.store(float(std::sqrt(nav.HDOP * nav.HDOP + nav.VDOP * nav.VDOP)), relaxed);
  fix.sig.store(nav.signal, relaxed);
  fix.fix.store(nav.fixType, relaxed);
}

bool SentenceLines::feed(const uint8_t* bytes, int32_t n) {
  bool ended = false;
  for (int32_t i = 0; i < n; ++i) {
    const char c = char(bytes[i]);
    if (c == '\r' || c == '\n') {
      if (!overflow_ && line_.size() > 1 && line_[0] == '$') {
        newest_ = line_;
        ended = true;
      }
      line_.clear();
      overflow_ = false;
    } else if (line_.size() < kMaxLine) {
      line_ += c;
    } else {
      overflow_ = true;
    }
  }
  return ended;
}

void runGpsReader(SerialPort& port, GpsFix& fix, const std::atomic<bool>& stop,
                  StatusText* newest) {
  // Nobody looks at the parser's messages while the sonar runs.
  setNmeaCallbacks(nullptr, nullptr);
  NavInfo nav;
  nav.Reset();
  SentenceParser parser;
  if (!parser.Create()) return;

  constexpr int32_t kReadSize = 64;
  uint8_t bytes[kReadSize];
  SentenceLines lines;
  while (!stop.load(std::memory_order_relaxed)) {
    const int32_t n = port.read(bytes, kReadSize);
    if (n < 0 || n > kReadSize) break;
    if (n == 0) continue;
    parser.Feed(bytes, n, nav);
    publishGpsFix(nav, fix);
    if (newest && lines.feed(bytes, n)) newest->set(lines.newest());
  }
  parser.Destroy();
}

}  // namespace sk720
