// The acquisition against the simulated head over in-process loopbacks. Stepped: the connect
// sequence, the start and the working loop on the test's own thread, with the head pumped over the
// loopback and a manual clock, so that time-outs, retries and the keep-alive cadence are exact and
// take no real time. Live, on real threads: connect, rate switch, load, work mode, line store,
// record files, re-applying settings, stop and disconnect; and the connect dialog's Cancel, which
// ends the sequence inside its current wait, closes the ports it opened and leaves no loop behind.
// And the heading rules of the working loop and of playback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "acquisition_fixture.h"
#include "base/timestamp.h"
#include "link/loopback.h"
#include "link/working_loop.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "records/playback_feed.h"
#include "scratch_test.h"
#include "sim/gps_receiver_sim.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

using Notes = std::vector<std::string>;

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

// What the acquisition shares with the rest of the program, and what the windows are told.
struct Shared {
  LineStore store;
  ScanInputs inputs;
  GpsFix gps;
  StatusText status;
  testing::NoteObserver notes;
};

class SteppedLoop : public ::testing::Test, protected Shared {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    acq.observer = &notes;
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
  // Loads the head and runs the working loop here until the clock reaches `ms` from now.
  WorkingExit workFor(uint32_t ms) {
    acq.headPort = std::make_unique<testing::ForwardingPort>(link.host());
    deriveSonarParams(acq.settings, acq.params, 115200);
    const SonarParamBlocks b = buildParamBlocks(acq.params, false, acq.settings.rangeIndex);
    EXPECT_EQ(loadHeadParameters(*acq.headPort, b.block0, b.block1, nullptr, clock), 0);
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
  testing::MemoryStorage storage;
  Acquisition acq{store, inputs, gps, status, storage, clock};
  testing::LoopbackFactory none{nullptr, nullptr}, ports{&link.host(), nullptr};
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
// resumes takes its very next record.
TEST_F(SteppedLoop, AHeldHeadIsRecordedFromItsFirstRecordAfterItResumes) {
  startHead({.keepAliveTimeoutMs = 60000});  // the head outlasts the hold
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
  EXPECT_EQ(workFor(8000), WorkingExit::Stopped);
  ASSERT_TRUE(resumed);
  const uint64_t sentSince = head->recordsSent() - sentAtResume;
  EXPECT_EQ(head->mode(), sim::HeadMode::Work);
  EXPECT_GT(sentSince, 10u);
  // The last one may still be on its way.
  EXPECT_LE(sentSince - acq.state.recordsWritten.load(), 1u);
}

// Hold freezes the display while recording goes on. Playback left a position in the shared fix: a
// session without a receiver records position 0.
TEST_F(SteppedLoop, PortLostEndsTheLoopAndKeepsTheFileRecordedWhileHeld) {
  startHead();
  acq.state.hold = 1;
  acq.state.recordEvent = true;
  gps.lat = 0.5f, gps.lon = 0.25f;
  link.setPump([this] {
    head->service();
    if (head->recordsSent() >= 20) link.disconnect();
  });
  EXPECT_EQ(workFor(60000), WorkingExit::PortFailed);
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
  EXPECT_EQ(notes.take(),
            Notes({"status Opening serial port", "status Disconnected", "error port busy"}));
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
  acq.headPort = std::make_unique<testing::ForwardingPort>(link.host());
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
        EXPECT_EQ(notes.take(),
                  Notes({"status Opening serial port", "dialog Port opened",
                         "dialog Zero positioning", "status Disconnected", "dialog Disconnected"}));
      } else {
        acq.headPort = std::make_unique<testing::ForwardingPort>(link.host());
        EXPECT_EQ(startSonar(acq), StartResult::Stopped);
        EXPECT_FALSE(acq.workingThread.valid());
      }
      EXPECT_LE(clock.nowMs() - clock.stopAt, 1100u);
    }
  }
}

using namespace std::chrono_literals;

