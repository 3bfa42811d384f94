// The head's frames, waits and sequences against scripted replies. The sequences against the
// simulated head are the acquisition tests'.
#include "link/head_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/byte_order.h"
#include "scripted_port.h"

namespace sk720 {
namespace {

using testing::ScriptedPort;
using V = std::vector<int64_t>;

TEST(HeadFrames, ChecksumBase64AndCommandFrames) {
  const uint8_t abc[] = {'a', 'b', 'c'}, one[] = {1, 0, 0, 0};
  EXPECT_EQ(V({headChecksum(abc, 3), headChecksum(one, 4), headChecksum(nullptr, 0),
               headChecksum(nullptr, 0, 0x1234u)}),
            V({0xCADBBE3Du, ~0x99F8B879u, 0xFFFFFFFFu, ~0x1234u}));

  const uint8_t bytes[] = {'M', 'a', 'n', 0xFB, 0xFF};
  EXPECT_EQ(base64Encode(bytes, 3) + base64Encode(bytes, 1) + base64Encode(bytes, 2) +
                base64Encode(bytes + 3, 2),
            "TWFuTQ==TWE=+/8=");
  std::vector<uint8_t> out;
  // The digits 0 and 9 stand for 52 and 61.
  for (const auto& [text, want] :
       {std::pair<const char*, std::vector<uint8_t>>{"TWFu+/8=", {'M', 'a', 'n', 0xFB, 0xFF}},
        {"0AA9", {0xD0, 0x00, 0x3D}},
        {"TWFuTQ==", {'M', 'a', 'n', 'M'}}}) {
    EXPECT_TRUE(base64Decode(text, out) && out == want) << text;
  }
  for (const char* bad : {"TWE", "T=E=", "TW\nE", "TQ==TWFu", "TQ=A", "T==="})
    EXPECT_FALSE(base64Decode(bad, out)) << bad;

  // Header "CMND", id, checksum of the payload, its length; Base64; CR.
  const std::vector<uint8_t> frame = buildCommandFrame(7, one, 4);
  EXPECT_EQ(frame.back(), '\r');
  const std::string text(frame.begin(), frame.end() - 1);
  std::vector<uint8_t> raw, payload;
  ASSERT_TRUE(base64Decode(text, raw) && raw.size() == 20u);
  EXPECT_EQ(std::string(raw.begin(), raw.begin() + 4), "CMND");
  EXPECT_EQ(V({loadU32(&raw[4]), loadU32(&raw[8]), loadU32(&raw[12])}), V({7, ~0x99F8B879u, 4}));
  CommandHeader h;
  EXPECT_EQ(decodeCommandFrame(text, h, payload), 0);
  EXPECT_TRUE(h.commandid == 7u && payload == std::vector<uint8_t>(one, one + 4));
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
  uint32_t elapsed(uint32_t from) { return clock.nowMs() - from; }
  ManualClock clock{5000};
  ScriptedPort port{&clock};
};

int32_t (*const kWaits[])(SerialPort&, Clock&) = {
    [](SerialPort& p, Clock& c) { return waitSync(p, c); },
    [](SerialPort& p, Clock& c) { return waitReply(p, c); },
    [](SerialPort& p, Clock& c) { return waitCommandMode(p, 10000, c); },
    [](SerialPort& p, Clock& c) { return waitWorkMode(p, c); },
    [](SerialPort& p, Clock& c) { return waitRecordEndOrCommandMode(p, c); }};

// Each wait gives up after its silence limit, or after five times that of chatter without its
// text; a failed read ends every wait and sequence.
TEST_F(Waits, SilenceChatterAndFailedReads) {
  const uint32_t limits[] = {2000, 2000, 10000, 5000, 100};
  for (bool trickle : {false, true}) {
    port.trickle = trickle;
    for (size_t i = 0; i < std::size(kWaits); ++i) {
      const uint32_t start = clock.nowMs();
      EXPECT_EQ(kWaits[i](port, clock), i == 4 ? -6 : -2);
      const uint32_t limit = trickle ? limits[i] * kWaitOverallFactor : limits[i];
      EXPECT_TRUE(elapsed(start) >= limit && elapsed(start) <= limit + 100)
          << elapsed(start) << " for " << limits[i] << (trickle ? " chatter" : " silence");
    }
  }
  port.failing = true;
  for (const auto wait : kWaits) EXPECT_EQ(wait(port, clock), -5);
  uint8_t b0[64] = {}, b1[16] = {};
  EXPECT_EQ(V({RIZ720_Work2Command(port, clock), goToCommandMode(port, clock),
               switchBaud(port, 921600, clock), RIZ720_SetParams(port, b0, b1, clock),
               RIZ720_Command2Work(port, clock)}),
            V(5, -5));
  // The loading sequence does not probe a port that is gone.
  port.written.clear();
  EXPECT_EQ(loadHeadParameters(port, b0, b1, nullptr, clock), -5);
  EXPECT_EQ(port.written, "");
}

// Texts are found through noise and across reads; a wait's window outlives the call.
TEST_F(Waits, TextsFoundThroughNoiseAndSplitReads) {
  // text, read in pieces of at most `chunk` bytes; the wait (sync, reply, command mode, work
  // mode, record end) and its result
  const std::tuple<const char*, int32_t, size_t, int32_t> steps[] = {
      {"garbage#SYNC\n", 10, 0, 0}, {"xx#ER\n", 1, 1, 1},
      {"#OK\n", 99, 1, 0},          {"DATA...END0...END1", 3, 4, 1},
      {"#OK\nCMND\r\n", 99, 4, 2},  {"#OK\nWORK\r\n", 99, 3, 0},
      {"#OK", 99, 1, -2},           {"\n", 99, 1, 0}};
  for (const auto& [text, chunk, wait, result] : steps) {
    port.chunk = chunk;
    port.then(text);
    EXPECT_EQ(kWaits[wait](port, clock), result) << text;
  }
}

TEST_F(Waits, SequencesWriteTheirBytes) {
  for (const char* reply : {"#SYNC\n", "#OK\n", "CMND\r\n"}) port.then(reply);
  EXPECT_EQ(switchBaud(port, 460800, clock), 0);
  EXPECT_EQ(port.written, "@    <460800>\r");

  port.then("#ER\n");  // a refusal counts as an answer (a silent head: below)
  EXPECT_EQ(goToCommandMode(port, clock), 0);

  port.written.clear();
  uint8_t b0[64] = {}, b1[16] = {};
  for (const char* reply : {"#OK\n", "#ER\n", "#OK\n"}) port.then(reply);  // a refused block counts
  EXPECT_EQ(RIZ720_SetParams(port, b0, b1, clock), 0);
  const auto frame = [](uint32_t id, const uint8_t* payload, uint32_t size) {
    const std::vector<uint8_t> f = buildCommandFrame(id, payload, size);
    return std::string(f.begin(), f.end());
  };
  EXPECT_EQ(port.written, "         \r" + frame(0, b0, 64) + frame(1, b1, 16));
  EXPECT_EQ(RIZ720_SetParams(port, b0, b1, clock), -2);  // no reply to the first block
  port.then("#OK\n");  // accepted, but the head never reports work mode
  const uint32_t before = clock.nowMs();
  EXPECT_EQ(RIZ720_Command2Work(port, clock), -2);
  EXPECT_GE(elapsed(before), 5000u);
  port.then("#ER\n");
  EXPECT_EQ(RIZ720_Command2Work(port, clock), -2);  // refused outright: no "WORK\r\n" either
  port.then("#OK\nWORK\r\n");
  EXPECT_EQ(RIZ720_Command2Work(port, clock), 0);

  // A head that sends neither a record end nor "CMND\r\n" is probed; one that does not answer
  // the probe either is abandoned within the limits, and says why.
  port.written.clear();
  std::string diagnostics;
  setLinkDiagnosticSink([&](const char* t) { diagnostics += t; });
  bool stopped = false;
  const uint32_t t0 = clock.nowMs();
  EXPECT_EQ(loadHeadParameters(
                port, b0, b1, [&] { stopped = true; }, clock),
            -2);
  setLinkDiagnosticSink(nullptr);
  EXPECT_TRUE(stopped && elapsed(t0) <= 2000u + 100 + 2100 + 200) << elapsed(t0);
  EXPECT_EQ(diagnostics + port.written,
            "RIZ720_Work2Command failed\nGo to Command mode failed\n\r\r\r");

  // The keep-alive: command 6 once a second, after "END1" records with an echo line only.
  port.written.clear();
  KeepAlive keepAlive(clock);
  clock.advance(1001);
  EXPECT_FALSE(keepAlive.afterRecord(port, 1, 0xFFFFFFFFu));  // no echo line
  EXPECT_TRUE(keepAlive.afterRecord(port, 1, 10));
  EXPECT_EQ(port.written, frame(kCmdEnterWork, std::vector<uint8_t>{1, 0, 0, 0}.data(), 4));
  clock.advance(1000);
  EXPECT_FALSE(keepAlive.afterRecord(port, 1, 10));
  clock.advance(1);
  EXPECT_TRUE(keepAlive.afterRecord(port, 1, 10));
}

// Raises the request and waits with a limit; several stoppers at once (the Stop command and a
// restart's stop) all return once the body has ended, and the thread is joined exactly once.
TEST(StopWorkingThread, RaisesTheRequestAndWaitsWithALimit) {
  std::atomic<bool> stop{false};
  EXPECT_TRUE(RIZ720_StopWorkingThread(stop, nullptr) == 0 && stop.load());

  WorkerThread worker;
  std::atomic<bool> release{false};
  stop = false;
  std::string diagnostics;
  setLinkDiagnosticSink([&](const char* t) { diagnostics += t; });
  ASSERT_TRUE(worker.start([&] {
    while (!release.load()) std::this_thread::yield();
  }));
  EXPECT_FALSE(worker.start([] {}));  // one body at a time
  EXPECT_TRUE(RIZ720_StopWorkingThread(stop, &worker, 20) == 0 && worker.valid());
  EXPECT_NE(diagnostics.find("did not end"), std::string::npos);
  release = true;
  EXPECT_TRUE(worker.joinFor(10000));
  setLinkDiagnosticSink(nullptr);

  for (int round = 0; round < 50; ++round) {
    stop = false;
    ASSERT_TRUE(worker.start([&] {
      while (!stop.load()) std::this_thread::yield();
    }));
    std::atomic<int> returned{0};
    std::vector<std::thread> stoppers(4);
    for (std::thread& t : stoppers) {
      t = std::thread([&] {
        RIZ720_StopWorkingThread(stop, &worker);
        if (!worker.valid() && worker.joinFor(0)) ++returned;
      });
    }
    for (std::thread& t : stoppers) t.join();
    ASSERT_EQ(returned.load(), 4) << "round " << round;
  }
}

}  // namespace
}  // namespace sk720
