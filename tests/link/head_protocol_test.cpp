// The head's frames and waits against scripted replies, and its sequences against the simulated
// head over an in-process loopback.
#include "link/head_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/byte_order.h"
#include "link/loopback.h"
#include "link/sonar_params.h"
#include "records/ping_record.h"
#include "scripted_port.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

using testing::ScriptedPort;

TEST(HeadFrames, ChecksumBase64AndCommandFrames) {
  const uint8_t abc[] = {'a', 'b', 'c'}, one[] = {1, 0, 0, 0};
  EXPECT_EQ(std::vector<uint32_t>({headChecksum(abc, 3), headChecksum(one, 4),
                                   headChecksum(nullptr, 0), headChecksum(nullptr, 0, 0x1234u)}),
            std::vector<uint32_t>({0xCADBBE3Du, ~0x99F8B879u, 0xFFFFFFFFu, ~0x1234u}));

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
  const uint32_t sizes[][3] = {{6, 4, 29}, {7, 4, 29}, {0, 64, 109}, {1, 16, 45}};  // id, payload
  for (auto [id, length, frame] : sizes)
    EXPECT_EQ(buildCommandFrame(id, std::vector<uint8_t>(length, 1).data(), length).size(), frame);
  const std::vector<uint8_t> frame = buildCommandFrame(7, one, 4);
  EXPECT_EQ(frame.back(), '\r');
  const std::string text(frame.begin(), frame.end() - 1);
  std::vector<uint8_t> raw;
  ASSERT_TRUE(base64Decode(text, raw));
  ASSERT_EQ(raw.size(), 20u);
  EXPECT_EQ(std::string(raw.begin(), raw.begin() + 4), "CMND");
  EXPECT_EQ(std::vector<uint32_t>({loadU32(&raw[4]), loadU32(&raw[8]), loadU32(&raw[12])}),
            std::vector<uint32_t>({7, ~0x99F8B879u, 4}));
  CommandHeader h;
  std::vector<uint8_t> payload;
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
  EXPECT_EQ(
      std::vector<int32_t>({RIZ720_Work2Command(port, clock), goToCommandMode(port, clock),
                            switchBaud(port, 921600, clock), RIZ720_SetParams(port, b0, b1, clock),
                            RIZ720_Command2Work(port, clock)}),
      std::vector<int32_t>(5, -5));
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

  port.written.clear();
  const uint32_t start = clock.nowMs();
  EXPECT_EQ(goToCommandMode(port, clock), -2);
  EXPECT_EQ(port.written, "\r\r\r");
  EXPECT_LE(elapsed(start), 2200u);
  port.then("#ER\n");  // a refusal counts as an answer
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
}

TEST(KeepAliveHelper, OncePerSecondAfterEnd1RecordsWithEchoLines) {
  ManualClock clock(100);
  ScriptedPort port(&clock);
  KeepAlive keepAlive(clock);
  clock.advance(1001);
  EXPECT_FALSE(keepAlive.afterRecord(port, 0, 10));           // "END0"
  EXPECT_FALSE(keepAlive.afterRecord(port, 1, 0xFFFFFFFFu));  // no echo line
  EXPECT_TRUE(keepAlive.afterRecord(port, 1, 10));
  const std::vector<uint8_t> six =
      buildCommandFrame(kCmdEnterWork, std::vector<uint8_t>{1, 0, 0, 0}.data(), 4);
  EXPECT_EQ(port.written, std::string(six.begin(), six.end()));
  clock.advance(1000);
  EXPECT_FALSE(keepAlive.afterRecord(port, 1, 10));
  clock.advance(1);
  EXPECT_TRUE(keepAlive.afterRecord(port, 1, 10));
}

// Raises the request and waits with a limit; several stoppers at once (the Stop command and a
// restart's stop) all return once the body has ended, and the thread is joined exactly once.
TEST(StopWorkingThread, RaisesTheRequestAndWaitsWithALimit) {
  std::atomic<bool> stop{false};
  EXPECT_EQ(RIZ720_StopWorkingThread(stop, nullptr), 0);
  EXPECT_TRUE(stop.load());

  WorkerThread worker;
  std::atomic<bool> release{false};
  stop = false;
  std::string diagnostics;
  setLinkDiagnosticSink([&](const char* t) { diagnostics += t; });
  ASSERT_TRUE(worker.start([&] {
    while (!release.load()) std::this_thread::yield();
  }));
  EXPECT_FALSE(worker.start([] {}));  // one body at a time
  EXPECT_EQ(RIZ720_StopWorkingThread(stop, &worker, 20), 0);
  EXPECT_TRUE(worker.valid());
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
    std::vector<std::thread> stoppers;
    stoppers.reserve(4);
    for (int i = 0; i < 4; ++i) {
      stoppers.emplace_back([&] {
        RIZ720_StopWorkingThread(stop, &worker);
        if (!worker.valid() && worker.joinFor(0)) ++returned;
      });
    }
    for (std::thread& t : stoppers) t.join();
    ASSERT_EQ(returned.load(), 4) << "round " << round;
  }
}

