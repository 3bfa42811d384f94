// The playback loop over real record files, driven by a manual clock and a counting pacer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "record_builder.h"
#include "records/playback.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;
using testing::buildRecord;
using testing::RecordSpec;

struct TempFolder {
  fs::path path;
  TempFolder() {
    std::random_device rd;
    path = fs::temp_directory_path() / ("sk720-playback-" + std::to_string(rd()));
    fs::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

constexpr size_t kRecordBytes = 44 + 100 + 8;

// A file of records whose device ids are the given numbers.
std::string writeFile(const fs::path& path, std::initializer_list<uint32_t> ids,
                      uint32_t commandId = 0x20180284) {
  std::vector<uint8_t> bytes;
  for (uint32_t id : ids) {
    RecordSpec s;
    s.deviceId = id;
    s.angle = id * 90;
    s.commandId = commandId;
    s.samples.assign(100, 5);
    testing::append(bytes, buildRecord(s));
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path.string();
}

// Counts the waits asked for, moves the clock by them, and lets a test act at the n-th wait.
// At a wait the record just read is not applied yet, so lastDeviceId is the previous one.
struct CountingPacer : PlaybackPacer {
  ManualClock& clock;
  ScanInputs& shared;
  std::vector<int64_t> waits;
  std::vector<uint32_t> previousIds;
  std::vector<uint32_t> times;
  std::function<void(size_t)> onWait;
  CountingPacer(ManualClock& c, ScanInputs& s) : clock(c), shared(s) {}
  void wait(int64_t hundredNs) override {
    waits.push_back(hundredNs);
    previousIds.push_back(shared.lastDeviceId.load());
    clock.advance(uint32_t(hundredNs / 10000));
    times.push_back(clock.nowMs());
    if (onWait) onWait(waits.size());
  }
  // Device ids in the order they were played.
  std::vector<uint32_t> played() const {
    if (waits.empty()) return {};
    std::vector<uint32_t> ids(previousIds.begin() + 1, previousIds.end());
    ids.push_back(shared.lastDeviceId.load());
    return ids;
  }
};

struct RecordingObserver : PlaybackObserver {
  ManualClock& clock;
  std::vector<uint32_t> started, startTimes;
  std::vector<PlaybackReport> reports;
  explicit RecordingObserver(ManualClock& c) : clock(c) {}
  void fileStarted(uint32_t index) override {
    started.push_back(index);
    startTimes.push_back(clock.nowMs());
  }
  void positionReport(const PlaybackReport& r) override { reports.push_back(r); }
};

struct PlaybackTest : ::testing::Test {
  TempFolder tmp;
  LineStore store;
  ScanInputs shared;
  GpsFix gps;
  StatusText status;
  ManualClock clock{1000};
  CountingPacer pacer{clock, shared};
  RecordingObserver observer{clock};
  PlaybackContext ctx{store, shared, gps, status, clock, pacer};
  std::vector<std::unique_ptr<RecordFileSource>> files;
  PlaybackJob job;

  PlaybackTest() { ctx.observer = &observer; }
  void open(const std::string& path) {
    files.push_back(std::make_unique<RecordFileSource>(false));
    ASSERT_TRUE(files.back()->open(path));
    job.files.push_back(files.back().get());
  }
  void stopAfterWaits(size_t n) {
    pacer.onWait = [this, n](size_t count) {
      if (count == n) ctx.stopRequest.store(true);
    };
  }
};

TEST_F(PlaybackTest, TwoFilesPlayInOrderThenEnd) {
  open(writeFile(tmp.path / "a.bin", {1, 2, 3, 4}));
  const std::string second = writeFile(tmp.path / "b.bin", {11, 12}, 0x20380284);
  open(second);
  ctx.playbackContinuously.store(0);

  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 2, 3, 4, 11, 12}));
  EXPECT_EQ(observer.started, (std::vector<uint32_t>{0, 1}));
  // The next file starts only after the reader's one-second wait at the end of the first.
  EXPECT_GT(observer.startTimes[1] - pacer.times[3], 1000u);
  EXPECT_EQ(status.get(), second);
  EXPECT_EQ(shared.currentRangeMm.load(), RangeFromRecordLength(uint32_t(kRecordBytes)));

