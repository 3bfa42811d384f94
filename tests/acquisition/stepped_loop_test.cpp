// The connect sequence, the start and the working loop on the test's own thread, with the
// simulated head pumped over the loopback and a manual clock: time-outs, retries and the
// keep-alive cadence are exact and take no real time.
#include <gtest/gtest.h>

#include "acquisition_fixture.h"
#include "link/loopback.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

using testing::ForwardingPort;
using testing::LoopbackFactory;

// Raises a stop request once its time has come, whoever moves the clock: a wait's read or a pause.
struct StopAtClock : ManualClock {
  using ManualClock::ManualClock;
  uint32_t nowMs() override {
    if (flag && ManualClock::nowMs() >= stopAt) flag->store(true);
    return ManualClock::nowMs();
  }
  void sleepMs(uint32_t ms) override {
    ManualClock::sleepMs(ms);
    nowMs();
  }
  std::atomic<bool>* flag = nullptr;
  uint32_t stopAt = 0;
};

class SteppedLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    acq.observer = &notes;
    acq.setWorkingFolder("mem");
  }
  void startHead(const sim::HeadSimOptions& options = {}) {
    head = std::make_unique<sim::HeadSimulator>(link.device(), clock, options);
    keepAlives.clear();
    link.setPump([this] { service(); });
  }
  // Serves the head; notes when it takes each keep-alive.
  void service() {
    head->service();
    while (keepAlives.size() < head->keepAlivesTaken()) keepAlives.push_back(clock.nowMs());
  }
  void loadHead() {
    acq.headPort = std::make_unique<ForwardingPort>(link.host());
    SonarParams params;
    SonarSettings settings;
    deriveSonarParams(settings, params, 115200);
    const SonarParamBlocks b = buildParamBlocks(params, false, settings.rangeIndex);
    EXPECT_EQ(loadHeadParameters(*acq.headPort, b.block0, b.block1, nullptr, clock), 0);
  }
  // Loads the head and runs the working loop here until the clock reaches `ms` from now.
  WorkingExit workFor(uint32_t ms) {
    loadHead();
    clock.flag = &acq.state.stopRequest;
    clock.stopAt = clock.nowMs() + ms;
    acq.state.stopRequest = false;
    return WorkingThread(ThreadJob{&acq, "mem"});
  }
  // The one record file holds something.
  bool recorded() { return storage.files.size() == 1 && !storage.files.begin()->second.empty(); }

  StopAtClock clock{5000};
  LoopbackPair link{clock};
  std::unique_ptr<sim::HeadSimulator> head;
  std::vector<uint32_t> keepAlives;
  LineStore store;
  ScanInputs inputs;
  GpsFix gps;
  StatusText status;
  testing::MemoryStorage storage;
  testing::NoteObserver notes;
  Acquisition acq{store, inputs, gps, status, storage, clock};
  LoopbackFactory none{nullptr, nullptr}, ports{&link.host(), nullptr};
};

TEST_F(SteppedLoop, KeepAliveAboutOnceASecondHoldsTheHeadInWork) {
  startHead();
  acq.state.keepAlivesSent = 99;  // an earlier loop's count
  EXPECT_EQ(workFor(12000), WorkingExit::Stopped);
  EXPECT_EQ(head->mode(), sim::HeadMode::Work);  // it would have left after 3 s without them
  ASSERT_GE(keepAlives.size(), 10u);
  EXPECT_EQ(acq.state.keepAlivesSent.load(), keepAlives.size());
  for (size_t i = 1; i < keepAlives.size(); ++i) {
    const uint32_t gap = keepAlives[i] - keepAlives[i - 1];
    EXPECT_TRUE(gap > 1000 && gap < 1200) << gap;  // the next "END1" record after the second
  }
  EXPECT_GT(acq.state.recordsReceived.load(), 50u);
  EXPECT_TRUE(storage.files.empty());  // recording was off: the unused file is gone
}

// A head held for 2.5 s (its process stopped, its clock running on), taken again just before its
// next keep-alive was due: the loop waits through the silence, and Record pressed as the head
// resumes takes its very next record. A head whose keep-alive limit ran out while it was held
// goes back to command mode and sends nothing more; the loop goes on waiting for it.
TEST_F(SteppedLoop, AHeldHeadIsRecordedFromItsFirstRecordAfterItResumes) {
  for (const auto& [keepAliveTimeoutMs, streamsAgain] : {std::pair{60000u, true}, {3000u, false}}) {
    SCOPED_TRACE(keepAliveTimeoutMs);
    startHead({.keepAliveTimeoutMs = keepAliveTimeoutMs});
    uint32_t heldAt = 0, sentAtResume = 0;
    bool resumed = false;
    link.setPump([&] {
      const uint32_t now = clock.nowMs();
      if (heldAt == 0 && acq.state.workingRunning && !keepAlives.empty() &&
          now >= keepAlives.back() + 900) {
        heldAt = now;
      }
      if (heldAt != 0 && now < heldAt + 2500) return;
      if (heldAt != 0 && !resumed) {
        resumed = true;
        sentAtResume = head->recordsSent();
        acq.state.recordEvent = true;
      }
      service();
    });
    acq.state.recordEvent = false;
    EXPECT_EQ(workFor(8000), WorkingExit::Stopped);
    ASSERT_TRUE(resumed);
    const uint64_t sentSince = head->recordsSent() - sentAtResume;
    const uint64_t written = acq.state.recordsWritten.load();
    if (streamsAgain) {
      EXPECT_EQ(head->mode(), sim::HeadMode::Work);
      EXPECT_GT(sentSince, 10u);
      EXPECT_LE(sentSince - written, 1u);  // the last one may still be on its way
    } else {
      EXPECT_EQ(head->mode(), sim::HeadMode::Command);
      EXPECT_EQ(sentSince + written, 0u);
    }
  }
}

