#include "records/playback.h"

#include <algorithm>
#include <chrono>

#include "base/byte_order.h"
#include "records/ping_record.h"
#include "records/playback_feed.h"

namespace sk720 {

namespace {

// How long a read that found nothing waits before the reader looks again: the serial read rule,
// so that the one-second hunt at the end of a file does not spin.
constexpr uint32_t kEmptyReadWaitMs = 100;
constexpr int32_t kFileStartBytes = 36;

// The file as the record reader sees it during playback. A stop request fails the read, so that
// the hunt at the end of a file does not hold up stopPlayback for a second.
class PlaybackSource : public ByteSource {
 public:
  PlaybackSource(RecordFileSource& file, Clock& clock, const std::atomic<bool>& stop)
      : file_(file), clock_(clock), stop_(stop) {}
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    if (stop_.load(std::memory_order_relaxed)) return kReadFailed;
    const int32_t n = file_.read(dst, maxBytes);
    if (n == 0) clock_.sleepMs(kEmptyReadWaitMs);
    return n;
  }

 private:
  RecordFileSource& file_;
  Clock& clock_;
  const std::atomic<bool>& stop_;
};

struct CurrentFile {
  uint32_t index = 0;
  PlaybackReport report;  // the first record's values, kept for the reports
};

void startFile(PlaybackJob& job, PlaybackContext& ctx, CurrentFile& cur, uint32_t index) {
  RecordFileSource& file = *job.files[index];
  ctx.seekRequest.store(kNoSeekRequest, std::memory_order_relaxed);
  file.seek(0);
  uint8_t head[kFileStartBytes] = {};
  for (int32_t got = 0; got < kFileStartBytes;) {
    const int32_t n = file.read(head + got, kFileStartBytes - got);
    if (n <= 0) break;  // a short file leaves the rest zero
    got += n;
  }
  const uint32_t samples = loadU32(head + 12);
  const uint32_t commandid = loadU32(head + 24);
  ctx.shared.currentRangeMm.store(RangeFromRecordLength(samples), std::memory_order_relaxed);
  if (ctx.observer) ctx.observer->fileStarted(index);
  cur.index = index;
  cur.report.file = index;
  cur.report.linesPerTurn = LinesPerTurn(commandid);
  cur.report.recordLength = samples;
  cur.report.datasize = loadU32(head + 8);
  if (index == 0) cur.report.commandid = commandid;
  file.seek(0);
  ctx.statusText.set(ctx.displayPath ? ctx.displayPath(file) : file.path());
}

bool usable(const PlaybackJob& job, uint32_t index) {
  return index < job.files.size() && job.files[index] && job.files[index]->isOpen();
}

}  // namespace

void SteadyPacer::wait(int64_t hundredNs) {
  if (hundredNs <= 0) return;
  std::this_thread::sleep_until(std::chrono::steady_clock::now() +
                                std::chrono::duration<int64_t, std::ratio<1, 10000000>>(hundredNs));
}

PlaybackEnd runPlayback(PlaybackJob& job, PlaybackContext& ctx) {
  Clock& clock = ctx.clock;
  const auto stopped = [&] { return ctx.stopRequest.load(std::memory_order_relaxed); };
  uint32_t lastReport = clock.nowMs();
  if (!usable(job, 0)) return PlaybackEnd::InvalidFile;
  const uint32_t fileCount = uint32_t(job.files.size());

  CurrentFile cur;
  PlaybackFeedState feed;
  feed.previousSide = ctx.previousTurnSide.load(std::memory_order_relaxed);
  std::vector<uint8_t> buffer(kRecordBufferSize);
  RecordReader reader;
  startFile(job, ctx, cur, 0);
  clock.sleepMs(kFileStartSleepMs);

  for (;;) {
    // Pause and speed are read afresh for every record.
    while (ctx.playbackPaused.load(std::memory_order_relaxed) == 1 && !stopped())
      clock.sleepMs(kPauseSleepMs);
    if (stopped()) return PlaybackEnd::Stopped;

    RecordFileSource& file = *job.files[cur.index];
    // Taken and cleared in one step, so a request made meanwhile is not lost.
    const int64_t seek = ctx.seekRequest.exchange(kNoSeekRequest, std::memory_order_relaxed);
    if (seek != kNoSeekRequest) {
      file.seek(std::min<uint64_t>(uint64_t(std::max<int64_t>(seek, 0)), file.size()));
      reader.discardPending();
    }

    PlaybackSource source(file, clock, ctx.stopRequest);
    const int32_t r = ReadPingRecord(source, buffer.data(), clock, reader);
    if (stopped()) return PlaybackEnd::Stopped;
    if (r == kBadFooter || r == kBadMagic) continue;
    // The file ended inside a record: the records it swallowed are read before
    // the next file.
    if (r == kTimedOut && reader.pendingBytes() > 0) continue;
    if (r == kTimedOut) {
      const uint32_t next = (cur.index + 1) % fileCount;
      if (next == 0 && ctx.playbackContinuously.load(std::memory_order_relaxed) == 0)
        return PlaybackEnd::LastFileDone;
      if (!usable(job, next)) return PlaybackEnd::InvalidFile;
      startFile(job, ctx, cur, next);
      reader.discardPending();
      continue;
    }
    if (r == kBadLength) return PlaybackEnd::BadLength;
    if (r != kRecordEnd0 && r != kRecordEnd1) return PlaybackEnd::ReadFailed;

    if (clock.nowMs() - lastReport > kReportPeriodMs) {
      lastReport = clock.nowMs();
      PlaybackReport report = cur.report;
      report.fileSize = file.size();
      report.position = file.position();
      if (ctx.observer) ctx.observer->positionReport(report);
    }

    const int32_t speed = std::max(1, ctx.playbackSpeed.load(std::memory_order_relaxed));
    ctx.pacer.wait(int64_t(job.intervalTicks) * 100000 / speed);

    feedPlaybackRecord(feed, buffer.data(), ctx.store, ctx.viewSettings(), ctx.shared, ctx.gps);
    ctx.previousTurnSide.store(feed.previousSide, std::memory_order_relaxed);
  }
}

void PlaybackController::start(std::vector<std::unique_ptr<RecordFileSource>> files,
                               uint32_t intervalTicks) {
  stopPlayback();
  files_ = std::move(files);
  job_.files.clear();
  for (auto& f : files_) job_.files.push_back(f.get());
  job_.intervalTicks = intervalTicks;
  ctx_.stopRequest.store(false);
  ended_.store(false);
  thread_ = std::thread([this] {
    const PlaybackEnd end = runPlayback(job_, ctx_);
    // A playback that ended by itself leaves no file's name on the strip; a stopped one leaves
    // the line to whoever stopped it (a live start has written its record file's name there).
    if (end != PlaybackEnd::Stopped) ctx_.statusText.set(std::string());
    endReason_.store(end);
    ended_.store(true);
  });
}

void PlaybackController::stopPlayback() {
  ctx_.stopRequest.store(true);
  // The files are closed only once the thread can no longer read them.
  if (thread_.joinable()) thread_.join();
  for (auto& f : files_) {
    if (f) f->close();
  }
  files_.clear();
  job_.files.clear();
}

}  // namespace sk720
