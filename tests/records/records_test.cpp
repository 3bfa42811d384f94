// The record reader over files and live streams, its stage budgets, and the decoding rules; the
// playback loop over real record files, driven by a test clock and a counting pacer, and the
// controller that runs it on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "base/memory_source.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "records/playback.h"
#include "scratch_test.h"
#include "scripted_port.h"

namespace sk720 {
namespace {

using Bytes = std::vector<uint8_t>;
using V = std::vector<int64_t>;
using testing::buildRecord;

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) testing::append(all, p);
  return all;
}
Bytes cut(Bytes b, size_t n) {
  b.resize(n);
  return b;
}
Bytes good(uint32_t angle) {
  return buildRecord({.headerSize = 36, .angle = angle, .samples = Bytes(60, 3)});
}

// A damaged record never takes a good neighbour with it: what a rejected record swallowed is
// searched again, also when a second rejection happens inside those bytes.
TEST(ReadPingRecord, FilesReadWholeRecordsAndSkipWhatIsNotOne) {
  const Bytes grown = buildRecord({.angle = 10, .samples = Bytes(60, 3), .lengthOverride = 300});
  const Bytes nine = good(9);
  const Bytes tooShort = cut(buildRecord({.headerSize = 28, .lengthOverride = 39}), 40);
  const struct {
    const char* what;
    Bytes file;
    std::vector<std::pair<int32_t, uint32_t>> reads;
  } cases[] = {
      {"noise, a near miss, a record's tail, END0, garbage, an unknown footer",
       cat({text("xxDAT"), Bytes(nine.begin() + 20, nine.end()),
            buildRecord(
                {.headerSize = 28, .angle = 900, .samples = {5, 6, 0, 0}, .footer = kEnd0Magic}),
            text("garbage"), buildRecord({.angle = 5, .samples = {7}, .footer = 0x12345678})}),
       {{kRecordEnd0, 900}, {kBadFooter, 5}, {kTimedOut, 0}}},
      {"a stray DATA before a record",
       cat({text("DATA"), good(1)}),
       {{kBadFooter, 7}, {kRecordEnd1, 1}}},
      {"a grown length swallowing a bad length and two records",
       cat({grown, tooShort, good(11), good(12)}),
       {{kBadFooter, 10}, {kBadLength, 0}, {kRecordEnd1, 11}, {kRecordEnd1, 12}}},
      {"a file ending inside a record that swallowed the last one",
       cat({buildRecord({.angle = 30, .samples = Bytes(10, 3), .lengthOverride = 20000}),
            good(31)}),
       {{kTimedOut, 0}, {kRecordEnd1, 31}}},
      {"length 39, then the shortest record (40)",
       cat({tooShort, buildRecord({.headerSize = 28, .angle = 18, .samples = Bytes(4)})}),
       {{kBadLength, 0}, {kRecordEnd1, 18}}},
      {"a header longer than its record",
       cut(buildRecord({.lengthOverride = 40}), 40),
       {{kBadFooter, 0}, {kTimedOut, 0}}},
  };
  // Every read of a file, as (result, angle); the angle only of results that carry a header.
  static uint8_t buf[kRecordBufferSize];
  for (const auto& c : cases) {
    MemorySource src(c.file);
    ManualClock clock;
    RecordReader reader;
    std::vector<std::pair<int32_t, uint32_t>> reads;
    for (int i = 0; i < 10 && !(src.atEnd() && reader.pendingBytes() == 0); ++i) {
      const int32_t r = ReadPingRecord(src, buf, clock, reader);
      reads.emplace_back(r, r >= kBadLength ? parseDataHeader(buf).angle : 0);
    }
    EXPECT_EQ(reads, c.reads) << c.what;
    EXPECT_EQ(clock.nowMs(), 0u) << c.what;  // a file's end is not waited for
  }
}

