// The POSIX serial port against the simulated head over a real pseudo-terminal.
#include "link/serial_port_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "gps/gps_reader.h"

#include "link/head_protocol.h"
#include "link/sonar_params.h"
#include "records/ping_record.h"
#include "sim/gps_receiver_sim.h"
#include "sim/head_sim.h"
#include "sim/pty_posix.h"

namespace sk720 {
namespace {

uint32_t msSince(std::chrono::steady_clock::time_point t) {
  return uint32_t(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
          .count());
}

class PtyHead : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    std::string error;
    ASSERT_TRUE(pty.open("", error)) << error;
    devicePort = adoptSerialDescriptor(dup(pty.masterFd()));
  }
  void startHead(const sim::HeadSimOptions& o = {}) {
    head = std::make_unique<sim::HeadSimulator>(*devicePort, systemClock(), o);
    headThread.start([this] { head->run(stop); });
  }
  void TearDown() override {
    stop = true;
    headThread.joinFor(10000);
  }
  sim::PtyLink pty;
  std::unique_ptr<SerialPort> devicePort;
  std::unique_ptr<sim::HeadSimulator> head;
  std::atomic<bool> stop{false};
  WorkerThread headThread;
};

// The line settings at open leave HUPCL off (a pseudo-terminal has no DTR or RTS to look at);
// a write that the device takes only slowly is waited for until all of it is written.
TEST(PosixSerialPortOpen, NoHangupOnCloseAndSlowWritesComplete) {
  sim::PtyLink pty;
  std::string error;
  ASSERT_TRUE(pty.open("", error)) << error;
  const int watcher = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(watcher, 0);
  termios t{};
  ASSERT_EQ(tcgetattr(watcher, &t), 0);
  t.c_cflag |= HUPCL;
  ASSERT_EQ(tcsetattr(watcher, TCSANOW, &t), 0);
  auto port = openSerialDevice(pty.slavePath(), 115200, &error);
  ASSERT_TRUE(port) << error;
  ASSERT_EQ(tcgetattr(watcher, &t), 0);
  EXPECT_EQ(t.c_cflag & HUPCL, 0u);
  ::close(watcher);

  // Far more than the pseudo-terminal buffers, with nobody reading for a while.
  const std::vector<uint8_t> frame(size_t(256) * 1024, 'x');
  std::atomic<size_t> received{0};
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::vector<uint8_t> buf(4096);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (received < frame.size() && std::chrono::steady_clock::now() < end) {
      const int32_t n = pty.read(buf.data(), buf.size());
      if (n < 0) break;
      if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      received += size_t(n > 0 ? n : 0);
    }
  });
  EXPECT_EQ(port->write(frame.data(), int32_t(frame.size())), int32_t(frame.size()));
  reader.join();
  EXPECT_EQ(received.load(), frame.size());
}

TEST_F(PtyHead, ReadRuleOnARealPseudoTerminal) {
  startHead();
  std::string error;
  auto port = openSerialDevice(pty.slavePath(), 115200, &error);
  ASSERT_TRUE(port) << error;
  uint8_t buf[64];
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(port->read(buf, sizeof buf), 0);
  EXPECT_GE(msSince(t), 80u);  // waited for the first byte, and came back empty

  ASSERT_EQ(port->write(reinterpret_cast<const uint8_t*>("@"), 1), 1);
  std::string reply;
  for (int32_t i = 0, n = 0; i < 50 && reply.size() < 6 && n >= 0; ++i) {
    n = port->read(buf, sizeof buf);
    reply.append(reinterpret_cast<char*>(buf), size_t(std::max(n, 0)));
  }
  EXPECT_EQ(reply, "#SYNC\n");
}

TEST_F(PtyHead, RateSwitchLoadingAndRecords) {
  startHead();
  auto port = openSerialDevice(pty.slavePath(), 115200);
  ASSERT_TRUE(port);
  ASSERT_EQ(switchBaud(*port, 921600), 0);
  EXPECT_EQ(port->bitsPerSecond(), 921600u);  // what the long-record budget is based on
  SonarSettings s;
  s.rangeIndex = 1;
  SonarParams p;
  deriveSonarParams(s, p, 921600);
  const SonarParamBlocks b = buildParamBlocks(p, false, s.rangeIndex);
  ASSERT_EQ(loadHeadParameters(*port, b.block0, b.block1, nullptr), 0);
  std::vector<uint8_t> buffer(kRecordBufferSize);
  RecordReader reader;
  for (int i = 0; i < 5; ++i) {
    ASSERT_GE(ReadPingRecord(*port, buffer.data(), systemClock(), reader), 0);
    const DataHeader h = parseDataHeader(buffer.data());
    EXPECT_EQ(h.commandid, buildCommandWord(p));
    EXPECT_EQ(RangeFromRecordLength(h.samples), 2500);
  }
}

TEST_F(PtyHead, PortThatDisappearsMidRead) {
  auto port = openSerialDevice(pty.slavePath(), 115200);
  ASSERT_TRUE(port);
  std::thread puller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    devicePort->close();
    pty.close();
  });
  int32_t r = 0;
  for (int i = 0; i < 30 && r >= 0; ++i) r = waitSync(*port);
  puller.join();
  EXPECT_EQ(r, -5);
}

