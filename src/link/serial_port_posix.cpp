#include "link/serial_port_posix.h"

#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace sk720 {

namespace {

constexpr uint32_t kWriteStallMs = 5000;

bool speedFor(int32_t baud, speed_t& speed) {
  switch (baud) {
    case 4800:
      speed = B4800;
      return true;
    case 9600:
      speed = B9600;
      return true;
    case 19200:
      speed = B19200;
      return true;
    case 38400:
      speed = B38400;
      return true;
    case 57600:
      speed = B57600;
      return true;
    case 115200:
      speed = B115200;
      return true;
#ifdef B230400
    case 230400:
      speed = B230400;
      return true;
#endif
#ifdef B460800
    case 460800:
      speed = B460800;
      return true;
#endif
#ifdef B921600
    case 921600:
      speed = B921600;
      return true;
#endif
#ifdef B1000000
    case 1000000:
      speed = B1000000;
      return true;
#endif
    default:
      return false;
  }
}

uint32_t rateOf(speed_t speed) {
  for (int32_t baud : {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1000000}) {
    speed_t s;
    if (speedFor(baud, s) && s == speed) return uint32_t(baud);
  }
  return 0;
}

void setError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

// Another thread may close the port while a reader waits in it (the disconnect closes the GPS
// port under the running GPS reader): the descriptor is then closed by the last user, so it is
// never closed, and perhaps reused, under a running read; the reader sees -5 within one read.
class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override { close(); }

  int32_t read(uint8_t* dst, int32_t maxBytes) override { return readWithin(dst, maxBytes, 100); }

  int32_t readWithin(uint8_t* dst, int32_t maxBytes, uint32_t waitMs) override {
    const int fd = enter();
    if (fd < 0) return -5;
    const int32_t r = readFrom(fd, dst, maxBytes, waitMs > 100 ? 100 : int(waitMs));
    return leave() ? r : -5;
  }

  int32_t write(const uint8_t* data, int32_t size) override {
    const int fd = enter();
    if (fd < 0) return -5;
    const int32_t r = writeTo(fd, data, size);
    return leave() ? r : -5;
  }

  // The rate the device runs at now, as the driver has it.
  uint32_t bitsPerSecond() override {
    const int fd = enter();
    if (fd < 0) return 0;
    termios t{};
    const bool ok = tcgetattr(fd, &t) == 0;
    leave();
    return ok ? rateOf(cfgetospeed(&t)) : 0;
  }

  // write() has handed the bytes to the driver already; waiting for the wire (tcdrain) could
  // block for ever on a pseudo-terminal nobody reads.
  void flush() override {}

  bool setBaud(int32_t baud) override {
    const int fd = enter();
    if (fd < 0) return false;
    const bool ok = configureSerialDescriptor(fd, baud);
    return leave() && ok;
  }

