// sk720 capture against the simulated head on a real pseudo-terminal.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "link/serial_port_posix.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "sim/head_sim.h"
#include "sim/pty_posix.h"
#include "tools/tool_test.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

class CapturePty : public testing::ScratchTest {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "config");
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);  // no stored settings
    link = (dir / "head").string();
    std::string error;
    ASSERT_TRUE(pty.open(link, error)) << error;
    port = adoptSerialDescriptor(dup(pty.masterFd()));
    sim::HeadSimOptions o;
    o.onRecord = [this](const sim::SentRecord& r) {
      std::lock_guard<std::mutex> g(lock);
      sent.push_back(r.angle);
    };
    head = std::make_unique<sim::HeadSimulator>(*port, systemClock(), o);
    thread = std::thread([this] { head->run(stop); });
  }
  void TearDown() override {
    stop = true;
    if (thread.joinable()) thread.join();
    pty.close();
  }
  // What capture left in its folder.
  std::vector<fs::directory_entry> outFiles() { return {fs::directory_iterator(out), {}}; }

  std::string link;
  const fs::path out = dir / "out" / "dive";  // made by capture, folder and all
  sim::PtyLink pty;
  std::unique_ptr<SerialPort> port;
  std::unique_ptr<sim::HeadSimulator> head;
  std::atomic<bool> stop{false};
  std::thread thread;
  std::mutex lock;
  std::vector<uint32_t> sent;
};

TEST_F(CapturePty, CtrlCIsHonouredWhileConnecting) {
  stop = true;
  thread.join();  // nobody answers on the link now
  const auto previous = std::signal(SIGINT, [](int) {});
  std::atomic<bool> done{false};
  // Interrupts until the capture returns, so that one lands after its own
  // handler is in place.
  std::thread interrupter([&] {
    while (!done) {
      std::raise(SIGINT);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  const int code = cli::runCapture({"--port", link, "--out", out.string()});
  done = true;
  interrupter.join();
  std::signal(SIGINT, previous);
  // Stopped, not "the head does not answer" (4), which a capture that ignored
  // the interrupt would report after its five rate-switch attempts.
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
}

TEST_F(CapturePty, RecordsEveryPingReadBeforeTheStopOrNoneWhenAskedAndReadsBadSettings) {
  ASSERT_EQ(cli::runCapture({"--port", link, "--duration", "3", "--out", out.string(),
                             "--range-index", "0", "--baud", "460800"}),
            0);
  EXPECT_EQ(head->baud(), 460800);
  const std::vector<fs::directory_entry> files = outFiles();
  ASSERT_EQ(files.size(), 1u);

  std::vector<uint32_t> angles;
  for (const DataHeader& h : testing::readRecords(testing::fileBytes(files[0].path()))) {
    EXPECT_EQ(h.headersize, 44u);
    EXPECT_EQ(RangeFromRecordLength(h.samples), 1500);
    angles.push_back(h.angle);
  }
  // A clean link: the file holds the head's records from the first on, none left out.
  {
    std::lock_guard<std::mutex> g(lock);
    ASSERT_GT(angles.size(), 10u);
    ASSERT_LE(angles.size(), sent.size());
    EXPECT_TRUE(std::equal(angles.begin(), angles.end(), sent.begin()));
  }

  // Without recording the head sends and no file is made.
  const uint32_t before = head->recordsSent();
  EXPECT_EQ(
      cli::runCapture({"--port", link, "--duration", "1.5", "--out", out.string(), "--no-record"}),
      0);
  EXPECT_EQ(outFiles(), files);
  EXPECT_GT(head->recordsSent(), before);

  // Stored settings that cannot be read: capture runs on the defaults and says so in one line.
  fs::create_directories(dir / "config" / "sk720");
  std::ofstream(dir / "config" / "sk720" / "settings")
      << "sk720-settings 1\nSonarDialogBinV2 binary 72 0100\n";
  const cli::Outcome o = cli::runCaptured([&] {
    return cli::runCapture({"--port", path("no-such-device")});
  });
  EXPECT_EQ(o.code, 3);
  const size_t at = o.err.find("stored settings could not be read");
  ASSERT_NE(at, std::string::npos) << o.err;
  EXPECT_EQ(o.err.find("stored settings", at + 1), std::string::npos);
}

// The simulated head on a serial device whose other side goes away ends and says so, rather
// than serving a dead line.
TEST(HeadsimPort, EndsWhenTheLineGoesAway) {
  sim::PtyLink line;
  std::string error;
  ASSERT_TRUE(line.open("", error)) << error;
  int code = -1;
  std::thread head([&] { code = cli::runHeadsim({"--port", line.slavePath(), "--header", "36"}); });
  // The head answers a carriage return once it serves the line.
  std::string answer;
  for (int i = 0; i < 100 && answer.find('#') == std::string::npos; ++i) {
    line.write("\r", 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    char buf[64];
    for (int32_t n; (n = line.read(buf, sizeof buf)) > 0;) answer.append(buf, size_t(n));
  }
  EXPECT_NE(answer.find('#'), std::string::npos) << answer;
  line.close();
  head.join();
  EXPECT_EQ(code, 2);
}

}  // namespace
}  // namespace sk720
