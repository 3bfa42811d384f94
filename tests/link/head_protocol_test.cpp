#include "link/head_protocol.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "base/byte_order.h"

namespace sk720 {
namespace {

// A port that hands out scripted chunks; an empty read lets 100 ms pass on the clock.
class ScriptedPort : public SerialPort {
 public:
  explicit ScriptedPort(ManualClock& clock) : clock_(clock) {}
  void then(const std::string& chunk) { chunks_.push_back(chunk); }
  void failAfterScript() { fail_ = true; }
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    if (chunks_.empty()) {
      if (fail_) return -5;
      clock_.advance(100);
      return 0;
    }
    std::string& c = chunks_.front();
    const int32_t n = std::min<int32_t>(maxBytes, int32_t(c.size()));
    std::copy_n(c.begin(), n, dst);
    c.erase(0, size_t(n));
    if (c.empty()) chunks_.pop_front();
    return n;
  }
  int32_t write(const uint8_t* data, int32_t size) override {
    written.append(reinterpret_cast<const char*>(data), size_t(size));
    return size;
  }
  void flush() override {}
  bool setBaud(int32_t) override { return true; }
  void close() override {}
  std::string written;

 private:
  ManualClock& clock_;
  std::deque<std::string> chunks_;
  bool fail_ = false;
};

TEST(HeadChecksum, SeedAndKnownValues) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(headChecksum(abc, 3), 0xCADBBE3Du);
  const uint8_t one[] = {1, 0, 0, 0};
  EXPECT_EQ(headChecksum(one, 4), ~0x99F8B879u);
  EXPECT_EQ(headChecksum(nullptr, 0), 0xFFFFFFFFu);
  EXPECT_EQ(headChecksum(nullptr, 0, 0x1234u), ~0x1234u);
}

TEST(Base64, StandardAlphabetPaddingAndStrictDecoding) {
  const uint8_t bytes[] = {'M', 'a', 'n', 0xFB, 0xFF};
  EXPECT_EQ(base64Encode(bytes, 3), "TWFu");
  EXPECT_EQ(base64Encode(bytes, 1), "TQ==");
  EXPECT_EQ(base64Encode(bytes, 2), "TWE=");
  EXPECT_EQ(base64Encode(bytes + 3, 2), "+/8=");
  std::vector<uint8_t> out;
  ASSERT_TRUE(base64Decode("TWE=", out));
  EXPECT_EQ(out, (std::vector<uint8_t>{'M', 'a'}));
  EXPECT_FALSE(base64Decode("TWE", out));    // truncated
  EXPECT_FALSE(base64Decode("T=E=", out));   // data after padding
  EXPECT_FALSE(base64Decode("TW\nE", out));  // no line breaks
  EXPECT_FALSE(base64Decode("TQ==TWFu", out));
}

