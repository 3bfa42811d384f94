#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/serial_port_win32.h"
#include "records/recorder_win32.h"
#include "sk720/capture_platform.h"

namespace sk720::cli {
namespace {

// "COM7", "\\.\COM7" or "7".
uint32_t portNumberOf(const std::string& device) {
  std::string s = device;
  if (s.rfind("\\\\.\\", 0) == 0) s = s.substr(4);
  if (s.size() > 3 && (s[0] == 'C' || s[0] == 'c') && (s[1] == 'O' || s[1] == 'o') &&
      (s[2] == 'M' || s[2] == 'm')) {
    s = s.substr(3);
  }
  char* end = nullptr;
  const unsigned long n = std::strtoul(s.c_str(), &end, 10);
  return (end && *end == 0 && n > 0 && n < 256) ? uint32_t(n) : 0;
}

std::string lastErrorText() {
  wchar_t* text = nullptr;
  const DWORD code = GetLastError();
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (text) {
    char buf[512];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, sizeof buf, nullptr, nullptr);
    out = buf;
    LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  }
  return out.empty() ? "system error " + std::to_string(code) : out;
}

class ComPorts : public PortFactory {
 public:
  ComPorts(std::string head, std::string gps) : head_(std::move(head)), gps_(std::move(gps)) {}
  std::unique_ptr<SerialPort> openHeadPort(uint32_t, std::string& reason) override {
    return open(head_, 0, reason);
  }
  std::unique_ptr<SerialPort> openGpsPort(uint32_t, int32_t baud, std::string& reason) override {
    return open(gps_, baud, reason);
  }

 private:
  static std::unique_ptr<SerialPort> open(const std::string& device, int32_t gpsBaud,
                                          std::string& reason) {
    const uint32_t n = portNumberOf(device);
    if (n == 0) {
      reason = "not a COM port: " + device;
      return nullptr;
    }
    const HANDLE h = gpsBaud ? sk720::openGpsPort(n, gpsBaud) : sk720::openHeadPort(n);
    if (h == INVALID_HANDLE_VALUE) {
      reason = lastErrorText();
      return nullptr;
    }
    return adoptPortHandle(h);
  }
  std::string head_, gps_;
};

}  // namespace

std::unique_ptr<PortFactory> makeCapturePorts(const std::string& headDevice,
                                              const std::string& gpsDevice) {
  return std::make_unique<ComPorts>(headDevice, gpsDevice);
}

RecordStorage& captureRecordStorage() { return overlappedRecordStorage(); }

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace sk720::cli
