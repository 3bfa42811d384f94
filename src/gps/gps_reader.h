#pragma once
// The GPS reader loop: reads the receiver's port, feeds the NMEA parser and keeps a GpsFix
// current. Portable; the Windows layer runs it on its own thread, tests on std::thread.
#include <atomic>
#include <string>

#include "base/status_text.h"
#include "gps/gps_fix.h"
#include "gps/nav_info.h"
#include "link/serial_port.h"

namespace sk720 {

// Writes the record's position, dilution, quality and fix type into `fix`, field by field.
void publishGpsFix(const NavInfo& nav, GpsFix& fix);

// Runs until a read fails (the port was closed or the device went away) or `stop` is raised.
// Publishes after every non-empty read. Leaves `fix` untouched when the parser cannot start.
// With `newest`, every whole sentence read ("$..." up to its line end) is written there too.
void runGpsReader(SerialPort& port, GpsFix& fix, const std::atomic<bool>& stop,
                  StatusText* newest = nullptr);

// Collects the receiver's bytes into lines and keeps the newest NMEA sentence.
class SentenceLines {
 public:
  // Returns true when a new sentence ended in these bytes.
  bool feed(const uint8_t* bytes, int32_t n);
  const std::string& newest() const { return newest_; }

 private:
  static constexpr size_t kMaxLine = 120;  // longer than any sentence: noise, dropped
  std::string line_, newest_;
  bool overflow_ = false;
};

}  // namespace sk720