TEST(CommandFrame, LengthsLayoutAndDecoding) {
  uint8_t block0[64] = {}, block1[16] = {}, one[4] = {1, 0, 0, 0};
  EXPECT_EQ(buildCommandFrame(6, one, 4).size(), 29u);
  EXPECT_EQ(buildCommandFrame(7, one, 4).size(), 29u);
  EXPECT_EQ(buildCommandFrame(0, block0, 64).size(), 109u);
  EXPECT_EQ(buildCommandFrame(1, block1, 16).size(), 45u);

  const std::vector<uint8_t> frame = buildCommandFrame(7, one, 4);
  EXPECT_EQ(frame.back(), '\r');
  std::vector<uint8_t> raw;
  ASSERT_TRUE(base64Decode(std::string(frame.begin(), frame.end() - 1), raw));
  ASSERT_EQ(raw.size(), 20u);
  EXPECT_EQ(std::string(raw.begin(), raw.begin() + 4), "CMND");
  EXPECT_EQ(loadU32(raw.data() + 4), 7u);
  EXPECT_EQ(loadU32(raw.data() + 8), ~0x99F8B879u);
  EXPECT_EQ(loadU32(raw.data() + 12), 4u);

  CommandHeader h;
  std::vector<uint8_t> payload;
  std::string text(frame.begin(), frame.end() - 1);
  EXPECT_EQ(decodeCommandFrame(text, h, payload), 0);
  EXPECT_EQ(h.commandid, 7u);
  EXPECT_EQ(payload, (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(decodeCommandFrame(text.substr(0, 24), h, payload), -3);  // truncated payload
  EXPECT_EQ(decodeCommandFrame(text.substr(0, 22), h, payload), -2);  // not Base64 any more
  raw[16] = 2;  // payload changed under its checksum
  EXPECT_EQ(decodeCommandFrame(base64Encode(raw.data(), raw.size()), h, payload), -1);
  raw[0] = 'X';
  EXPECT_EQ(decodeCommandFrame(base64Encode(raw.data(), raw.size()), h, payload), -2);
}

class Waits : public ::testing::Test {
 protected:
  void SetUp() override { resetHeadWaitWindows(); }
  ManualClock clock{5000};
  ScriptedPort port{clock};
  uint32_t elapsed(uint32_t from) { return clock.nowMs() - from; }
};

TEST_F(Waits, SilenceLimits) {
  struct Case {
    int32_t (*wait)(SerialPort&, Clock&);
    uint32_t limit;
    int32_t result;
  } cases[] = {
      {[](SerialPort& p, Clock& c) { return waitSync(p, c); }, 2000, -2},
      {[](SerialPort& p, Clock& c) { return waitReply(p, c); }, 2000, -2},
      {[](SerialPort& p, Clock& c) { return waitCommandMode(p, 10000, c); }, 10000, -2},
      {[](SerialPort& p, Clock& c) { return waitWorkMode(p, c); }, 5000, -2},
      {[](SerialPort& p, Clock& c) { return waitRecordEndOrCommandMode(p, c); }, 100, -6},
  };
  for (const Case& c : cases) {
    const uint32_t start = clock.nowMs();
    EXPECT_EQ(c.wait(port, clock), c.result);
    EXPECT_GE(elapsed(start), c.limit);
    EXPECT_LE(elapsed(start), c.limit + 100);
  }
}

TEST_F(Waits, TextsFoundThroughNoiseAndSplitReads) {
  port.then("garbage#SY");
  port.then("NC");
  port.then("\n");
  EXPECT_EQ(waitSync(port, clock), 0);
  for (char c : std::string("xx#ER\n")) port.then(std::string(1, c));
  EXPECT_EQ(waitReply(port, clock), 1);
  port.then("#OK\n");
  EXPECT_EQ(waitReply(port, clock), 0);
  port.then("DATA...END0...END1");
  EXPECT_EQ(waitRecordEndOrCommandMode(port, clock), 1);
  port.then("#OK\nCMND\r\n");
  EXPECT_EQ(waitRecordEndOrCommandMode(port, clock), 2);
  port.then("#OK\nWORK\r\n");
  EXPECT_EQ(waitWorkMode(port, clock), 0);
}

TEST_F(Waits, ReplyWithoutLineFeedTimesOutAndTheWindowPersists) {
  port.then("#OK");
  const uint32_t start = clock.nowMs();
  EXPECT_EQ(waitReply(port, clock), -2);
  EXPECT_GE(elapsed(start), 2000u);
  // The window outlives the call: the line feed completes the reply in the next one.
  port.then("\n");
  EXPECT_EQ(waitReply(port, clock), 0);
}

TEST_F(Waits, ChatterWithoutTheTextEndsAtTheOverallLimit) {
  const uint32_t start = clock.nowMs();
  int32_t r = 0;
  {
    // A source of one byte per 100 ms, forever.
    struct Trickle : SerialPort {
      explicit Trickle(ManualClock& c) : clock(c) {}
      ManualClock& clock;
      int32_t read(uint8_t* d, int32_t) override {
        clock.advance(100);
        d[0] = 'z';
        return 1;
      }
      int32_t write(const uint8_t*, int32_t s) override { return s; }
      void flush() override {}
      bool setBaud(int32_t) override { return true; }
      void close() override {}
    } trickle(clock);
    r = waitReply(trickle, clock);
  }
  EXPECT_EQ(r, -2);
  EXPECT_LE(elapsed(start), 2000u * kWaitOverallFactor + 100);
}

TEST_F(Waits, FailedReadsEndEveryWait) {
  port.failAfterScript();
  EXPECT_EQ(waitSync(port, clock), -5);
  EXPECT_EQ(waitReply(port, clock), -5);
  EXPECT_EQ(waitCommandMode(port, 100, clock), -5);
  EXPECT_EQ(waitWorkMode(port, clock), -5);
  EXPECT_EQ(waitRecordEndOrCommandMode(port, clock), -5);
  EXPECT_EQ(RIZ720_Work2Command(port, clock), -5);
  EXPECT_EQ(goToCommandMode(port, clock), -5);
  EXPECT_EQ(switchBaud(port, 921600, clock), -5);
}

TEST_F(Waits, SequencesWriteTheirBytes) {
  port.then("#SYNC\n");
  port.then("#OK\n");
  port.then("CMND\r\n");
  EXPECT_EQ(switchBaud(port, 460800, clock), 0);
  EXPECT_EQ(port.written, "@    <460800>\r");

  port.written.clear();
  const uint32_t start = clock.nowMs();
  EXPECT_EQ(goToCommandMode(port, clock), -2);
  EXPECT_EQ(port.written, "\r\r\r");
  EXPECT_LE(elapsed(start), 2200u);

  port.written.clear();
  uint8_t b0[64] = {}, b1[16] = {};
  port.then("#OK\n");
  port.then("#ER\n");  // a refused block still counts as accepted
  port.then("#OK\n");
  EXPECT_EQ(RIZ720_SetParams(port, b0, b1, clock), 0);
  EXPECT_EQ(port.written.size(), 10u + 109u + 45u);
  EXPECT_EQ(port.written.substr(0, 10), "         \r");

  // No reply to the first block: its wait's result is returned.
  EXPECT_EQ(RIZ720_SetParams(port, b0, b1, clock), -2);
  port.then("#OK\n");  // accepted, but the head never reports work mode
  const uint32_t before = clock.nowMs();
  EXPECT_EQ(RIZ720_Command2Work(port, clock), -2);
  EXPECT_GE(elapsed(before), 5000u);
  port.then("#ER\n");
  EXPECT_EQ(RIZ720_Command2Work(port, clock), -2);  // refused outright: no "WORK\r\n" either
}

TEST(KeepAliveHelper, OncePerSecondAfterEnd1RecordsWithEchoLines) {
  ManualClock clock(100);
  ScriptedPort port(clock);
  KeepAlive keepAlive(clock);
  clock.advance(1001);
  EXPECT_FALSE(keepAlive.afterRecord(port, 0, 10));           // "END0"
  EXPECT_FALSE(keepAlive.afterRecord(port, 1, 0xFFFFFFFFu));  // no echo line
  EXPECT_TRUE(keepAlive.afterRecord(port, 1, 10));
  EXPECT_EQ(port.written.size(), 29u);
  clock.advance(1000);
  EXPECT_FALSE(keepAlive.afterRecord(port, 1, 10));
  clock.advance(1);
  EXPECT_TRUE(keepAlive.afterRecord(port, 1, 10));
}

TEST(StopWorkingThread, RaisesTheRequestAndWaitsWithALimit) {
  std::atomic<bool> stop{false};
  EXPECT_EQ(RIZ720_StopWorkingThread(stop, nullptr), 0);
  EXPECT_TRUE(stop.load());

  stop = false;
  WorkerThread worker;
  std::atomic<int> loops{0};
  ASSERT_TRUE(worker.start([&] {
    while (!stop.load()) ++loops;
  }));
  EXPECT_EQ(RIZ720_StopWorkingThread(stop, &worker), 0);
  EXPECT_FALSE(worker.valid());  // ended and joined

  // A body that ignores the request: the wait gives up at its limit and reports it.
  std::atomic<bool> release{false};
  stop = false;
  std::string diagnostics;
  setLinkDiagnosticSink([&](const char* t) { diagnostics += t; });
  ASSERT_TRUE(worker.start([&] {
    while (!release.load()) std::this_thread::yield();
  }));
  EXPECT_EQ(RIZ720_StopWorkingThread(stop, &worker, 20), 0);
  EXPECT_TRUE(worker.valid());
  EXPECT_NE(diagnostics.find("did not end"), std::string::npos);
  release = true;
  EXPECT_TRUE(worker.joinFor(10000));
  setLinkDiagnosticSink(nullptr);
}

// The Stop command on one thread can overlap a restart's stop on another: every caller returns
// once the body has ended, and the thread is joined exactly once.
TEST(StopWorkingThread, SeveralStoppersAtOnce) {
  for (int round = 0; round < 50; ++round) {
    std::atomic<bool> stop{false};
    WorkerThread worker;
    ASSERT_TRUE(worker.start([&] {
      while (!stop.load()) std::this_thread::yield();
    }));
    std::atomic<int> returned{0};
    std::vector<std::thread> stoppers;
    for (int i = 0; i < 4; ++i) {
      stoppers.emplace_back([&] {
        RIZ720_StopWorkingThread(stop, &worker);
        if (!worker.valid() && worker.joinFor(0)) ++returned;
      });
    }
    for (std::thread& t : stoppers) t.join();
    ASSERT_EQ(returned.load(), 4) << "round " << round;
    ASSERT_TRUE(worker.start([] {}));  // a joined thread can be started again
  }
}

}  // namespace
}  // namespace sk720