  ASSERT_FALSE(observer.reports.empty());
  bool sawSecond = false;
  for (const PlaybackReport& r : observer.reports) {
    EXPECT_EQ(r.fileSize, (r.file == 0 ? 4 : 2) * kRecordBytes);
    EXPECT_LE(r.position, r.fileSize);
    EXPECT_EQ(r.position % kRecordBytes, 0u);
    EXPECT_EQ(r.recordLength, kRecordBytes);
    EXPECT_EQ(r.commandid, 0x20180284u);  // always the first file's
    if (r.file == 1) {
      sawSecond = true;
      EXPECT_EQ(r.linesPerTurn, 800);
    }
  }
  EXPECT_TRUE(sawSecond);
}

TEST_F(PlaybackTest, ContinuousPlaybackRestartsTheFile) {
  open(writeFile(tmp.path / "a.bin", {1, 2}));
  ctx.playbackContinuously.store(1);
  stopAfterWaits(6);
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::Stopped);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(observer.started, (std::vector<uint32_t>{0, 0, 0}));
}

TEST_F(PlaybackTest, MissingFileOrDamagedLengthEndsPlayback) {
  job.files.push_back(nullptr);
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::InvalidFile);
  EXPECT_TRUE(pacer.waits.empty());

  job.files.clear();
  RecordSpec bad;
  bad.lengthOverride = 30000;
  std::vector<uint8_t> bytes = buildRecord(bad);
  std::ofstream(tmp.path / "bad.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  open((tmp.path / "bad.bin").string());
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::BadLength);
}

TEST_F(PlaybackTest, SeekRequestsAreClampedIntoTheFile) {
  open(writeFile(tmp.path / "a.bin", {1, 2, 3, 4, 5}));
  ctx.playbackContinuously.store(0);
  pacer.onWait = [this](size_t n) {
    // Into the middle of record 3: the hunt finds record 4, nothing of record 3 is played.
    if (n == 1) ctx.seekRequest.store(int64_t(2 * kRecordBytes + 17));
    if (n == 3) ctx.seekRequest.store(-40);      // means the start
    if (n == 8) ctx.seekRequest.store(1 << 30);  // past the end: the end
  };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 4, 5, 1, 2, 3, 4, 5}));
}

