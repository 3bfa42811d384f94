// The GPS reader loop against the simulated receiver over a real pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "gps/gps_reader.h"
#include "link/serial_port_posix.h"
#include "sim/gps_receiver_sim.h"
#include "sim/pty_posix.h"

namespace sk720 {
namespace {

// Just enough of a serial port over a terminal descriptor: the 100 ms read rule, and a close
// that another thread may call while a read waits (it takes effect within one wait).
class TerminalPort : public SerialPort {
 public:
  explicit TerminalPort(int fd) : fd_(fd) {}
  ~TerminalPort() override { ::close(fd_); }
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    if (closed_.load()) return -5;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (closed_.load() || ready < 0) return -5;
    if (ready == 0) return 0;
    const ssize_t n = ::read(fd_, dst, size_t(maxBytes));
    if (n < 0 && errno == EAGAIN) return 0;
    return n > 0 ? int32_t(n) : -5;
  }
  int32_t write(const uint8_t*, int32_t size) override { return size; }
  void flush() override {}
  bool setBaud(int32_t) override { return true; }
  void close() override { closed_.store(true); }

 private:
  int fd_;
  std::atomic<bool> closed_{false};
};

std::string linkPath(const char* name) {
  return ::testing::TempDir() + "sk720-" + name + "-" + std::to_string(::getpid());
}

// Waits (bounded) until the reader has published a 3D fix.
bool waitForFix(const GpsFix& fix) {
  for (int i = 0; i < 300 && !(fix.sig.load() == 1 && fix.fix.load() == 3); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return fix.sig.load() == 1 && fix.fix.load() == 3;
}

TEST(GpsReaderOverPty, PublishesTheSimulatedFixAndEndsWhenThePortCloses) {
  const std::string link = linkPath("gps");
  sim::PtyLink pty;
  std::string error;
  ASSERT_TRUE(pty.open(link, error)) << error;
  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  TerminalPort port(fd);
  GpsFix fix;
  std::atomic<bool> stop{false};
  auto reader = std::async(std::launch::async, [&] { runGpsReader(port, fix, stop); });

  sim::GpsSimPlan plan;
  plan.startLatDeg = -33.8568;
  plan.startLonDeg = 151.2153;
  plan.hdop = 1.2;
  plan.vdop = 1.6;
  sim::GpsReceiverSim receiver(plan);
  const double latDeg = receiver.latDeg();
  const double lonDeg = receiver.lonDeg();
  for (const std::string& piece : receiver.chunk(receiver.nextEpoch(), 17)) {
    ASSERT_EQ(pty.write(piece.data(), piece.size()), int32_t(piece.size()));
  }
  ASSERT_TRUE(waitForFix(fix));
  EXPECT_NEAR(fix.lat.load() * 180 / M_PI, latDeg, 1e-4);
  EXPECT_NEAR(fix.lon.load() * 180 / M_PI, lonDeg, 1e-4);
  EXPECT_FLOAT_EQ(fix.pdop.load(), 2.0f);

  port.close();
  ASSERT_EQ(reader.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  pty.close();
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link left behind";
}

// Over the program's own POSIX serial port this time.
TEST(GpsReaderOverPty, EndsWhenTheReceiverGoesAway) {
  sim::PtyLink pty;
  std::string error;
  ASSERT_TRUE(pty.open("", error)) << error;
  std::unique_ptr<SerialPort> port = openSerialDevice(pty.slavePath(), 4800, &error);
  ASSERT_TRUE(port) << error;
  GpsFix fix;
  std::atomic<bool> stop{false};
  auto reader = std::async(std::launch::async, [&] { runGpsReader(*port, fix, stop); });
  sim::GpsReceiverSim receiver{sim::GpsSimPlan{}};
  const std::string epoch = receiver.nextEpoch();
  ASSERT_EQ(pty.write(epoch.data(), epoch.size()), int32_t(epoch.size()));
  ASSERT_TRUE(waitForFix(fix));
  pty.close();  // hang-up: the next read fails
  ASSERT_EQ(reader.wait_for(std::chrono::seconds(3)), std::future_status::ready);
}

}  // namespace
}  // namespace sk720
