// The POSIX serial port over real pseudo-terminals and pipes; the settings file's synced writer.
#include "link/serial_port_posix.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "gps/gps_reader.h"
#include "scratch_test.h"
#include "settings/settings_file_backend.h"
#include "sim/gps_receiver_sim.h"
#include "sim/pty_posix.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// The line settings at open leave HUPCL off (a pseudo-terminal has no DTR or RTS to look at); a
// read waits up to 100 ms for a first byte; every rate of the head's and the GPS's lists is set
// and reads back; far more than the pseudo-terminal buffers, with nobody reading for a while, is
// written whole; a descriptor at its end of file reads as a lost port.
TEST(PosixSerialPort, LineSettingsRatesWritesAndFailures) {
  sim::PtyLink pty;
  std::string error;
  ASSERT_TRUE(pty.open("", error)) << error;
  const int watcher = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(watcher, 0);
  termios t{};
  ASSERT_EQ(tcgetattr(watcher, &t), 0);
  t.c_cflag |= HUPCL;
  ASSERT_EQ(tcsetattr(watcher, TCSANOW, &t), 0);
  auto port = openSerialDevice(pty.slavePath(), 4800, &error);
  ASSERT_TRUE(port) << error;
  ASSERT_EQ(tcgetattr(watcher, &t), 0);
  EXPECT_EQ(t.c_cflag & HUPCL, 0u);
  ::close(watcher);

  uint8_t buf[64];
  const auto before = steady_clock::now();
  EXPECT_EQ(port->read(buf, sizeof buf), 0);
  EXPECT_GE(steady_clock::now() - before, milliseconds(80));
  for (int32_t baud : {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 1000000}) {
    EXPECT_TRUE(port->setBaud(baud)) << baud;
    EXPECT_EQ(port->bitsPerSecond(), uint32_t(baud));
  }
  EXPECT_FALSE(port->setBaud(1234567));
  EXPECT_EQ(port->bitsPerSecond(), 1000000u);

  const std::vector<uint8_t> frame(size_t(256) * 1024, 'x');
  std::atomic<size_t> received{0};
  std::thread reader([&] {
    std::this_thread::sleep_for(milliseconds(1500));
    std::vector<uint8_t> in(4096);
    const auto end = steady_clock::now() + std::chrono::seconds(60);
    for (int32_t n = 0; n >= 0 && received < frame.size() && steady_clock::now() < end;) {
      if ((n = pty.read(in.data(), in.size())) == 0) std::this_thread::sleep_for(milliseconds(1));
      received += size_t(std::max(n, 0));
    }
  });
  EXPECT_EQ(port->write(frame.data(), int32_t(frame.size())), int32_t(frame.size()));
  reader.join();
  EXPECT_EQ(received.load(), frame.size());

  for (const auto& [path, baud, why] : {std::tuple{"/dev/null", 1234567, "not supported"},
                                        {"/nonexistent/tty", 115200, "/nonexistent/tty: "},
                                        {"/dev/null", 115200, "not a serial device"}}) {
    error.clear();
    EXPECT_EQ(openSerialDevice(path, baud, &error), nullptr) << path;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  auto piped = adoptSerialDescriptor(ends[0]);
  ::close(ends[1]);
  EXPECT_EQ(piped->read(buf, sizeof buf), -5);

  const auto n = numberSerialDevices({{"/dev/serial/by-id/usb-Head_1234-if00", "/dev/ttyUSB1"},
                                      {"/dev/ttyUSB1", "/dev/ttyUSB1"},
                                      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
                                      {"/dev/ttyACM2", "/dev/ttyACM2"},
                                      {"/dev/ttyS0", "/dev/ttyS0"},
                                      {"/dev/serial/by-id/usb-Odd-if00", "/dev/ttyAMA0"}});
  EXPECT_EQ(n, (std::vector<std::pair<uint32_t, std::string>>{
                   {1, "/dev/ttyS0"},
                   {100, "/dev/ttyUSB0"},
                   {101, "/dev/serial/by-id/usb-Head_1234-if00"},
                   {202, "/dev/ttyACM2"},
                   {300, "/dev/serial/by-id/usb-Odd-if00"}}));
}

// The GPS reader over the program's own port at a receiver's rate: it publishes the simulated
// fix, and ends once the receiver goes away (the next read fails) or the port is closed under it
// from another thread (the disconnect does that).
TEST(PosixSerialPort, GpsReaderOverAPseudoTerminal) {
  for (bool hangUp : {true, false}) {
    sim::PtyLink pty;
    std::string error;
    ASSERT_TRUE(pty.open("", error)) << error;
    std::unique_ptr<SerialPort> port = openSerialDevice(pty.slavePath(), 57600, &error);
    ASSERT_TRUE(port) << error;
    GpsFix fix;
    std::atomic<bool> stop{false};
    auto reader = std::async(std::launch::async, [&] { runGpsReader(*port, fix, stop); });
    sim::GpsReceiverSim receiver(sim::GpsSimPlan{});
    for (const std::string& piece : receiver.chunk(receiver.nextEpoch(), 17))
      ASSERT_EQ(pty.write(piece.data(), piece.size()), int32_t(piece.size()));
    for (int i = 0; i < 300 && fix.sig.load() * 10 + fix.fix.load() != 13; ++i)
      std::this_thread::sleep_for(milliseconds(10));
    // Every sentence came through whole: what they say is the parser tests' business.
    EXPECT_EQ(fix.sig.load() * 10 + fix.fix.load(), 13);
    hangUp ? pty.close() : port->close();
    EXPECT_EQ(reader.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    uint8_t b = 0;  // the descriptor was not closed under the reader, and stays unusable
    if (!hangUp) {
      EXPECT_EQ(port->read(&b, 1) + port->write(&b, 1), -10);
    }
  }
}

// The settings file written through the synced writer: replaced whole, no temporary file left.
using SettingsFilePosix = testing::ScratchTest;

TEST_F(SettingsFilePosix, TheSyncedWriterReplaces) {
  uint32_t port = 0, baud = 0;
  SettingsFileBackend plain(dir / "settings", writeFileDurably);
  ASSERT_EQ(SetHeadLink(plain, 3, 115200), kSettingsOk);
  ASSERT_EQ(SetHeadLink(plain, 4, 230400), kSettingsOk);
  EXPECT_EQ(GetHeadLink(plain, port, baud), kSettingsOk);
  EXPECT_EQ(port, 4u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace sk720