TEST_F(PlaybackTest, PauseReadsNothingAndResumesWithTheNextRecord) {
  open(writeFile(tmp.path / "a.bin", {1, 2, 3, 4}));
  uint64_t positionAtPause = 0;
  int pausedSleeps = 0;
  // The paused loop sleeps through the clock; resume after a few of its looks.
  struct PauseClock : ManualClock {
    std::function<void()> onSleep;
    void sleepMs(uint32_t ms) override {
      ManualClock::sleepMs(ms);
      if (onSleep) onSleep();
    }
  };
  PauseClock pauseClock;
  PlaybackContext pctx{store, shared, gps, status, pauseClock, pacer};
  pctx.playbackContinuously.store(0);
  pauseClock.onSleep = [&] {
    if (pctx.playbackPaused.load() == 0) return;
    EXPECT_EQ(files[0]->position(), positionAtPause);
    if (++pausedSleeps == 3) pctx.playbackPaused.store(0);
  };
  pacer.onWait = [&](size_t n) {
    if (n == 2) {
      pctx.playbackPaused.store(1);
      positionAtPause = files[0]->position();
    }
  };
  EXPECT_EQ(runPlayback(job, pctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pausedSleeps, 3);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST_F(PlaybackTest, SpeedDividesTheIntervalAtTheNextRecord) {
  open(writeFile(tmp.path / "a.bin", {1, 2, 3, 4, 5, 6, 7}));
  ctx.playbackContinuously.store(0);
  const int32_t speeds[] = {2, 4, 8, 16, 0, 1};
  pacer.onWait = [&](size_t n) {
    if (n <= 6) ctx.playbackSpeed.store(speeds[n - 1]);
  };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  // 50 ms, 25, 12.5, 6.25, 3.125, then an impossible speed 0 counts as 1.
  EXPECT_EQ(pacer.waits,
            (std::vector<int64_t>{500000, 250000, 125000, 62500, 31250, 500000, 500000}));
}

// Runs on the playback thread and the test thread at once: a clock both may touch.
struct SharedClock : Clock {
  std::atomic<uint32_t> now{0};
  std::atomic<int32_t> sleeps{0};
  uint32_t nowMs() override { return now.load(); }
  void sleepMs(uint32_t ms) override {
    now.fetch_add(ms);
    sleeps.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

struct NoWaitPacer : PlaybackPacer {
  std::atomic<int32_t> waits{0};
  void wait(int64_t) override { waits.fetch_add(1); }
};

TEST_F(PlaybackTest, StopDuringPauseEndsTheThreadAndClosesTheFiles) {
  const std::string path = writeFile(tmp.path / "a.bin", {1, 2, 3});
  SharedClock sharedClock;
  NoWaitPacer noWait;
  PlaybackContext tctx{store, shared, gps, status, sharedClock, noWait};
  tctx.playbackPaused.store(1);
  PlaybackController controller(tctx);
  std::vector<std::unique_ptr<RecordFileSource>> list;
  list.push_back(std::make_unique<RecordFileSource>(false));
  ASSERT_TRUE(list.back()->open(path));
  controller.start(std::move(list));
  while (sharedClock.sleeps.load() < 5) std::this_thread::yield();

  controller.stopPlayback();
  EXPECT_TRUE(controller.threadEnded());
  EXPECT_EQ(controller.endReason(), PlaybackEnd::Stopped);
  EXPECT_EQ(noWait.waits.load(), 0);
  // An open file could not be removed on Windows.
  std::error_code ec;
  EXPECT_TRUE(fs::remove(path, ec)) << ec.message();
}

TEST_F(PlaybackTest, PlaybackThatEndsByItselfTakesItsStatusLineAlong) {
  struct Case {
    const char* name;
    bool damaged;
    PlaybackEnd end;
  };
  for (const Case c : {Case{"done", false, PlaybackEnd::LastFileDone},
                       Case{"damaged", true, PlaybackEnd::BadLength}}) {
    SCOPED_TRACE(c.name);
    RecordSpec spec;
    if (c.damaged) spec.lengthOverride = 30000;
    const std::vector<uint8_t> bytes = buildRecord(spec);
    const fs::path path = tmp.path / (std::string(c.name) + ".bin");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    SharedClock sharedClock;
    NoWaitPacer noWait;
    PlaybackContext tctx{store, shared, gps, status, sharedClock, noWait};
    tctx.playbackContinuously.store(0);
    PlaybackController controller(tctx);
    std::vector<std::unique_ptr<RecordFileSource>> list;
    list.push_back(std::make_unique<RecordFileSource>(false));
    ASSERT_TRUE(list.back()->open(path.string()));
    status.set("left from before");
    controller.start(std::move(list));
    while (!controller.threadEnded()) std::this_thread::yield();
    EXPECT_EQ(controller.endReason(), c.end);
    EXPECT_EQ(status.get(), "");
  }
  // Stopped by the user: the line stays for whoever stopped it.
  const std::string path = writeFile(tmp.path / "long.bin", {1, 2, 3});
  SharedClock sharedClock;
  NoWaitPacer noWait;
  PlaybackContext tctx{store, shared, gps, status, sharedClock, noWait};
  tctx.playbackPaused.store(1);
  PlaybackController controller(tctx);
  std::vector<std::unique_ptr<RecordFileSource>> list;
  list.push_back(std::make_unique<RecordFileSource>(false));
  ASSERT_TRUE(list.back()->open(path));
  controller.start(std::move(list));
  while (sharedClock.sleeps.load() < 2) std::this_thread::yield();
  controller.stopPlayback();
  EXPECT_EQ(status.get(), path);
}

}  // namespace
}  // namespace sk720
