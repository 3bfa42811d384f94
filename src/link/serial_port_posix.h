#pragma once
// Serial ports on POSIX systems: raw 8N1 without flow control, the serial read rule built on
// poll(), and a listing of serial devices in the same table as the Windows port list.
//
// Port numbers on POSIX (there is no "COMn"): /dev/ttyS<n> is n + 1 (as COM1 is the first
// on-board port), /dev/ttyUSB<n> is 100 + n, /dev/ttyACM<n> is 200 + n, and any other device a
// /dev/serial/by-id link points at takes 300, 301, ... in name order. A by-id link is listed
// under its device's number with the link as the name, in place of the bare device.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/com_port.h"
#include "link/serial_port.h"

namespace sk720 {

// Opens a device at a rate (8N1, exclusive). nullptr on failure with a one-line reason.
std::unique_ptr<SerialPort> openSerialDevice(const std::string& path, int32_t baud,
                                             std::string* error = nullptr);
// Wraps an open descriptor (a pseudo-terminal master, say); the port closes it.
std::unique_ptr<SerialPort> adoptSerialDescriptor(int fd);
// Puts a descriptor into raw 8N1 at a rate; false with a reason when the rate is not supported.
bool configureSerialDescriptor(int fd, int32_t baud, std::string* error = nullptr);
bool posixRateSupported(int32_t baud);

// The head port (115200) and the GPS port by table number; nullptr when it cannot be opened.
std::unique_ptr<SerialPort> openHeadPort(uint32_t portNumber);
std::unique_ptr<SerialPort> openGpsPort(uint32_t portNumber, int32_t baud);

// Fills a zero-filled table of kComPortTableSize entries; true when the device folder was read.
bool enumerateSerialDevices(ComPortEntry* table);
std::string serialDevicePath(uint32_t portNumber);  // empty when no such port

// The numbering rule over (listed path, device it resolves to) pairs, for the listing and tests.
std::vector<std::pair<uint32_t, std::string>> numberSerialDevices(
    const std::vector<std::pair<std::string, std::string>>& devices);

}  // namespace sk720
