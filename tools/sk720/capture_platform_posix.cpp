#include <unistd.h>

#include "link/serial_port_posix.h"
#include "sk720/capture_platform.h"

namespace sk720::cli {
namespace {

class DevicePorts : public PortFactory {
 public:
  DevicePorts(std::string head, std::string gps) : head_(std::move(head)), gps_(std::move(gps)) {}
  std::unique_ptr<SerialPort> openHeadPort(uint32_t, std::string& reason) override {
    return openSerialDevice(head_, 115200, &reason);
  }
  std::unique_ptr<SerialPort> openGpsPort(uint32_t, int32_t baud, std::string& reason) override {
    return openSerialDevice(gps_, baud, &reason);
  }

 private:
  std::string head_, gps_;
};

}  // namespace

std::unique_ptr<PortFactory> makeCapturePorts(const std::string& headDevice,
                                              const std::string& gpsDevice) {
  return std::make_unique<DevicePorts>(headDevice, gpsDevice);
}

RecordStorage& captureRecordStorage() { return streamRecordStorage(); }

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace sk720::cli