// Polls a condition for up to 15 s (the test fails on the condition, not on the time taken).
template <class F>
bool eventually(F condition) {
  const auto end = std::chrono::steady_clock::now() + 15s;
  while (!condition() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
  return condition();
}

class LiveLink : public testing::ScratchTest, protected Shared {
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
  Acquisition acq{store, inputs, gps, status, streamRecordStorage()};
  testing::LoopbackFactory ports{&headLink.host(), &gpsLink.host()};
  ConnectJob job;
};

TEST_F(LiveLink, ConnectRecordReapplyStopAndDisconnect) {
  startHead();
  // A second of the receiver's output is waiting on its line when the port opens.
  sim::GpsReceiverSim receiver(sim::GpsSimPlan{.rateHz = 10});
  for (int i = 0; i < 10; ++i) {
    const std::string epoch = receiver.nextEpoch();
    gpsLink.device().write(reinterpret_cast<const uint8_t*>(epoch.data()), int32_t(epoch.size()));
  }
  acq.state.recordingActive = 1;
  job.gpsPortNumber = 4;
  ASSERT_EQ(ConnectThread(acq, job, ports), StartResult::Started);
  EXPECT_EQ(notes.take(),
            Notes({"status Opening serial port", "dialog Port opened", "dialog Zero positioning",
                   "status Connected", "dialog Connected", "rate 5 921600", "store 5 921600 4 4800",
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
  EXPECT_EQ(notes.take(), Notes({"resumed", "reset view", "stop playback"}));
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
  EXPECT_EQ(notes.take(), Notes({"status Disconnected", "rate 0 0", "disconnected"}));
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
  const Notes said = notes.take();
  EXPECT_NE(std::find(said.begin(), said.end(), "rate 5 115200"), said.end());
  EXPECT_NE(std::find(said.begin(), said.end(), "store 5 921600 0 4800"), said.end());
}

TEST_F(LiveLink, CancelDuringTheLoadingLeavesNoLoopRunning) {
  startHead();
  notes.cancelBeforeLoading = true;
  EXPECT_EQ(ConnectThread(acq, job, ports), StartResult::Cancelled);
  expectNothingLeft();
  const Notes said = notes.take();
  ASSERT_GE(said.size(), 3u);
  EXPECT_EQ(Notes(said.end() - 3, said.end()),
            Notes({"status Disconnected", "rate 0 0", "disconnected"}));
  // A request raised before the sequence began opens nothing at all, and says nothing.
  EXPECT_EQ(ConnectThread(acq, job, ports), StartResult::Cancelled);
  EXPECT_TRUE(notes.take().empty());
}

constexpr uint32_t kUp = 1u << 4;

float radiansOf(int64_t units) {
  // NOLINTNEXTLINE(bugprone-integer-division): the heading counts whole ninths
  return float(units / 9) * 2.0f * float(std::acos(-1.0)) / 3200.0f;
}

DataHeader record(uint32_t angle, uint32_t word, int32_t gyro, int32_t compass) {
  return {
      .headersize = 36, .angle = angle, .commandid = word, .gyroangle = gyro, .compass = compass};
}

// Plays one record (16 samples unless it has some); the lines it draws are of no interest here.
void play(testing::RecordSpec r, PlaybackFeedState& state, ScanInputs& played, GpsFix& gps) {
  static LineStore store;
  if (r.samples.empty()) r.samples.assign(16, 1);
  EXPECT_TRUE(feedPlaybackRecord(state, testing::buildRecord(r).data(), store, {}, played, gps));
}

TEST(Heading, FixNearZeroThenGyroOnlyUntilTheWordChanges) {
  // angle, command word, gyro, compass, time, a fix starting then (-1: the one before); compass
  // valid and heading in units after it (-1: not looked at)
  const int64_t steps[][8] = {
      {5000, kUp, 450, 900, 100000, 100000, 0, 450},      // away from zero: the gyro alone
      {28700, kUp, 450, 900, 100010, -1, 1, 900},         // near zero: offset = compass - gyro
      {7000, kUp | 0x100, 1350, 0, 100030, -1, 0, 1800},  // a new word: invalid, offset kept
      // Head mounted down: both angles count the other way; negative headings wrap.
      {100, 0, 0, 28800 - 300, 1, 0, -1, -1},            // c = 300, g = 28800 -> 0
      {9000, 0, 900, 0, 2, -1, -1, -900 + 300 + 28800},  // g = 27900 - 28800 = -900
      {28700, 0, 0, 28800 - 600, 2 + kHeadingFixAgeMs + 1, -1, 1, 600}};  // stale: renewed
  ScanInputs in;
  HeadingFix fix = HeadingFix::startingAt(0);
  for (const auto& s : steps) {
    SCOPED_TRACE(s[0]);
    in.lastCommandWord = uint32_t(s[1]);
    if (s[5] >= 0) fix = HeadingFix::startingAt(uint32_t(s[5]));
    updateHeading(fix, record(uint32_t(s[0]), uint32_t(s[1]), int32_t(s[2]), int32_t(s[3])),
                  uint32_t(s[4]), in);
    if (s[6] >= 0) {
      EXPECT_EQ(in.compassValid.load(), s[6]);
    }
    if (s[7] >= 0) {
      EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(s[7]));
    }
  }
  // A short header: no heading.
  updateHeading(fix, DataHeader{.headersize = 28, .angle = 9000}, 3, in);
  EXPECT_EQ(in.headingRadians.load(), 0.0f);
}

// A played record's position is shown as a fix only when both coordinates are there.
TEST(Heading, PlayedPositionsNeedBothCoordinates) {
  ScanInputs played;
  PlaybackFeedState state;
  const float positions[][3] = {{0.5f, 0.25f, 1}, {0.5f, 0, 0}, {0, 0.25f, 0}, {0, 0, 0}};
  for (const auto& [lat, lon, sig] : positions) {
    GpsFix gps{.sig = 1 - int32_t(sig)};
    play({.lat = lat, .lon = lon}, state, played, gps);
    EXPECT_EQ(std::make_tuple(gps.sig.load(), gps.lat.load(), gps.lon.load()),
              std::make_tuple(int32_t(sig), lat, lon));
  }
  played.headingRadians = 1.0f;  // a short header: no position and no heading
  GpsFix gps{.sig = 1};
  play({.headerSize = 28, .samples = {1, 2}}, state, played, gps);
  EXPECT_EQ(std::make_pair(gps.sig.load(), played.headingRadians.load()), std::make_pair(0, 0.0f));
}

// The fix is taken within 2 degrees of zero (angles up to 160 and above 28640), live and played.
// Damaged compass and gyro fields give a heading within one turn, the same one as their values
// taken modulo a turn, both live and in playback: the display never unwinds turns.
TEST(Heading, TheFixNearZeroAndDamagedFieldsWithinOneTurn) {
  // angle, compass (the gyro of the next live record), fix taken
  const int64_t rows[][3] = {{0, INT32_MAX, 1}, {0, INT32_MIN, 1}, {160, 900, 1},
                             {161, 900, 0},     {28640, 900, 0},   {28641, 900, 1}};
  for (const auto& [angle, field, fixed] : rows) {
    SCOPED_TRACE(::testing::Message() << angle << " " << field);
    const int64_t units = (field % 28800 + 28800) % 28800;
    ScanInputs live{.lastCommandWord = kUp}, played;
    HeadingFix fix = HeadingFix::startingAt(0);
    // The offset is the compass, the heading then the gyro plus the offset.
    updateHeading(fix, record(uint32_t(angle), kUp, 0, int32_t(field)), 1, live);
    EXPECT_EQ(live.compassValid.load(), fixed);
    updateHeading(fix, record(9000, kUp, int32_t(field), 0), 2, live);
    GpsFix gps;
    PlaybackFeedState state;
    play({.angle = uint32_t(angle), .commandId = kUp, .compass = int32_t(field)}, state, played,
         gps);
    EXPECT_EQ(played.compassValid.load(), fixed);
    const float first = played.headingRadians.load();
    play({.angle = 9000, .commandId = kUp, .gyro = int32_t(field)}, state, played, gps);
    if (!fixed) continue;
    EXPECT_FLOAT_EQ(live.headingRadians.load(), radiansOf(2 * units % 28800));
    EXPECT_FLOAT_EQ(first, radiansOf(units));
    EXPECT_FLOAT_EQ(played.headingRadians.load(), radiansOf(2 * units % 28800));
  }
}

}  // namespace
}  // namespace sk720
