#pragma once
// The GPS reader loop: reads the receiver's port, feeds the NMEA parser and keeps a GpsFix
// current. Portable; the Windows layer runs it on its own thread, tests on std::thread.
#include <atomic>

#include "gps/gps_fix.h"
#include "gps/nav_info.h"
#include "link/serial_port.h"

namespace sk720 {

// Writes the record's position, dilution, quality and fix type into `fix`, field by field.
void publishGpsFix(const NavInfo& nav, GpsFix& fix);

// Runs until a read fails (the port was closed or the device went away) or `stop` is raised.
// Publishes after every non-empty read. Leaves `fix` untouched when the parser cannot start.
void runGpsReader(SerialPort& port, GpsFix& fix, const std::atomic<bool>& stop);

}  // namespace sk720
