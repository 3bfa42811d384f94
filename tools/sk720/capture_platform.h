#pragma once
// What sk720 capture needs of the system: its ports by device name, its record files, and
// whether the live status line has a terminal to go to.
#include <memory>
#include <string>

#include "link/acquisition.h"
#include "records/record_sink.h"

namespace sk720::cli {

// Opens `headDevice` for the head and `gpsDevice` for the receiver, whatever numbers the connect
// sequence asks for.
std::unique_ptr<PortFactory> makeCapturePorts(const std::string& headDevice,
                                              const std::string& gpsDevice);
RecordStorage& captureRecordStorage();
bool stderrIsTerminal();

}  // namespace sk720::cli