TEST(ReadPingRecord, EveryStageHasItsOwnBudgetAndAStopEndsItWithinOneRead) {
  const Bytes body = buildRecord({.samples = Bytes(100, 1)});
  const Bytes wide = buildRecord({.samples = Bytes(20024 - 52, 1)});  // 150 m: 1.74 s at 115200
  const Bytes huge = buildRecord({.samples = Bytes(20000, 1)});
  const struct {
    const char* what;
    Bytes bytes;
    uint32_t rate, msPerRead, stopAtMs;
    int32_t chunk, failAfter, result;
    uint32_t minMs, maxMs;
  } cases[] = {
      {"silent", {}, 0, 0, 0, INT32_MAX, -1, kTimedOut, 1001, 1100},
      {"noise never forming DATA", Bytes(500, 'A'), 0, 10, 0, INT32_MAX, -1, kTimedOut, 1001, 1020},
      {"stalled after the prefix", cut(body, 60), 0, 0, 0, INT32_MAX, -1, kTimedOut, 1001, 1100},
      {"the body's read fails", body, 0, 0, 0, INT32_MAX, 5, kReadFailed, 0, 0},
      {"a long body within its time on the wire", wide, 115200, 100, 0, 1152, -1, kRecordEnd1, 2300,
       2300},
      {"a faster link allows less", wide, 1000000, 100, 0, 1152, -1, kTimedOut, 1800, 1800},
      {"stopped before the magic", {}, 115200, 0, 300, INT32_MAX, -1, kReadStopped, 300, 400},
      {"stopped inside a long body", cut(huge, 900), 115200, 0, 300, INT32_MAX, -1, kReadStopped,
       300, 400},
  };
  static uint8_t buf[kRecordBufferSize];
  for (const auto& c : cases) {
    ManualClock clock;
    testing::ScriptedPort link(&clock);
    if (!c.bytes.empty()) link.then(std::string(c.bytes.begin(), c.bytes.end()));
    std::atomic<bool> stop{false};
    link.rate = c.rate, link.msPerRead = c.msPerRead, link.raiseAtMs = c.stopAtMs;
    link.chunk = c.chunk, link.failAfter = c.failAfter, link.raise = &stop;
    RecordReader reader(&stop);
    EXPECT_EQ(ReadPingRecord(link, buf, clock, reader), c.result) << c.what;
    EXPECT_GE(clock.nowMs(), c.minMs) << c.what;
    EXPECT_LE(clock.nowMs(), c.maxMs) << c.what;
  }
  // 1000 ms plus ten bits a byte on the wire, rounded up; a source without a rate gets 1000.
  const uint32_t budgets[][3] = {
      {20000, 0, 1000}, {1152, 115200, 1100}, {1, 115200, 1001}, {19984, 921600, 1217}};
  for (auto [bytes, rate, ms] : budgets) EXPECT_EQ(recordBodyBudgetMs(bytes, rate), ms) << bytes;
}