// The GPS reader over the program's own port at a receiver's rate: it publishes the simulated
// fix, and ends once the receiver goes away (the next read fails) or the port is closed under it
// from another thread (the disconnect does that).
TEST(PosixSerial, GpsReaderOverAPseudoTerminal) {
  for (bool hangUp : {true, false}) {
    sim::PtyLink pty;
    std::string error;
    ASSERT_TRUE(pty.open("", error)) << error;
    std::unique_ptr<SerialPort> port = openSerialDevice(pty.slavePath(), 57600, &error);
    ASSERT_TRUE(port) << error;
    GpsFix fix;
    std::atomic<bool> stop{false};
    auto reader = std::async(std::launch::async, [&] { runGpsReader(*port, fix, stop); });
    sim::GpsSimPlan plan{
        .startLatDeg = -33.8568, .startLonDeg = 151.2153, .hdop = 1.2, .vdop = 1.6};
    sim::GpsReceiverSim receiver(plan);
    const double latDeg = receiver.latDeg(), lonDeg = receiver.lonDeg();
    for (const std::string& piece : receiver.chunk(receiver.nextEpoch(), 17)) {
      ASSERT_EQ(pty.write(piece.data(), piece.size()), int32_t(piece.size()));
    }
    for (int i = 0; i < 300 && fix.sig.load() * 10 + fix.fix.load() != 13; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NEAR(fix.lat.load() * 180 / M_PI, latDeg, 1e-4);
    EXPECT_NEAR(fix.lon.load() * 180 / M_PI, lonDeg, 1e-4);
    EXPECT_FLOAT_EQ(fix.pdop.load(), 2.0f);
    hangUp ? pty.close() : port->close();
    EXPECT_EQ(reader.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    uint8_t b = 0;  // the descriptor was not closed under the reader, and stays unusable
    if (!hangUp) EXPECT_EQ(port->read(&b, 1) + port->write(&b, 1), -10);
  }
}

TEST(PosixSerial, RatesNumberingAndOpenFailures) {
  // Every rate of the head's and the GPS's lists is set on a terminal and reads back.
  sim::PtyLink pty;
  std::string error;
  ASSERT_TRUE(pty.open("", error)) << error;
  auto port = openSerialDevice(pty.slavePath(), 4800, &error);
  ASSERT_TRUE(port) << error;
  for (int32_t baud : {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1000000}) {
    EXPECT_TRUE(port->setBaud(baud)) << baud;
    EXPECT_EQ(port->bitsPerSecond(), uint32_t(baud));
  }
  EXPECT_FALSE(port->setBaud(1234567));
  EXPECT_EQ(port->bitsPerSecond(), 1000000u);
  EXPECT_EQ(openSerialDevice("/dev/null", 1234567, &error), nullptr);
  EXPECT_NE(error.find("not supported"), std::string::npos);
  EXPECT_EQ(openSerialDevice("/nonexistent/tty", 115200, &error), nullptr);
  EXPECT_EQ(openSerialDevice("/dev/null", 115200, &error), nullptr);  // not a terminal

  const auto n = numberSerialDevices({{"/dev/serial/by-id/usb-Head_1234-if00", "/dev/ttyUSB1"},
                                      {"/dev/ttyUSB1", "/dev/ttyUSB1"},
                                      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
                                      {"/dev/ttyACM2", "/dev/ttyACM2"},
                                      {"/dev/ttyS0", "/dev/ttyS0"},
                                      {"/dev/serial/by-id/usb-Odd-if00", "/dev/ttyAMA0"}});
  const std::vector<std::pair<uint32_t, std::string>> want = {
      {1, "/dev/ttyS0"},
      {100, "/dev/ttyUSB0"},
      {101, "/dev/serial/by-id/usb-Head_1234-if00"},
      {202, "/dev/ttyACM2"},
      {300, "/dev/serial/by-id/usb-Odd-if00"}};
  EXPECT_EQ(n, want);
}

// The command itself: a second party writes "@" to the link and reads "#SYNC\n".
TEST(HeadsimCommand, ServesAPseudoTerminalLink) {
  const char* bin = std::getenv("SK720_BINARY_DIR");
  ASSERT_NE(bin, nullptr);
  const std::string exe = std::string(bin) + "/tools/sk720";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("sk720-headsim-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string link = (dir / "head").string();
  const std::string logPath = (dir / "records.log").string();
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    execl(exe.c_str(), exe.c_str(), "headsim", "--pty", link.c_str(), "--log", logPath.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char line[256] = {};
  ssize_t got = read(out[0], line, sizeof line - 1);  // the device path, once the link is there
  close(out[0]);
  ASSERT_GT(got, 0);
  EXPECT_EQ(std::string(line).rfind("/dev/pts/", 0), 0u);

  resetHeadWaitWindows();
  auto port = openSerialDevice(link, 115200);
  ASSERT_TRUE(port);
  port->write(reinterpret_cast<const uint8_t*>("@"), 1);
  EXPECT_EQ(waitSync(*port), 0);
  sendCommand(*port, kCmdEnterWork, 1);
  EXPECT_EQ(waitWorkMode(*port), 0);
  std::vector<uint8_t> buffer(kRecordBufferSize);
  RecordReader reader;
  ASSERT_GE(ReadPingRecord(*port, buffer.data(), systemClock(), reader), 0);
  const uint32_t checksum = headChecksum(buffer.data(), parseDataHeader(buffer.data()).samples);
  port.reset();

  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::ifstream logFile(logPath);
  std::string all((std::istreambuf_iterator<char>(logFile)), {});
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08x", checksum);
  EXPECT_NE(all.find(hex), std::string::npos);  // the record that arrived is in the log
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace sk720
