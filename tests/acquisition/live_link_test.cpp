// The whole live path against the simulated head and receiver over in-process loopbacks, on
// real threads: connect, rate switch, load, work mode, line store, record files, re-applying
// settings, stop and disconnect; and the connect dialog's Cancel, which ends the sequence inside
// its current wait, closes the ports it opened and leaves no loop behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "acquisition_fixture.h"
#include "base/timestamp.h"
#include "link/loopback.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "scratch_test.h"
#include "sim/gps_receiver_sim.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

using namespace std::chrono_literals;

// Polls a condition for up to 15 s (the test fails on the condition, not on the time taken).
template <class F>
bool eventually(F condition) {
  const auto end = std::chrono::steady_clock::now() + 15s;
  while (!condition() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
  return condition();
}

class LiveLink : public testing::ScratchTest {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    acq.setWorkingFolder(dir.string());
    acq.observer = &notes;
    job = ConnectJob{.headPortNumber = 5, .headBaud = 921600, .cancel = &notes.cancel};
  }
  void TearDown() override {
    disconnectHead(acq);
    stopHead();
  }
  void startHead(const sim::HeadSimOptions& options = {}) {
    stopHead();
    stop = false;
    head = std::make_unique<sim::HeadSimulator>(headLink.device(), systemClock(), options);
    headThread = std::thread([this] { head->run(stop); });
  }
  void stopHead() {
    stop = true;
    if (headThread.joinable()) headThread.join();
  }
  // Everything of the link is gone: no loop, no port.
  void expectNothingLeft() {
    EXPECT_EQ(std::vector<bool>({acq.headPort != nullptr, acq.gpsPort != nullptr,
                                 acq.workingThread.valid(), acq.state.workingRunning}),
              std::vector<bool>(4, false));
  }

  LoopbackPair headLink, gpsLink;
  std::unique_ptr<sim::HeadSimulator> head;
  std::atomic<bool> stop{false};
  std::thread headThread;
  LineStore store;
  ScanInputs inputs;
  GpsFix gps;
  StatusText status;
  testing::NoteObserver notes;
  Acquisition acq{store, inputs, gps, status, streamRecordStorage()};
  testing::LoopbackFactory ports{&headLink.host(), &gpsLink.host()};
  ConnectJob job;
};

TEST_F(LiveLink, ConnectRecordReapplyStopAndDisconnect) {
  startHead();
  sim::GpsReceiverSim receiver(sim::GpsSimPlan{.rateHz = 10});  // a second of its output waits
  for (int i = 0; i < 10; ++i) {
    const std::string epoch = receiver.nextEpoch();
    gpsLink.device().write(reinterpret_cast<const uint8_t*>(epoch.data()), int32_t(epoch.size()));
  }
  acq.state.recordingActive = 1;
  job.gpsPortNumber = 4;
  ASSERT_EQ(ConnectThread(acq, job, ports), StartResult::Started);
  EXPECT_EQ(notes.take(),
            (std::vector<std::string>{"status Opening serial port", "dialog Port opened",
                                      "dialog Zero positioning", "status Connected",
                                      "dialog Connected", "rate 5 921600", "store 5 921600 4 4800",
                                      "resumed", "stop playback"}));
  EXPECT_EQ(ports.gpsBaud, 4800);
  EXPECT_EQ(ports.attentions.load(), 1);  // a switch that succeeds is not tried again
  EXPECT_EQ(head->baud() + headLink.hostBaud() + acq.state.headBaud.load(), 3 * 921600);
  EXPECT_EQ(acq.params.pingPeriod, pingPeriodFor(acq.params.step, acq.params.samples, 921600));
  EXPECT_TRUE(head->mode() == sim::HeadMode::Work && acq.state.recordEvent);

  // Lines arrive in the store, the receiver's position in the shared fix.
  ASSERT_TRUE(
      eventually([&] { return acq.state.recordsWritten.load() >= 60 && gps.sig.load() != 0; }));
  EXPECT_TRUE(acq.state.gpsReading.load());  // the echo trace tells a receiver is attached
  EXPECT_EQ(inputs.lastDeviceId.load(), 720001u);
  EXPECT_EQ(inputs.currentRangeMm.load(), 10000);
  const int32_t line = store.currentLineIndex.load();
  bool echo = false;
  for (int32_t s = 0; s < 2000 && !echo; ++s) echo = store.load(line, s) != 0;
  EXPECT_TRUE(echo);
  const std::string first = acq.recordPath();
  EXPECT_EQ(status.get(), first + " : Record in progress");

  // New settings: a new loop with a new file, recording resumed, the view reset for the range.
  const std::string stamp = FormatTimestamp();
  ASSERT_TRUE(eventually([&] { return FormatTimestamp() != stamp; }));  // a distinct file name
  acq.settings.rangeIndex = 4;                                          // 6 m
  ASSERT_EQ(startSonar(acq), StartResult::Started);
  EXPECT_EQ(notes.take(), (std::vector<std::string>{"resumed", "reset view", "stop playback"}));
  ASSERT_TRUE(eventually([&] {
    return acq.state.workingLoopsStarted.load() == 2 && acq.state.recordsWritten.load() >= 30;
  }));
  const std::string second = acq.recordPath();
  EXPECT_NE(second, first);
  EXPECT_EQ(inputs.currentRangeMm.load(), 6000);

  // A silent head must not hold up the stop: the loop notices it between reader time-outs.
  stopHead();
  RIZ720_StopWorkingThread(acq.state.stopRequest, &acq.workingThread, 5000);
  EXPECT_FALSE(acq.workingThread.valid() || acq.state.recordEvent);
  EXPECT_EQ(acq.state.workingExit.load(), WorkingExit::Stopped);
  disconnectHead(acq);
  EXPECT_EQ(notes.take(),
            (std::vector<std::string>{"status Disconnected", "rate 0 0", "disconnected"}));
  expectNothingLeft();
  EXPECT_FALSE(acq.state.gpsReading.load());

  // Both files hold whole records of their range, positioned by the receiver by their end.
  for (const std::string& path : {first, second}) {
    const std::vector<DataHeader> headers = testing::readRecords(testing::fileBytes(path));
    ASSERT_GE(headers.size(), 30u) << path;
    EXPECT_NEAR(headers.back().latitude, 35.0950 * std::acos(-1.0) / 180.0, 1e-4) << path;
    EXPECT_EQ(RangeFromRecordLength(headers.back().samples), path == first ? 10000 : 6000);
  }
}

