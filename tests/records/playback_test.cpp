// The playback loop over real record files, driven by a test clock and a counting pacer, and the
// controller that runs it on its own thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "record_builder.h"
#include "records/playback.h"
#include "scratch_test.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;

constexpr size_t kRecordBytes = 44 + 100 + 8;

// A clock the playback thread and the test may share; a test may act at each of its sleeps (the
// paused loop sleeps through it).
struct TestClock : Clock {
  std::atomic<uint32_t> now{1000};
  std::atomic<int32_t> sleeps{0};
  std::function<void()> onSleep;
  uint32_t nowMs() override { return now.load(); }
  void sleepMs(uint32_t ms) override {
    now.fetch_add(ms);
    sleeps.fetch_add(1);
    if (onSleep) onSleep();
  }
};

// Counts the waits asked for, moves the clock by them, lets a test act at the n-th wait, and notes
// what the windows are told. At a wait the record just read is not applied yet, so lastDeviceId is
// the previous one.
struct Counting : PlaybackPacer, PlaybackObserver {
  TestClock& clock;
  ScanInputs& shared;
  std::vector<int64_t> waits;
  std::vector<uint32_t> previousIds, times, started, startTimes;
  std::vector<PlaybackReport> reports;
  std::function<void(size_t)> onWait;
  Counting(TestClock& c, ScanInputs& s) : clock(c), shared(s) {}
  void wait(int64_t hundredNs) override {
    waits.push_back(hundredNs);
    previousIds.push_back(shared.lastDeviceId.load());
    clock.now.fetch_add(uint32_t(hundredNs / 10000));
    times.push_back(clock.nowMs());
    if (onWait) onWait(waits.size());
  }
  void fileStarted(uint32_t index) override {
    started.push_back(index);
    startTimes.push_back(clock.nowMs());
  }
  void positionReport(const PlaybackReport& r) override { reports.push_back(r); }
  std::vector<uint32_t> played() const {  // device ids in the order they were played
    if (waits.empty()) return {};
    std::vector<uint32_t> ids(previousIds.begin() + 1, previousIds.end());
    ids.push_back(shared.lastDeviceId.load());
    return ids;
  }
};

struct PlaybackTest : testing::ScratchTest {
  LineStore store;
  ScanInputs shared;
  GpsFix gps;
  StatusText status;
  TestClock clock;
  Counting pacer{clock, shared};
  PlaybackContext ctx{store, shared, gps, status, clock, pacer};
  std::vector<std::unique_ptr<RecordFileSource>> files;
  PlaybackJob job;

  PlaybackTest() {
    ctx.observer = &pacer;
    ctx.playbackContinuously.store(0);
  }
  // A file of records whose device ids are the given numbers; the one numbered `cut` claims a
  // length that runs past the end of the file.
  std::string write(const char* name, std::initializer_list<uint32_t> ids,
                    uint32_t commandId = 0x20180284, uint32_t cut = 0, int64_t length = 20000) {
    std::vector<uint8_t> bytes;
    for (uint32_t id : ids) {
      testing::RecordSpec r{.angle = id * 90, .commandId = commandId, .deviceId = id};
      r.samples.assign(100, 5), r.lengthOverride = id == cut ? length : -1;
      testing::append(bytes, testing::buildRecord(r));
    }
    return ScratchTest::write(name, bytes);
  }
  void open(const std::string& path) {
    files.push_back(std::make_unique<RecordFileSource>(false));
    ASSERT_TRUE(files.back()->open(path));
    job.files.push_back(files.back().get());
  }
};

TEST_F(PlaybackTest, TwoFilesPlayInOrderWithTheRecordsACutRecordSwallowed) {
  open(write("a.bin", {1, 2, 3, 4, 5}, 0x20180284, 3));
  const std::string second = write("b.bin", {11, 12}, 0x20380284);
  open(second);
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 2, 4, 5, 11, 12}));
  EXPECT_EQ(pacer.started, (std::vector<uint32_t>{0, 1}));
  // The next file starts only after the reader's one-second wait at the end of the first.
  EXPECT_GT(pacer.startTimes[1] - pacer.times[3], 1000u);
  EXPECT_EQ(status.get(), second);
  EXPECT_EQ(shared.currentRangeMm.load(), RangeFromRecordLength(uint32_t(kRecordBytes)));
  ASSERT_FALSE(pacer.reports.empty());
  EXPECT_EQ(pacer.reports.back().file, 1u);
  for (const PlaybackReport& r : pacer.reports) {
    // Whole records within the file; the command word always the first file's.
    EXPECT_TRUE(r.position <= r.fileSize && r.position % kRecordBytes == 0) << r.position;
    EXPECT_EQ(V({int64_t(r.fileSize), r.recordLength, r.datasize, r.commandid, r.linesPerTurn}),
              V({int64_t((r.file == 0 ? 5 : 2) * kRecordBytes), kRecordBytes, 100, 0x20180284,
                 r.file == 0 ? 3200 : 800}));
  }
}

