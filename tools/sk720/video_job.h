#pragma once
// Record files played into video frames: the program's playback loop on a played-time clock,
// the scan view's incremental paint and its overlays, one frame every 1/fps of played time.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/view_settings.h"
#include "sk720/progress.h"

namespace sk720::cli {

constexpr int64_t kTicksPerSecond = 10000000;  // played time in 100 ns, the pacer's unit

struct VideoJob {
  std::vector<std::string> files;
  std::string output;  // MP4 path
  int32_t width = 1280, height = 720;
  int32_t fps = 25;
  int32_t speed = 4;                  // 1, 2, 4, 8 or 16, as the program's playback speeds
  std::optional<int32_t> rangeIndex;  // default: follow each file's range, as the program does
  ViewSettings view;
  bool overlays = false, info = false, compass = false;
  int64_t fromTicks = 0;           // played time of the first frame
  std::optional<int64_t> toTicks;  // played time of the last frame at most
  int32_t turns = 0;               // 0: no limit; else stop after this many turns
  ProgressLine* progress = nullptr;
  const std::atomic<bool>* interrupt = nullptr;  // ends the playback early, keeping the frames
};

// Where each frame's time went, in nanoseconds.
struct VideoTimings {
  int64_t paintNs = 0, overlayNs = 0, encodeNs = 0;
};

struct VideoStats {
  uint64_t frames = 0;
  uint64_t records = 0;     // records played
  int64_t playedTicks = 0;  // played time at the last record fed
  int64_t totalTicks = 0;   // played time of every record in the files
  bool interrupted = false;
  VideoTimings timings;
};

// Receives the frames in order: width x height BGRX pixels, stridePixels apart, and the played
// time each shows. False (with error set) stops the job.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual bool frame(const uint32_t* pixels, int32_t stridePixels, int64_t playedTicks,
                     std::string* error) = 0;
};

// The interval between records at a playback speed, in ticks.
int64_t recordTicks(int32_t speed);

// Counts the valid records of each file (the played time of the job follows from it). False, with
// a one-line reason, when a file cannot be read or holds no valid record.
bool countPlayableRecords(const std::vector<std::string>& files, uint64_t& records,
                          std::string* error);

// Plays the files into sink. totalTicks must be set in stats beforehand when the progress line
// should show it.
bool playIntoFrames(const VideoJob& job, FrameSink& sink, VideoStats& stats, std::string* error);

// The whole command: checks the files and the output, codes the frames into a file beside the
// output and moves it into place once complete; removes it on failure.
bool makeVideo(const VideoJob& job, VideoStats& stats, std::string* error);

}  // namespace sk720::cli