TEST(RecordDecoding, HeaderFormsRangesLinesAndExpansion) {
  const Bytes r28 =
      buildRecord({.headerSize = 28, .angle = 900, .gyro = 5, .samples = {5, 6, 0, 0}});
  const DataHeader h = parseDataHeader(r28.data());
  EXPECT_EQ(h.gyroangle, 0);  // beyond a 28-byte header: the samples, not a gyro
  EXPECT_EQ(recordSampleCount(h), 4);
  EXPECT_EQ(recordSampleCount(parseDataHeader(cut(buildRecord({.lengthOverride = 40}), 40).data())),
            0);
  const Bytes r44 =
      buildRecord({.gyro = -7, .compass = 9, .lat = 0.5f, .lon = -0.25f, .samples = {1}});
  const DataHeader f = parseDataHeader(r44.data());
  EXPECT_EQ(std::make_tuple(f.gyroangle, f.compass, f.latitude, f.longitude),
            std::make_tuple(-7, 9, 0.5f, -0.25f));
  EXPECT_EQ(parseDataFooter(r44.data()).magic, kEnd1Magic);
  // Footers, samples and the header's later fields only of lengths from the shortest record to
  // the longest the buffer holds, and fields only inside the length.
  Bytes big(kRecordBufferSize, 0xFF);
  storeU32(&big[4], 44);
  // length; the footer's magic, the compass and whether the latitude was read
  const std::tuple<uint32_t, uint32_t, int32_t, bool> footers[] = {
      {35, 0, 0, false},
      {36, 0, -1, false},
      {39, 0, -1, false},
      {40, 0xFFFFFFFF, -1, false},
      {kRecordBufferSize - 1, 0xFFFFFFFF, -1, true},
      {kRecordBufferSize, 0, 0, false}};
  for (auto [length, magic, compass, latitude] : footers) {
    storeU32(&big[12], length);
    const DataHeader h = parseDataHeader(big.data());
    EXPECT_EQ(std::make_tuple(parseDataFooter(big.data()).magic, h.compass, std::isnan(h.latitude)),
              std::make_tuple(magic, compass, latitude))
        << length;
  }
  EXPECT_EQ(recordSampleCount({.headersize = 44, .samples = kRecordBufferSize - 1}),
            kRecordBufferSize - 53);
  EXPECT_EQ(recordSampleCount({.headersize = 44, .samples = kRecordBufferSize}), 0);
  const std::pair<uint32_t, int32_t> offsets[] = {{28, 28}, {36, 36}, {44, 44}, {40, 44}};
  for (auto [form, at] : offsets) EXPECT_EQ(recordSampleOffset(DataHeader{.headersize = form}), at);

  const std::pair<uint32_t, int32_t> ranges[] = {{448, 3000},   {472, 3000},   {473, 60000},
                                                 {239, 60000},  {240, 1500},   {20024, 150000},
                                                 {8000, 60000}, {8024, 60000}, {20000, 150000}};
  for (auto [length, mm] : ranges) EXPECT_EQ(RangeFromRecordLength(length), mm) << length;
  const int32_t lines[16] = {3200, 3200, 1600, 800,  400,  200,  3200, 3200,
                             3200, 3200, 3200, 3200, 3200, 3200, 3200, 3200};
  for (uint32_t code = 0; code < 16; ++code) {
    EXPECT_EQ(LinesPerTurn((code << 20) | 0xFF0FFFFFu), lines[code]) << code;
  }
  // The linear part's ends, and each end of the first two steps and of the last.
  const std::pair<int, int> rows[] = {{0, 0},    {63, 63},   {64, 65},    {95, 127},
                                      {96, 131}, {127, 255}, {224, 2111}, {255, 4095}};
  for (auto [code, value] : rows) EXPECT_EQ(ExpandSample(uint8_t(code)), value) << code;
  for (int i = 1; i < 256; ++i) EXPECT_GT(ExpandSample(uint8_t(i)), ExpandSample(uint8_t(i - 1)));
}

constexpr size_t kRecordBytes = 44 + 100 + 8;

// The loop's clock, pacer and observer. The clock may be shared with the playback thread; waits
// move it, and a test may act at each sleep (the paused loop sleeps through the clock) and at the
// n-th wait. At a wait the record just read is not applied yet, so lastDeviceId is the previous
// one.
struct Pace : Clock, PlaybackPacer, PlaybackObserver {
  ScanInputs& shared;
  std::atomic<uint32_t> now{1000};
  std::atomic<int32_t> sleeps{0};
  std::function<void()> onSleep;
  std::function<void(size_t)> onWait;
  std::vector<int64_t> waits;
  std::vector<uint32_t> previousIds, times, started, startTimes;
  std::vector<PlaybackReport> reports;
  explicit Pace(ScanInputs& s) : shared(s) {}
  uint32_t nowMs() override { return now.load(); }
  void sleepMs(uint32_t ms) override {
    now.fetch_add(ms);
    sleeps.fetch_add(1);
    if (onSleep) onSleep();
  }
  void wait(int64_t hundredNs) override {
    waits.push_back(hundredNs);
    previousIds.push_back(shared.lastDeviceId.load());
    now.fetch_add(uint32_t(hundredNs / 10000));
    times.push_back(nowMs());
    if (onWait) onWait(waits.size());
  }
  void fileStarted(uint32_t index) override {
    started.push_back(index);
    startTimes.push_back(nowMs());
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
  Pace pace{shared};
  PlaybackContext ctx{store, shared, gps, status, pace, pace};
  std::vector<std::unique_ptr<RecordFileSource>> files;
  PlaybackJob job;

  PlaybackTest() {
    ctx.observer = &pace;
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
      testing::append(bytes, buildRecord(r));
    }
    return ScratchTest::write(name, bytes);
  }
  void open(const std::string& path) {
    files.push_back(std::make_unique<RecordFileSource>(false));
    ASSERT_TRUE(files.back()->open(path));
    job.files.push_back(files.back().get());
  }
};

