// The whole live path against the simulated head and receiver over in-process loopbacks, on
// real threads: connect, rate switch, load, work mode, line store, record files, re-applying
// settings, stop and disconnect.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "acquisition_fixture.h"
#include "base/memory_source.h"
#include "base/timestamp.h"
#include "link/loopback.h"
#include "records/ping_record.h"
#include "sim/gps_receiver_sim.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::LoopbackFactory;
using testing::NoteObserver;

// Polls a condition for up to limit (the test fails on the condition, not on the time taken).
template <class F>
bool eventually(F condition, std::chrono::milliseconds limit = 15s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::vector<DataHeader> readRecordFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  MemorySource source(bytes);
  ManualClock clock;
  std::vector<uint8_t> buffer(kRecordBufferSize);
  RecordReader reader;
  std::vector<DataHeader> headers;
  while (!source.atEnd()) {
    const int32_t r = ReadPingRecord(source, buffer.data(), clock, reader);
    if (r < 0) {
      ADD_FAILURE() << "unreadable record " << r << " after " << headers.size() << " in " << path;
      break;
    }
    headers.push_back(parseDataHeader(buffer.data()));
  }
  return headers;
}

class LivePath : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    dir = fs::temp_directory_path() / ("sk720-live-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    acq.setWorkingFolder(dir.string());
    acq.observer = &notes;
    headThread = std::thread([this] { head.run(stop); });
    gpsThread = std::thread([this] {
      sim::GpsSimPlan plan;
      plan.rateHz = 10;
      sim::GpsReceiverSim receiver(plan);
      while (!stop.load()) {
        const std::string epoch = receiver.nextEpoch();
        gpsLink.device().write(reinterpret_cast<const uint8_t*>(epoch.data()),
                               int32_t(epoch.size()));
        std::this_thread::sleep_for(100ms);
      }
    });
  }
  void TearDown() override {
    stopSimulators();
    fs::remove_all(dir);
  }
  void stopSimulators() {
    stop = true;
    if (headThread.joinable()) headThread.join();
    if (gpsThread.joinable()) gpsThread.join();
  }

  fs::path dir;
  LoopbackPair headLink;
  LoopbackPair gpsLink;
  sim::HeadSimulator head{headLink.device(), systemClock()};
  std::atomic<bool> stop{false};
  std::thread headThread, gpsThread;

  LineStore store;
  ScanInputs inputs;
  GpsFix gps;
  StatusText status;
  NoteObserver notes;
  Acquisition acq{store, inputs, gps, status, streamRecordStorage()};
  LoopbackFactory ports{&headLink.host(), &gpsLink.host(), systemClock()};
};

TEST_F(LivePath, ConnectRecordReapplyStopAndDisconnect) {
  acq.state.recordingActive = 1;
  ConnectJob job;
  job.headPortNumber = 3;
  job.gpsPortNumber = 4;
  job.gpsBaud = 4800;
  job.headBaud = 921600;
  ASSERT_EQ(ConnectThread(acq, job, ports), StartResult::Started);
  EXPECT_EQ(notes.take(),
            (std::vector<std::string>{"status Opening serial port", "dialog Port opened",
                                      "dialog Zero positioning", "status Connected",
                                      "dialog Connected", "rate 3 921600", "store 3 921600 4 4800",
                                      "resumed", "stop playback"}));
  EXPECT_EQ(ports.gpsBaud, 4800);
  EXPECT_EQ(head.baud(), 921600);
  EXPECT_EQ(headLink.hostBaud(), 921600);
  EXPECT_EQ(head.mode(), sim::HeadMode::Work);
  EXPECT_TRUE(acq.state.recordEvent.load());

  // Lines arrive in the store, the receiver's position in the shared fix.
  ASSERT_TRUE(
      eventually([&] { return acq.state.recordsWritten.load() >= 60 && gps.sig.load() != 0; }));
  EXPECT_EQ(inputs.lastDeviceId.load(), 720001u);
  EXPECT_EQ(inputs.currentRangeMm.load(), 10000);
  const int32_t line = store.currentLineIndex.load();
  bool echo = false;
  for (int32_t s = 0; s < 2000 && !echo; ++s) echo = store.load(line, s) != 0;
  EXPECT_TRUE(echo);
  {
    std::lock_guard<std::mutex> g(store.lineLock);
    EXPECT_NE(store.dirtyDegrees[degreeOfLine(line)], 0u);
  }
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
  stopSimulators();
  RIZ720_StopWorkingThread(acq.state.stopRequest, &acq.workingThread, 5000);
  EXPECT_FALSE(acq.workingThread.valid());
  EXPECT_EQ(acq.state.workingExit.load(), WorkingExit::Stopped);
  EXPECT_FALSE(acq.state.recordEvent.load());
  disconnectHead(acq);
  EXPECT_EQ(notes.take(),
            (std::vector<std::string>{"status Disconnected", "rate 0 0", "disconnected"}));
  EXPECT_EQ(acq.headPort, nullptr);

  // Both files hold whole records with 44-byte headers; positions are the receiver's.
  const double latRad = 35.0950 * std::acos(-1.0) / 180.0;
  for (const std::string& path : {first, second}) {
    SCOPED_TRACE(path);
    const std::vector<DataHeader> headers = readRecordFile(path);
    ASSERT_GE(headers.size(), 30u);
    size_t positioned = 0;
    for (const DataHeader& h : headers) {
      EXPECT_EQ(h.headersize, 44u);
      if (h.latitude != 0.0f) {
        ++positioned;
        EXPECT_NEAR(h.latitude, latRad, 1e-4);
      }
    }
    EXPECT_GT(positioned, 0u);
    EXPECT_EQ(RangeFromRecordLength(headers.back().samples), path == first ? 10000 : 6000);
  }
}

}  // namespace
}  // namespace sk720
