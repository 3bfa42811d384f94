#pragma once
// Playback of record files: the loop that feeds their records into the display path at a pace
// set by an interval and a speed factor, and the controller that runs it on a thread of its own.
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "base/status_text.h"
#include "gps/gps_fix.h"
#include "records/record_file.h"
#include "scan/line_store.h"
#include "scan/scan_image.h"
#include "scan/view_settings.h"

namespace sk720 {

constexpr int64_t kNoSeekRequest = std::numeric_limits<int64_t>::min();
constexpr uint32_t kDefaultIntervalTicks = 5;  // 10 ms units: 50 ms between records at speed 1
constexpr uint32_t kReportPeriodMs = 100;
constexpr uint32_t kPauseSleepMs = 200;
constexpr uint32_t kFileStartSleepMs = 100;

// The position in the current file, reported about ten times a second.
struct PlaybackReport {
  uint32_t file = 0;  // index of the file being played in the job
  int32_t linesPerTurn = 0;
  uint32_t recordLength = 0;  // samples field of the current file's first record
  uint32_t datasize = 0;      // datasize field of the current file's first record
  uint64_t fileSize = 0;
  uint64_t position = 0;   // current read position (the scan window's copy leaves it 0)
  uint32_t commandid = 0;  // commandid of the first record of the first file
};

// Stands in for the windows playback talks to. Called on the playback thread: implementations
// post, never wait for the interface thread.
class PlaybackObserver {
 public:
  virtual ~PlaybackObserver() = default;
  virtual void fileStarted(uint32_t fileIndex) = 0;  // the scan view starts afresh
  virtual void positionReport(const PlaybackReport& report) = 0;
};

// Waits out one record's interval, in units of 100 ns.
class PlaybackPacer {
 public:
  virtual ~PlaybackPacer() = default;
  virtual void wait(int64_t hundredNs) = 0;
};

// steady_clock and sleep_until: the portable high-resolution wait.
class SteadyPacer : public PlaybackPacer {
 public:
  void wait(int64_t hundredNs) override;
};

// The pacer for this platform (a waitable timer on Windows).
std::unique_ptr<PlaybackPacer> makePlatformPacer();

// What "Open File" hands over: the open files in selection order (null = an invalid file) and
// the base interval.
struct PlaybackJob {
  std::vector<RecordFileSource*> files;
  uint32_t intervalTicks = kDefaultIntervalTicks;
};

// Everything the loop shares with the rest of the program. The atomics are written by the
// interface thread (pause, speed, continuous playback) and by the slider bar (seek).
struct PlaybackContext {
  PlaybackContext(LineStore& s, ScanInputs& sh, GpsFix& g, StatusText& st, Clock& c,
                  PlaybackPacer& p)
      : store(s), shared(sh), gps(g), statusText(st), clock(c), pacer(p) {}

  std::atomic<bool> stopRequest{false};
  std::atomic<int32_t> playbackPaused{0};
  std::atomic<int32_t> playbackSpeed{1};  // 1, 2, 4, 8 or 16
  // File offset to jump to; kNoSeekRequest when none. Negative offsets mean 0, offsets past the
  // end mean the end.
  std::atomic<int64_t> seekRequest{kNoSeekRequest};
  std::atomic<int32_t> playbackContinuously{1};
  // The previous turn side carries over from one playback run to the next.
  std::atomic<int32_t> previousTurnSide{0};

  LineStore& store;
  ScanInputs& shared;
  GpsFix& gps;
  StatusText& statusText;
  Clock& clock;
  PlaybackPacer& pacer;
  PlaybackObserver* observer = nullptr;
  // The path shown in the status line; the path as opened when not set.
  std::function<std::string(const RecordFileSource&)> displayPath;

  // The echo processing settings, copied per record so the dialog may change them meanwhile.
  void setViewSettings(const ViewSettings& v) {
    std::lock_guard<std::mutex> g(viewLock);
    view = v;
  }
  ViewSettings viewSettings() const {
    std::lock_guard<std::mutex> g(viewLock);
    return view;
  }

 private:
  mutable std::mutex viewLock;
  ViewSettings view;
};

// Why the loop ended.
enum class PlaybackEnd { Stopped, LastFileDone, InvalidFile, BadLength, ReadFailed };

// The playback loop; returns when the job is done, on a read failure, or on a stop request.
// The files stay open.
PlaybackEnd runPlayback(PlaybackJob& job, PlaybackContext& ctx);

// Owns the playback thread and the files it plays.
class PlaybackController {
 public:
  explicit PlaybackController(PlaybackContext& ctx) : ctx_(ctx) {}
  ~PlaybackController() { stopPlayback(); }
  PlaybackController(const PlaybackController&) = delete;
  PlaybackController& operator=(const PlaybackController&) = delete;

  // Stops any earlier playback, then plays the files on a new thread.
  void start(std::vector<std::unique_ptr<RecordFileSource>> files,
             uint32_t intervalTicks = kDefaultIntervalTicks);
  // Sets the stop request and returns once the thread has ended and every file is closed.
  void stopPlayback();
  bool threadEnded() const { return ended_.load(); }
  PlaybackEnd endReason() const { return endReason_.load(); }

 private:
  PlaybackContext& ctx_;
  std::vector<std::unique_ptr<RecordFileSource>> files_;
  PlaybackJob job_;
  std::thread thread_;
  std::atomic<bool> ended_{true};
  std::atomic<PlaybackEnd> endReason_{PlaybackEnd::Stopped};
};

}  // namespace sk720
