#pragma once
// Serial ports on Windows: the port list from the registry, opening the head and GPS ports with
// the line settings and time-outs the read rule needs, and the port as the core's SerialPort.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "link/com_port.h"
#include "link/serial_port.h"

namespace sk720 {

// Lists "HARDWARE\DEVICEMAP\SERIALCOMM" into a zero-filled table of kComPortTableSize entries.
// False when the key cannot be opened or the buffers not allocated (the reason is left in the
// thread's last error).
bool enumerateComPorts(ComPortEntry* table);

// "\\.\COM%i" opened exclusive and synchronous, 8N1 without flow control, purged, reads that
// return what is there or wait 100 ms for the first byte. INVALID_HANDLE_VALUE on failure.
HANDLE openHeadPort(uint32_t portNumber);  // at 115200
HANDLE openGpsPort(uint32_t portNumber, int32_t baud);
// A fresh line-settings block at the rate, applied without purging.
bool setPortBaud(HANDLE port, int32_t baud);

// The handle as the core's port; the port closes it.
std::unique_ptr<SerialPort> adoptPortHandle(HANDLE port);

// Sends the head driver's diagnostics to the debugger output.
void installDebuggerDiagnostics();

}  // namespace sk720
