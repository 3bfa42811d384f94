// The connect dialog's Cancel: the connect sequence ends by itself at its next step, attempt or
// pause, closes the ports it opened and leaves no loop behind; a new connection then works.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <thread>

#include "acquisition_fixture.h"
#include "link/loopback.h"
#include "sim/head_sim.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Raises the cancel request from inside the sequence, at the observer call named.
class CancellingObserver : public testing::NoteObserver {
 public:
  std::atomic<bool> cancel{false};
  std::string at;  // "connected" (just before the loading) or "stopPlayback" (after the start)
  void connected() override {
    if (at == "connected") cancel = true;
  }
  void stopPlayback() override {
    NoteObserver::stopPlayback();
    if (at == "stopPlayback") cancel = true;
  }
};

class ConnectCancel : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHeadWaitWindows();
    dir = fs::temp_directory_path() / ("sk720-cancel-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    acq.setWorkingFolder(dir.string());
    acq.observer = &notes;
    job.headPortNumber = 5;
    job.headBaud = 921600;
    job.cancel = &notes.cancel;
  }
  void TearDown() override {
    disconnectHead(acq);
    stop = true;
    if (headThread.joinable()) headThread.join();
    fs::remove_all(dir);
  }
  void startHead(sim::HeadSimOptions options = {}) {
    head = std::make_unique<sim::HeadSimulator>(headLink.device(), systemClock(), options);
    headThread = std::thread([this] { head->run(stop); });
  }
  // Everything of the link is gone: no loop, no port.
  void expectNothingLeft() {
    EXPECT_EQ(acq.headPort, nullptr);
    EXPECT_EQ(acq.gpsPort, nullptr);
    EXPECT_FALSE(acq.workingThread.valid());
    EXPECT_FALSE(acq.state.workingRunning.load());
  }

  fs::path dir;
  LoopbackPair headLink;
  std::unique_ptr<sim::HeadSimulator> head;
  std::atomic<bool> stop{false};
  std::thread headThread;

  LineStore store;
  ScanInputs inputs;
  GpsFix gps;
  StatusText status;
  CancellingObserver notes;
  Acquisition acq{store, inputs, gps, status, streamRecordStorage()};
  testing::LoopbackFactory ports{&headLink.host(), nullptr, systemClock()};
  ConnectJob job;
};

TEST_F(ConnectCancel, DuringTheRateSwitchEndsWithinThePauseAndStartWorksAgain) {
  sim::HeadSimOptions silent;  // never answers the attention: every attempt fails
  silent.silent = true;
  startHead(silent);
  StartResult result = StartResult::Started;
  std::thread connect([&] { result = ConnectThread(acq, job, ports); });
  // The first attempt has begun; the cancel comes during it or the pause after it.
  while (ports.attentions.load() == 0) std::this_thread::sleep_for(5ms);
  notes.cancel = true;
  connect.join();
  EXPECT_EQ(result, StartResult::Cancelled);
  EXPECT_EQ(ports.attentions.load(), 1);  // no further attempt after the request
  expectNothingLeft();
  const std::vector<std::string> said = notes.take();
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.back(), "disconnected");

  // A cancelled request is not one the next Start inherits.
  stop = true;
  headThread.join();
  stop = false;
  startHead();
  notes.cancel = false;
  ASSERT_EQ(ConnectThread(acq, job, ports), StartResult::Started);
  EXPECT_EQ(ports.attentions.load(), 2);  // a switch that succeeds is not tried again
  EXPECT_EQ(head->baud(), 921600);
  EXPECT_EQ(head->mode(), sim::HeadMode::Work);
  EXPECT_TRUE(acq.state.workingRunning.load());
}

TEST_F(ConnectCancel, DuringTheLoadingOrAfterTheStartLeavesNoLoopRunning) {
  startHead();
  for (const char* at : {"connected", "stopPlayback"}) {
    SCOPED_TRACE(at);
    notes.at = at;
    notes.cancel = false;
    EXPECT_EQ(ConnectThread(acq, job, ports), StartResult::Cancelled);
    expectNothingLeft();
    const std::vector<std::string> said = notes.take();
    ASSERT_GE(said.size(), 3u);
    EXPECT_EQ(said[said.size() - 3], "status Disconnected");
    EXPECT_EQ(said.back(), "disconnected");
  }
  // A request raised before the sequence began opens nothing at all.
  notes.at.clear();
  notes.cancel = true;
  const int32_t opens = ports.headOpens;
  EXPECT_EQ(ConnectThread(acq, job, ports), StartResult::Cancelled);
  EXPECT_EQ(ports.headOpens, opens);
}

using ConnectSequence = ConnectCancel;

TEST_F(ConnectSequence, HeadRefusingTheRateIsDrivenAtTheOpeningRate) {
  sim::HeadSimOptions refusing;
  refusing.refuseRate = true;
  startHead(refusing);
  ASSERT_EQ(ConnectThread(acq, job, ports), StartResult::Started);
  EXPECT_EQ(ports.attentions.load(), 1);
  EXPECT_EQ(acq.state.headBaud.load(), 115200);
  EXPECT_EQ(head->baud(), 115200);
  EXPECT_EQ(head->mode(), sim::HeadMode::Work);
  const std::vector<std::string> said = notes.take();
  EXPECT_NE(std::find(said.begin(), said.end(), "rate 5 115200"), said.end());
  // The choice the user made is what is stored for the next start.
  EXPECT_NE(std::find(said.begin(), said.end(), "store 5 921600 0 4800"), said.end());
}

}  // namespace
}  // namespace sk720