TEST_F(PlaybackTest, ContinuousPlaybackRestartsAndDamageEndsIt) {
  open(write("a.bin", {1, 2}));
  ctx.playbackContinuously.store(1);
  pacer.onWait = [this](size_t n) { ctx.stopRequest.store(n == 6); };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::Stopped);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(pacer.started, (std::vector<uint32_t>{0, 0, 0}));

  ctx.stopRequest.store(false);
  job.files = {nullptr};
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::InvalidFile);
  ctx.playbackContinuously.store(0);
  job.files.clear();
  open(write("empty.bin", {}));  // nothing to play, and nothing to wait for at its start
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  job.files.clear();
  open(write("bad.bin", {7}, 0x20180284, 7, 30000));
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::BadLength);
  EXPECT_EQ(pacer.waits.size(), 6u);

  // A closed source neither seeks nor reads; an open one seeks to its end at most, and says so
  // (the braced lists are evaluated in order).
  RecordFileSource closed, tool;
  uint8_t b = 0;
  EXPECT_EQ(V({closed.seek(0), closed.read(&b, 1)}), V({0, -5}));
  ASSERT_TRUE(tool.open(write("one.bin", {1})));
  EXPECT_EQ(V({tool.read(&b, 0), tool.atEnd(), tool.seek(1u << 20), int64_t(tool.position()),
               tool.read(&b, 1), tool.atEnd()}),
            V({0, 0, 1, kRecordBytes, 0, 1}));
}

TEST_F(PlaybackTest, SeekPauseAndSpeedAreTakenAtTheNextRecord) {
  open(write("a.bin", {1, 2, 3, 4, 5}));
  pacer.onWait = [this](size_t n) {
    // Into the middle of record 3: the hunt finds record 4, nothing of record 3 is played.
    if (n == 1) ctx.seekRequest.store(int64_t(2 * kRecordBytes + 17));
    if (n == 3) ctx.seekRequest.store(-40);      // means the start
    if (n == 8) ctx.seekRequest.store(1 << 30);  // past the end: the end
  };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 4, 5, 1, 2, 3, 4, 5}));

  // Paused: nothing is read while the loop sleeps; it resumes with the next record.
  pacer.waits.clear(), pacer.previousIds.clear();
  uint64_t positionAtPause = 0;
  int pausedSleeps = 0;
  clock.onSleep = [&] {
    if (ctx.playbackPaused.load() == 0) return;
    EXPECT_EQ(files[0]->position(), positionAtPause);
    if (++pausedSleeps == 3) ctx.playbackPaused.store(0);
  };
  const int32_t speeds[] = {2, 4, 8, 0};
  pacer.onWait = [&](size_t n) {
    if (n <= 4) ctx.playbackSpeed.store(speeds[n - 1]);
    if (n == 2) ctx.playbackPaused.store(1), positionAtPause = files[0]->position();
  };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pausedSleeps, 3);
  EXPECT_EQ(pacer.played(), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  // 50 ms, 25, 12.5, 6.25, then an impossible speed 0 counts as 1.
  EXPECT_EQ(pacer.waits, (std::vector<int64_t>{500000, 250000, 125000, 62500, 500000}));
}

// A playback that ends by itself clears its status line; one stopped by the user (here while
// paused) leaves it for whoever stopped it. Either way the thread has ended and the files are
// closed (an open file could not be removed on Windows).
TEST_F(PlaybackTest, TheControllerEndsTheThreadAndClosesTheFiles) {
  const std::tuple<const char*, uint32_t, bool, PlaybackEnd> cases[] = {
      {"done", 0, false, PlaybackEnd::LastFileDone},
      {"damaged", 1, false, PlaybackEnd::BadLength},
      {"stopped", 0, true, PlaybackEnd::Stopped}};
  for (const auto& [name, cut, paused, end] : cases) {
    SCOPED_TRACE(name);
    const std::string path = write(name, {1, 2, 3}, 0x20180284, cut, 30000);
    ctx.playbackPaused.store(paused ? 1 : 0);
    pacer.waits.clear();
    const int32_t sleeps = clock.sleeps.load();
    PlaybackController controller(ctx);
    open(path);
    status.set("left from before");
    controller.start(std::exchange(files, {}));
    while (paused ? clock.sleeps.load() < sleeps + 5 : !controller.threadEnded())
      std::this_thread::yield();
    controller.stopPlayback();
    EXPECT_TRUE(controller.threadEnded() && controller.endReason() == end);
    EXPECT_EQ(status.get(), paused ? path : "");
    EXPECT_EQ(pacer.waits.size(), end == PlaybackEnd::LastFileDone ? 3u : 0u);
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::remove(path, ec)) << ec.message();
  }
}
}  // namespace
}  // namespace sk720