TEST_F(PlaybackTest, FilesPlayInOrderWithTheRecordsACutRecordSwallowed) {
  open(write("a.bin", {1, 2, 3, 4, 5}, 0x20180284, 3));
  open(write("b.bin", {11, 12}, 0x20380284));
  const std::string last = write("c.bin", {21, 22}, 0x20380284);
  open(last);
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pace.played(), (std::vector<uint32_t>{1, 2, 4, 5, 11, 12, 21, 22}));
  ASSERT_EQ(pace.started, (std::vector<uint32_t>{0, 1, 2}));
  // The next file starts only after the reader's one-second wait at the end of the first.
  EXPECT_GT(pace.startTimes[1] - pace.times[3], 1000u);
  EXPECT_EQ(status.get(), last);
  EXPECT_EQ(shared.currentRangeMm.load(), RangeFromRecordLength(uint32_t(kRecordBytes)));
  ASSERT_FALSE(pace.reports.empty());
  EXPECT_EQ(pace.reports.back().file, 2u);
  for (const PlaybackReport& r : pace.reports) {
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
  pace.onWait = [this](size_t n) { ctx.stopRequest.store(n == 6); };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::Stopped);
  EXPECT_EQ(pace.played(), (std::vector<uint32_t>{1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(pace.started, (std::vector<uint32_t>{0, 0, 0}));

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
  EXPECT_EQ(pace.waits.size(), 6u);

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
  pace.onWait = [this](size_t n) {
    // Into the middle of record 3: the hunt finds record 4, nothing of record 3 is played.
    if (n == 1) ctx.seekRequest.store(int64_t(2 * kRecordBytes + 17));
    if (n == 3) ctx.seekRequest.store(-40);      // means the start
    if (n == 8) ctx.seekRequest.store(1 << 30);  // past the end: the end
  };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pace.played(), (std::vector<uint32_t>{1, 4, 5, 1, 2, 3, 4, 5}));

  // Paused: nothing is read while the loop sleeps; it resumes with the next record.
  pace.waits.clear(), pace.previousIds.clear();
  uint64_t positionAtPause = 0;
  int pausedSleeps = 0;
  pace.onSleep = [&] {
    if (ctx.playbackPaused.load() == 0) return;
    EXPECT_EQ(files[0]->position(), positionAtPause);
    if (++pausedSleeps == 3) ctx.playbackPaused.store(0);
  };
  const int32_t speeds[] = {2, 4, 8, 0};
  pace.onWait = [&](size_t n) {
    if (n <= 4) ctx.playbackSpeed.store(speeds[n - 1]);
    if (n == 2) ctx.playbackPaused.store(1), positionAtPause = files[0]->position();
  };
  EXPECT_EQ(runPlayback(job, ctx), PlaybackEnd::LastFileDone);
  EXPECT_EQ(pausedSleeps, 3);
  EXPECT_EQ(pace.played(), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  // 50 ms, 25, 12.5, 6.25, then an impossible speed 0 counts as 1.
  EXPECT_EQ(pace.waits, (std::vector<int64_t>{500000, 250000, 125000, 62500, 500000}));
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
    pace.waits.clear();
    const int32_t sleeps = pace.sleeps.load();
    PlaybackController controller(ctx);
    open(path);
    status.set("left from before");
    controller.start(std::exchange(files, {}));
    while (paused ? pace.sleeps.load() < sleeps + 5 : !controller.threadEnded())
      std::this_thread::yield();
    controller.stopPlayback();
    EXPECT_TRUE(controller.threadEnded() && controller.endReason() == end);
    EXPECT_EQ(status.get(), paused ? path : "");
    EXPECT_EQ(pace.waits.size(), end == PlaybackEnd::LastFileDone ? 3u : 0u);
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::remove(path, ec)) << ec.message();
  }
}

}  // namespace
}  // namespace sk720