// Hold freezes the display while recording goes on. Playback left a position in the shared fix: a
// session without a receiver records position 0.
TEST_F(SteppedLoop, PortLostEndsTheLoopAndKeepsTheFileRecordedWhileHeld) {
  startHead();
  acq.state.hold = 1;
  acq.state.recordEvent = true;
  gps.lat = 0.5f, gps.lon = 0.25f;
  loadHead();
  link.setPump([this] {
    head->service();
    if (head->recordsSent() >= 20) link.disconnect();
  });
  EXPECT_EQ(WorkingThread(ThreadJob{&acq, "mem"}), WorkingExit::PortFailed);
  ASSERT_EQ(std::vector<bool>({acq.state.recordEvent, acq.state.workingRunning, recorded()}),
            std::vector<bool>({false, false, true}));
  const DataHeader last = testing::readRecords(storage.files.begin()->second).back();
  EXPECT_EQ(std::make_pair(last.latitude, last.longitude), std::make_pair(0.0f, 0.0f));
  std::lock_guard<std::mutex> g(store.lineLock);
  for (uint32_t d : store.dirtyDegrees) ASSERT_EQ(d, 0u);
  EXPECT_EQ(store.currentLineIndex.load(), 0);
}

TEST_F(SteppedLoop, PortFailuresAndASilentHead) {
  gps.lat = 0.5f, gps.sig = 1;  // a fix playback left: a new connection clears it
  EXPECT_EQ(ConnectThread(acq, ConnectJob{1, 2, 4800, 921600}, none), StartResult::HeadPortFailed);
  EXPECT_EQ(std::make_pair(gps.lat.load(), gps.sig.load()), std::make_pair(0.0f, 0));
  EXPECT_EQ(none.gpsOpens, 0);
  EXPECT_EQ(notes.take(), (std::vector<std::string>{"status Opening serial port",
                                                    "status Disconnected", "error port busy"}));
  EXPECT_EQ(ConnectThread(acq, ConnectJob{1, 2, 4800, 921600}, ports), StartResult::GpsPortFailed);
  EXPECT_EQ(acq.headPort, nullptr);
  EXPECT_EQ(notes.take().back(), "error gps busy");
  startHead({.silent = true});
  const uint32_t t0 = clock.nowMs();
  EXPECT_EQ(ConnectThread(acq, ConnectJob{1, 0, 4800, 921600}, ports), StartResult::NoAnswer);
  EXPECT_EQ(ports.attentions.load(), 5);
  // Five 2 s waits for "#SYNC\n", each followed by a 3 s pause: about 25 s.
  EXPECT_NEAR(clock.nowMs() - t0, 5u * 2000 + 5u * 3000 + 500, 500);
  EXPECT_EQ(acq.headPort, nullptr);
  EXPECT_EQ(notes.take().back(), "dialog Disconnected");

  // An abandoned loading: no loop, no receiver thread, no stop event, no recording, and nothing
  // said.
  acq.headPort = std::make_unique<ForwardingPort>(link.host());
  acq.state.recordingActive = 1;
  EXPECT_EQ(startSonar(acq), StartResult::LoadFailed);
  EXPECT_EQ(std::vector<bool>({acq.workingThread.valid(), acq.gpsThread.valid(),
                               acq.state.stopEventCreated, acq.state.recordEvent,
                               acq.state.workingRunning, !notes.take().empty()}),
            std::vector<bool>(6, false));
}

// A silent head: the rate switch's five waits and four pauses (about 22 s), and the loading
// sequence's waits (about 4 s), stopped at points all through them.
TEST_F(SteppedLoop, LinkStopEndsAConnectOrALoadWithinOnePointOneSecondsInEveryState) {
  startHead({.silent = true});
  clock.flag = &acq.state.linkStopRequest;
  for (bool connecting : {true, false}) {
    for (uint32_t stopAt = 0; stopAt < (connecting ? 21500u : 3900u); stopAt += 370) {
      SCOPED_TRACE(::testing::Message() << (connecting ? "connect " : "load ") << stopAt);
      resetHeadWaitWindows();
      clock.stopAt = clock.nowMs() + stopAt;
      acq.state.linkStopRequest = false;
      if (connecting) {
        EXPECT_EQ(ConnectThread(acq, ConnectJob{1, 0, 4800, 921600}, ports), StartResult::Stopped);
        EXPECT_EQ(acq.headPort, nullptr);
        const std::vector<std::string> said = notes.take();
        ASSERT_GE(said.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(said.end() - 2, said.end()),
                  (std::vector<std::string>{"status Disconnected", "dialog Disconnected"}));
      } else {
        acq.headPort = std::make_unique<ForwardingPort>(link.host());
        EXPECT_EQ(startSonar(acq), StartResult::Stopped);
        EXPECT_FALSE(acq.workingThread.valid());
      }
      EXPECT_LE(clock.nowMs() - clock.stopAt, 1100u);
    }
  }
}
}  // namespace
}  // namespace sk720
