// The protocol's sequences against the simulated head, over an in-process loopback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/byte_order.h"
#include "link/head_protocol.h"
#include "link/loopback.h"
#include "link/sonar_params.h"
#include "records/ping_record.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

using sim::HeadMode;
using sim::HeadSimOptions;
using sim::HeadSimulator;

class Sequences : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    setLinkDiagnosticSink([this](const char* t) { diagnostics += t; });
  }
  void TearDown() override { setLinkDiagnosticSink(nullptr); }

  void startHead(HeadSimOptions options = {}) {
    options.onRecord = [this](const sim::SentRecord& r) { sent.push_back(r); };
    head = std::make_unique<HeadSimulator>(link.device(), clock, options);
    link.setPump([this] { head->service(); });
  }
  SonarParamBlocks blocksFor(SonarSettings s) {
    deriveSonarParams(s, params, 115200);
    return buildParamBlocks(params, false, s.rangeIndex);
  }
  int32_t load(const SonarParamBlocks& b) {
    return loadHeadParameters(link.host(), b.block0, b.block1, nullptr, clock);
  }
  int32_t readRecord() { return ReadPingRecord(link.host(), buffer.data(), clock, reader); }

  ManualClock clock{1000};
  LoopbackPair link{clock};
  std::unique_ptr<HeadSimulator> head;
  std::vector<sim::SentRecord> sent;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kRecordBufferSize);
  RecordReader reader;
  SonarParams params;
  std::string diagnostics;
};

TEST_F(Sequences, RateSwitchAcceptedAndRefused) {
  startHead();
  EXPECT_EQ(switchBaud(link.host(), 921600, clock), 0);
  EXPECT_EQ(link.hostBaud(), 921600);
  EXPECT_EQ(head->baud(), 921600);

  HeadSimOptions refusing;
  refusing.refuseRate = true;
  startHead(refusing);
  link.host().setBaud(115200);
  EXPECT_EQ(switchBaud(link.host(), 460800, clock), 1);
  EXPECT_EQ(link.hostBaud(), 115200);  // the port stays where it was
}

TEST_F(Sequences, LoadingFromCommandModeStartsMatchingRecords) {
  for (int32_t headerSize : {28, 36, 44}) {
    SCOPED_TRACE(headerSize);
    HeadSimOptions o;
    o.headerSize = headerSize;
    startHead(o);
    SonarSettings s;
    s.rangeIndex = 9;
    s.stepIndex = 3;     // 4 steps
    params.reverse = 1;  // counter-clockwise (set by the dialog, kept by the start derivation)
    const SonarParamBlocks b = blocksFor(s);
    ASSERT_EQ(load(b), 0);
    EXPECT_EQ(head->mode(), HeadMode::Work);
    EXPECT_TRUE(head->blocksLoaded());
    EXPECT_NE(diagnostics.find("RIZ720_Work2Command failed"), std::string::npos);  // was idle

    uint32_t prevAngle = 0;
    for (int i = 0; i < 6; ++i) {
      const int32_t r = readRecord();
      ASSERT_GE(r, 0);
      const DataHeader h = parseDataHeader(buffer.data());
      EXPECT_EQ(h.headersize, uint32_t(headerSize));
      EXPECT_EQ(h.commandid, buildCommandWord(params));
      EXPECT_EQ(RangeFromRecordLength(h.samples), 30000);
      if (i > 0) {
        EXPECT_EQ((prevAngle + 28800 - h.angle) % 28800, 36u);  // 4 steps backwards
      }
      prevAngle = h.angle;
    }
    diagnostics.clear();
  }
}

TEST_F(Sequences, ReloadingFromWorkModeAndKeepAlive) {
  startHead();
  SonarSettings s;
  ASSERT_EQ(load(blocksFor(s)), 0);
  KeepAlive keepAlive(clock);
  // With the keep-alive the head keeps streaming well beyond its 3 s limit.
  const uint32_t start = clock.nowMs();
  while (clock.nowMs() - start < 8000) {
    const int32_t r = readRecord();
    ASSERT_GE(r, -1);
    keepAlive.afterRecord(link.host(), r, parseDataHeader(buffer.data()).angle);
  }
  EXPECT_EQ(head->mode(), HeadMode::Work);
  EXPECT_GE(head->keepAlivesTaken(), 6u);

  diagnostics.clear();
  s.rangeIndex = 2;
  ASSERT_EQ(load(blocksFor(s)), 0);
  EXPECT_EQ(diagnostics, "");  // "CMND\r\n" came back after command 7
  ASSERT_GE(readRecord(), 0);
  EXPECT_EQ(RangeFromRecordLength(parseDataHeader(buffer.data()).samples), 3000);

  // Without keep-alives the head gives up and says so.
  EXPECT_EQ(waitCommandMode(link.host(), 10000, clock), 0);
  EXPECT_EQ(head->mode(), HeadMode::Command);
}