class Sequences : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    setLinkDiagnosticSink([this](const char* t) { diagnostics += t; });
  }
  void TearDown() override { setLinkDiagnosticSink(nullptr); }
  void startHead(const sim::HeadSimOptions& options = {}) {
    head = std::make_unique<sim::HeadSimulator>(link.device(), clock, options);
    link.setPump([this] { head->service(); });
  }
  int32_t load(SonarSettings s = {}) {
    deriveSonarParams(s, params, 115200);
    const SonarParamBlocks b = buildParamBlocks(params, false, s.rangeIndex);
    return loadHeadParameters(link.host(), b.block0, b.block1, nullptr, clock);
  }
  int32_t readRecord() { return ReadPingRecord(link.host(), buffer.data(), clock, reader); }
  DataHeader header() { return parseDataHeader(buffer.data()); }

  ManualClock clock{1000};
  LoopbackPair link{clock};
  std::unique_ptr<sim::HeadSimulator> head;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kRecordBufferSize);
  RecordReader reader;
  SonarParams params;
  std::string diagnostics;
};

// From command mode (the head was idle: no record end comes), each header form; then a reload
// from work mode, held there by the keep-alive well beyond the head's 3 s limit.
TEST_F(Sequences, LoadingStartsMatchingRecordsAndReloadingFromWorkMode) {
  for (int32_t headerSize : {28, 36, 44}) {
    SCOPED_TRACE(headerSize);
    startHead({.headerSize = headerSize});
    params.reverse = 1;  // counter-clockwise (set by the dialog, kept by the start derivation)
    ASSERT_EQ(load({.rangeIndex = 9, .stepIndex = 3}), 0);  // 30 m, 4 steps
    EXPECT_EQ(head->mode(), sim::HeadMode::Work);
    EXPECT_TRUE(head->blocksLoaded());
    EXPECT_EQ(diagnostics, "RIZ720_Work2Command failed\n");
    uint32_t prevAngle = 0;
    for (int i = 0; i < 6; ++i) {
      ASSERT_GE(readRecord(), 0);
      EXPECT_EQ(std::make_tuple(header().headersize, header().commandid,
                                RangeFromRecordLength(header().samples)),
                std::make_tuple(uint32_t(headerSize), buildCommandWord(params), 30000));
      if (i > 0) EXPECT_EQ((prevAngle + 28800 - header().angle) % 28800, 36u);  // backwards
      prevAngle = header().angle;
    }
    diagnostics.clear();
  }
  startHead();
  ASSERT_EQ(load(), 0);
  KeepAlive keepAlive(clock);
  const uint32_t start = clock.nowMs();
  while (clock.nowMs() - start < 8000) {
    const int32_t r = readRecord();
    ASSERT_GE(r, -1);
    keepAlive.afterRecord(link.host(), r, header().angle);
  }
  EXPECT_EQ(head->mode(), sim::HeadMode::Work);
  EXPECT_GE(head->keepAlivesTaken(), 6u);
  diagnostics.clear();
  ASSERT_EQ(load({.rangeIndex = 2}), 0);
  EXPECT_EQ(diagnostics, "");  // "CMND\r\n" came back after command 7
  ASSERT_GE(readRecord(), 0);
  EXPECT_EQ(RangeFromRecordLength(header().samples), 3000);
  // Without keep-alives the head gives up and says so.
  EXPECT_EQ(waitCommandMode(link.host(), 10000, clock), 0);
  EXPECT_EQ(head->mode(), sim::HeadMode::Command);
}

TEST_F(Sequences, HeadThatNeverAnnouncesCommandModeIsReachedByTheProbe) {
  startHead({.noCmnd = true});
  ASSERT_EQ(load(), 0);
  diagnostics.clear();
  ASSERT_EQ(load({.gainIndex = 0}), 0);
  EXPECT_EQ(diagnostics, "RIZ720_Work2Command failed\n");
  ASSERT_GE(readRecord(), 0);
  EXPECT_EQ(header().commandid, buildCommandWord(params));
}

// A silent head is abandoned within the limits after three probes and nothing else.
TEST_F(Sequences, SilentHead) {
  startHead({.silent = true});
  const uint32_t start = clock.nowMs();
  EXPECT_EQ(load(), -2);
  EXPECT_EQ(diagnostics, "RIZ720_Work2Command failed\nGo to Command mode failed\n");
  EXPECT_LE(clock.nowMs() - start, 2000u + 100 + 2100 + 200);
  EXPECT_EQ(link.bytesWrittenByHost(), 3u);
  EXPECT_EQ(switchBaud(link.host(), 921600, clock), -2);
}

TEST_F(Sequences, StalledHeadEndsInTimeOuts) {
  startHead({.stallAfter = 3});
  ASSERT_EQ(load(), 0);
  for (int i = 0; i < 3; ++i) EXPECT_GE(readRecord(), 0);
  EXPECT_EQ(readRecord(), -6);
  EXPECT_EQ(head->mode(), sim::HeadMode::Stalled);
  EXPECT_EQ(RIZ720_Work2Command(link.host(), clock), -6);
}

}  // namespace
}  // namespace sk720