TEST_F(LiveLink, CancelDuringTheRateSwitchEndsItsWaitAndARefusedRateIsKept) {
  startHead({.silent = true});  // never answers the attention: every attempt fails
  StartResult result = StartResult::Started;
  std::thread connect([&] { result = ConnectThread(acq, job, ports); });
  // The first attempt has begun: the cancel comes inside its two-second wait for the head and
  // ends that wait, not only the next step.
  while (ports.attentions.load() == 0) std::this_thread::sleep_for(5ms);
  const auto cancelledAt = std::chrono::steady_clock::now();
  cancelConnection(acq, notes.cancel);
  connect.join();
  EXPECT_LT(std::chrono::steady_clock::now() - cancelledAt, 1s);
  EXPECT_EQ(result, StartResult::Cancelled);
  EXPECT_EQ(ports.attentions.load(), 1);  // no further attempt after the request
  expectNothingLeft();
  EXPECT_EQ(notes.take().back(), "disconnected");

  // A cancelled request is not one the next Start inherits. A head refusing the rate is driven at
  // the opening rate, and not asked again; the choice the user made is what is stored.
  startHead({.refuseRate = true});
  notes.cancel = false;
  ASSERT_EQ(ConnectThread(acq, job, ports), StartResult::Started);
  EXPECT_EQ(std::make_tuple(ports.attentions.load(), acq.state.headBaud.load(), head->baud()),
            std::make_tuple(2, 115200, 115200));
  EXPECT_TRUE(head->mode() == sim::HeadMode::Work && acq.state.workingRunning);
  const std::vector<std::string> said = notes.take();
  EXPECT_NE(std::find(said.begin(), said.end(), "rate 5 115200"), said.end());
  EXPECT_NE(std::find(said.begin(), said.end(), "store 5 921600 0 4800"), said.end());
}

TEST_F(LiveLink, CancelDuringTheLoadingLeavesNoLoopRunning) {
  startHead();
  notes.cancelBeforeLoading = true;
  EXPECT_EQ(ConnectThread(acq, job, ports), StartResult::Cancelled);
  expectNothingLeft();
  const std::vector<std::string> said = notes.take();
  ASSERT_GE(said.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(said.end() - 3, said.end()),
            (std::vector<std::string>{"status Disconnected", "rate 0 0", "disconnected"}));
  // A request raised before the sequence began opens nothing at all, and says nothing.
  EXPECT_EQ(ConnectThread(acq, job, ports), StartResult::Cancelled);
  EXPECT_TRUE(notes.take().empty());
}

}  // namespace
}  // namespace sk720
