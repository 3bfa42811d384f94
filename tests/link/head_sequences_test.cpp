// The protocol's sequences against the simulated head, over an in-process loopback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/head_protocol.h"
#include "link/loopback.h"
#include "link/sonar_params.h"
#include "records/ping_record.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

using sim::HeadMode;
using sim::HeadSimOptions;

class Sequences : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    setLinkDiagnosticSink([this](const char* t) { diagnostics += t; });
  }
  void TearDown() override { setLinkDiagnosticSink(nullptr); }
  void startHead(const HeadSimOptions& options = {}) {
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
    EXPECT_EQ(head->mode(), HeadMode::Work);
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
  EXPECT_EQ(head->mode(), HeadMode::Work);
  EXPECT_GE(head->keepAlivesTaken(), 6u);
  diagnostics.clear();
  ASSERT_EQ(load({.rangeIndex = 2}), 0);
  EXPECT_EQ(diagnostics, "");  // "CMND\r\n" came back after command 7
  ASSERT_GE(readRecord(), 0);
  EXPECT_EQ(RangeFromRecordLength(header().samples), 3000);
  // Without keep-alives the head gives up and says so.
  EXPECT_EQ(waitCommandMode(link.host(), 10000, clock), 0);
  EXPECT_EQ(head->mode(), HeadMode::Command);
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
  EXPECT_EQ(head->mode(), HeadMode::Stalled);
  EXPECT_EQ(RIZ720_Work2Command(link.host(), clock), -6);
}

}  // namespace
}  // namespace sk720