TEST_F(Sequences, SilentHeadIsAbandonedWithinLimits) {
  HeadSimOptions o;
  o.silent = true;
  startHead(o);
  const uint32_t start = clock.nowMs();
  EXPECT_EQ(load(blocksFor(SonarSettings{})), -2);
  EXPECT_EQ(diagnostics, "RIZ720_Work2Command failed\nGo to Command mode failed\n");
  EXPECT_LE(clock.nowMs() - start, 2000u + 100 + 2100 + 200);
  EXPECT_EQ(link.bytesWrittenByHost(), 3u);  // three probes, nothing else
  EXPECT_EQ(switchBaud(link.host(), 921600, clock), -2);
}

TEST_F(Sequences, HeadThatNeverAnnouncesCommandModeIsReachedByTheProbe) {
  HeadSimOptions o;
  o.noCmnd = true;
  startHead(o);
  ASSERT_EQ(load(blocksFor(SonarSettings{})), 0);
  diagnostics.clear();
  SonarSettings s;
  s.gainIndex = 0;
  ASSERT_EQ(load(blocksFor(s)), 0);
  EXPECT_EQ(diagnostics, "RIZ720_Work2Command failed\n");
  ASSERT_GE(readRecord(), 0);
  EXPECT_EQ(parseDataHeader(buffer.data()).commandid, buildCommandWord(params));
}

TEST_F(Sequences, BadFramesAreRefusedByTheHead) {
  startHead();
  const char* bad[] = {"Q01ORAcAAAAAAAAAAAAAAAABAAAA\r", "Q01ORAcAAAAAAA\r", "not base64!\r"};
  for (const char* f : bad) {
    link.host().write(reinterpret_cast<const uint8_t*>(f), int32_t(std::strlen(f)));
    EXPECT_EQ(waitReply(link.host(), clock), 1) << f;
  }
  EXPECT_EQ(head->framesRejected(), 3u);
  EXPECT_EQ(head->mode(), HeadMode::Command);
}

TEST_F(Sequences, PortLostMidSequence) {
  startHead();
  int pumps = 0;
  link.setPump([&] {
    head->service();
    if (++pumps == 3) link.disconnect();
  });
  EXPECT_EQ(load(blocksFor(SonarSettings{})), -5);
  EXPECT_EQ(readRecord(), -5);
  EXPECT_EQ(switchBaud(link.host(), 921600, clock), -5);
}

TEST_F(Sequences, FaultyStreamArrivesAsLogged) {
  HeadSimOptions o;
  o.corruptRate = 0.2;
  o.dropRate = 0.2;
  o.garbageRate = 0.5;
  o.seed = 7;
  startHead(o);
  ASSERT_EQ(load(blocksFor(SonarSettings{})), 0);
  KeepAlive keepAlive(clock);
  std::vector<uint32_t> arrived;
  int good = 0, rejected = 0;
  while (good + rejected < 60) {
    const int32_t r = readRecord();
    if (r >= 0) {
      const DataHeader h = parseDataHeader(buffer.data());
      arrived.push_back(headChecksum(buffer.data(), h.samples));
      keepAlive.afterRecord(link.host(), r, h.angle);
      ++good;
    } else {
      ASSERT_NE(r, -5);
      ++rejected;
    }
  }
  // Every record that arrived whole was sent exactly so.
  size_t matched = 0;
  for (uint32_t c : arrived) {
    for (const auto& s : sent) matched += s.checksum == c ? 1 : 0;
  }
  EXPECT_EQ(matched, arrived.size());
  EXPECT_LT(sent.size(), sent.back().index + 1);  // some were dropped
  EXPECT_GT(good, 30);
}

TEST_F(Sequences, StalledHeadEndsInTimeOuts) {
  HeadSimOptions o;
  o.stallAfter = 3;
  startHead(o);
  ASSERT_EQ(load(blocksFor(SonarSettings{})), 0);
  for (int i = 0; i < 3; ++i) EXPECT_GE(readRecord(), 0);
  EXPECT_EQ(readRecord(), -6);
  EXPECT_EQ(head->mode(), HeadMode::Stalled);
  EXPECT_EQ(RIZ720_Work2Command(link.host(), clock), -6);
}

TEST(HeadOnThread, LoadsAndStreamsInRealTime) {
  resetHeadWaitWindows();
  LoopbackPair link;
  std::atomic<bool> stop{false};
  HeadSimulator head(link.device(), systemClock());
  WorkerThread headThread;
  headThread.start([&] { head.run(stop); });
  SonarSettings s;
  s.rangeIndex = 0;
  SonarParams p;
  deriveSonarParams(s, p, 921600);
  const SonarParamBlocks b = buildParamBlocks(p, false, 0);
  EXPECT_EQ(switchBaud(link.host(), 921600), 0);
  EXPECT_EQ(loadHeadParameters(link.host(), b.block0, b.block1, nullptr), 0);
  std::vector<uint8_t> buffer(kRecordBufferSize);
  RecordReader reader;
  for (int i = 0; i < 5; ++i) {
    ASSERT_GE(ReadPingRecord(link.host(), buffer.data(), systemClock(), reader), 0);
    EXPECT_EQ(RangeFromRecordLength(parseDataHeader(buffer.data()).samples), 1500);
  }
  RIZ720_StopWorkingThread(stop, &headThread);
  EXPECT_FALSE(headThread.valid());
}

}  // namespace
}  // namespace sk720