  void close() override {
    std::lock_guard<std::mutex> g(lock_);
    closed_ = true;
    if (busy_ == 0 && fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int enter() {
    std::lock_guard<std::mutex> g(lock_);
    if (closed_ || failed_ || fd_ < 0) return -1;
    ++busy_;
    return fd_;
  }
  bool closing() {
    std::lock_guard<std::mutex> g(lock_);
    return closed_;
  }
  // False when the port was closed meanwhile.
  bool leave() {
    std::lock_guard<std::mutex> g(lock_);
    --busy_;
    if (closed_ && busy_ == 0 && fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
    return !closed_;
  }

  static int32_t readFrom(int fd, uint8_t* dst, int32_t maxBytes, int waitMs) {
    if (maxBytes <= 0) return 0;
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
      r = ::poll(&p, 1, waitMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -5;
    if (r == 0) return 0;
    if (p.revents & (POLLERR | POLLNVAL)) return -5;
    const ssize_t n = ::read(fd, dst, size_t(maxBytes));
    if (n > 0) return int32_t(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return -5;  // end of file or an error: the device is gone
  }

  // The whole buffer or a failure: a frame cut short would leave half a command on the wire, so
  // a device that is slow to take bytes is waited for as long as it keeps taking them. One that
  // takes nothing at all for kWriteStallMs (a line without flow control always drains) has
  // failed: the port then fails every later call too, so nothing follows the broken frame.
  int32_t writeTo(int fd, const uint8_t* data, int32_t size) {
    using Clock = std::chrono::steady_clock;
    int32_t done = 0;
    Clock::time_point progress = Clock::now();
    while (done < size) {
      const ssize_t n = ::write(fd, data + done, size_t(size - done));
      if (n > 0) {
        done += int32_t(n);
        progress = Clock::now();
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) return fail();
      pollfd p{fd, POLLOUT, 0};
      const int r = ::poll(&p, 1, 100);
      if (r < 0 && errno != EINTR) return fail();
      if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return fail();
      if (closing()) return -5;
      if (Clock::now() - progress > std::chrono::milliseconds(kWriteStallMs)) return fail();
    }
    return done;
  }

  int32_t fail() {
    std::lock_guard<std::mutex> g(lock_);
    failed_ = true;
    return -5;
  }

  std::mutex lock_;
  int fd_;
  int busy_ = 0;
  bool closed_ = false;
  bool failed_ = false;  // a write broke off: the device no longer takes bytes
};

}  // namespace

bool posixRateSupported(int32_t baud) {
  speed_t s;
  return speedFor(baud, s);
}

bool configureSerialDescriptor(int fd, int32_t baud, std::string* error) {
  speed_t speed;
  if (!speedFor(baud, speed)) {
    setError(error, "rate " + std::to_string(baud) + " is not supported on this system");
    return false;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    setError(error, std::string("not a serial device: ") + std::strerror(errno));
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  // HUPCL off: closing the port must not pulse the modem lines the head may be wired to.
  t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  t.c_cflag |= CS8;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0 ||
      tcsetattr(fd, TCSANOW, &t) != 0) {
    setError(error, "cannot set rate " + std::to_string(baud) + ": " + std::strerror(errno));
    return false;
  }
  return true;
}

std::unique_ptr<SerialPort> openSerialDevice(const std::string& path, int32_t baud,
                                             std::string* error) {
  if (!posixRateSupported(baud)) {
    setError(error, "rate " + std::to_string(baud) + " is not supported on this system");
    return nullptr;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    setError(error, path + ": " + std::strerror(errno));
    return nullptr;
  }
  ioctl(fd, TIOCEXCL);  // not shared, as on Windows
  if (!configureSerialDescriptor(fd, baud, error)) {
    ::close(fd);
    return nullptr;
  }
  // Opening raises DTR and RTS on most drivers; the lines stay inactive, as on Windows. A device
  // without modem lines (a pseudo-terminal) refuses, which is harmless.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);
  tcflush(fd, TCIOFLUSH);
  return std::make_unique<PosixSerialPort>(fd);
}

std::unique_ptr<SerialPort> adoptSerialDescriptor(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  return std::make_unique<PosixSerialPort>(fd);
}

std::unique_ptr<SerialPort> openHeadPort(uint32_t portNumber) {
  return openGpsPort(portNumber, 115200);
}

std::unique_ptr<SerialPort> openGpsPort(uint32_t portNumber, int32_t baud) {
  const std::string path = serialDevicePath(portNumber);
  if (path.empty()) return nullptr;
  return openSerialDevice(path, baud);
}

std::vector<std::pair<uint32_t, std::string>> numberSerialDevices(
    const std::vector<std::pair<std::string, std::string>>& devices) {
  auto numberOf = [](const std::string& device) -> uint32_t {
    const std::string base = device.substr(device.rfind('/') + 1);
    const struct {
      const char* prefix;
      uint32_t first;
      uint32_t count;
    } kinds[] = {{"ttyS", 1, 99}, {"ttyUSB", 100, 100}, {"ttyACM", 200, 100}};
    for (const auto& k : kinds) {
      const size_t len = std::strlen(k.prefix);
      if (base.compare(0, len, k.prefix) != 0 || base.size() == len || base.size() > len + 3)
        continue;
      if (base.find_first_not_of("0123456789", len) != std::string::npos) continue;
      const uint32_t n = uint32_t(std::stoul(base.substr(len)));
      if (n < k.count) return k.first + n;
    }
    return 0;
  };
  std::map<std::string, std::string> nameOfDevice;  // device -> the name to show
  for (const auto& [path, device] : devices) {
    const bool byId = path.find("/serial/by-id/") != std::string::npos;
    auto it = nameOfDevice.find(device);
    if (it == nameOfDevice.end() || byId) nameOfDevice[device] = path;
  }
  std::vector<std::pair<uint32_t, std::string>> out;
  uint32_t other = 300;
  for (const auto& [device, name] : nameOfDevice) {  // name order keeps "other" numbers stable
    uint32_t n = numberOf(device);
    if (n == 0) n = other++;
    out.emplace_back(n, name);
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool enumerateSerialDevices(ComPortEntry* table) {
  std::vector<std::pair<std::string, std::string>> devices;
  for (const char* pattern :
       {"/dev/serial/by-id/*", "/dev/ttyUSB*", "/dev/ttyACM*", "/dev/ttyS*"}) {
    glob_t g{};
    if (glob(pattern, 0, nullptr, &g) == 0) {
      for (size_t i = 0; i < g.gl_pathc; ++i) {
        char resolved[PATH_MAX];
        const char* path = g.gl_pathv[i];
        devices.emplace_back(path, realpath(path, resolved) ? resolved : path);
      }
    }
    globfree(&g);
  }
  int32_t count = 0;
  for (const auto& [number, name] : numberSerialDevices(devices)) {
    if (count >= kComPortTableSize - 1) break;
    table[count].portNumber = number;
    setComPortName(table[count], name);
    ++count;
  }
  table[count].portNumber = 0;
  return access("/dev", R_OK) == 0;
}

std::string serialDevicePath(uint32_t portNumber) {
  std::vector<ComPortEntry> table(kComPortTableSize);
  enumerateSerialDevices(table.data());
  for (const ComPortEntry& e : table) {
    if (e.portNumber == 0) break;
    if (e.portNumber == portNumber) return comPortNameUtf8(e);
  }
  return {};
}

}  // namespace sk720
