// sk720 video: record files played into an H.264 MP4, frame by frame as the scan view shows them.
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/utf16.h"
#include "sk720/commands.h"
#include "sk720/options.h"
#include "sk720/video_encoder.h"
#include "sk720/video_job.h"

namespace sk720::cli {

// The options, one line each, for the command's help.

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) { gInterrupted.store(true); }

// Ctrl-C ends the playback early; the frames made so far still become a playable file.
class InterruptGuard {
 public:
  InterruptGuard() {
    gInterrupted.store(false);
    previous_ = std::signal(SIGINT, onInterrupt);
  }
  ~InterruptGuard() { std::signal(SIGINT, previous_); }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  void (*previous_)(int);
};

std::optional<int64_t> parseSeconds(const std::string& text) {
  auto v = parseNumber(text);
  if (!v || !std::isfinite(*v) || *v < 0 || *v > 1e7) return std::nullopt;
  return int64_t(std::llround(*v * double(kTicksPerSecond)));
}

std::string durationText(int64_t ticks) {
  const int64_t tenths = ticks / (kTicksPerSecond / 10);
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
  return text;
}

// 0 when the options make a job, else the exit code after the one error line.
int parseVideoOptions(const Args& args, VideoJob& job) {
  OptionReader r("video", args);
  while (!r.done() && r.ok()) {
    const std::string a = r.next();
    auto bad = [&](const std::string& allowed, const std::string& v) { r.badValue(a, v, allowed); };
    auto integer = [&](int64_t lo, int64_t hi, int32_t& target) {
      if (auto n = r.integer(a, lo, hi)) target = int32_t(*n);
    };
    if (a == "-o" || a == "--output") {
      if (auto v = r.value(a)) job.output = *v;
    } else if (a == "--speed") {
      if (auto v = r.value(a)) {
        auto n = parseInteger(*v, 1, 16);
        if (n && (*n & (*n - 1)) == 0)
          job.speed = int32_t(*n);
        else
          bad("1, 2, 4, 8 or 16", *v);
      }
    } else if (a == "--fps")
      integer(1, 60, job.fps);
    else if (a == "--size") {
      if (auto v = r.value(a)) {
        const size_t x = v->find('x');
        auto w = x == std::string::npos ? std::nullopt : parseInteger(v->substr(0, x), 64, 4096);
        auto h = x == std::string::npos ? std::nullopt : parseInteger(v->substr(x + 1), 64, 4096);
        if (!w || !h || *w % 2 || *h % 2)
          bad("WxH, even numbers from 64 to 4096", *v);
        else
          job.width = int32_t(*w), job.height = int32_t(*h);
      }
    } else if (a == "--from" || a == "--to") {
      if (auto v = r.value(a)) {
        auto t = parseSeconds(*v);
        if (!t)
          bad("seconds of played time, 0 or more", *v);
        else if (a == "--from")
          job.fromTicks = *t;
        else
          job.toTicks = *t;
      }
    } else if (a == "--turns")
      integer(1, 100000, job.turns);
    else if (a == "--range-index") {
      int32_t i = 0;
      integer(0, 14, i);
      job.rangeIndex = i;
    } else if (readViewOption(r, a, job.view)) {
    } else if (a == "--overlays")
      job.overlays = true;
    else if (a == "--info")
      job.info = true;
    else if (a == "--compass")
      job.compass = true;
    else if (a.size() > 1 && a[0] == '-')
      r.unknownOption(a);
    else
      job.files.push_back(a);
  }
  if (!r.ok()) return r.failure();
  if (job.files.empty())
    return fail("video", "no recording given", "name one or more record files");
  if (job.output.empty()) return fail("video", "no output given", "add -o OUT.mp4");
  if (!job.overlays && (job.info || job.compass))
    return fail("video", "--info and --compass draw over --overlays", "add it");
  if (job.toTicks && *job.toTicks <= job.fromTicks)
    return fail("video", "bad --to", "it must come after --from");
  // The compass overlays show only with the compass switched on, as in the program.
  if (job.compass) job.view.compassEnabled = 1;
  return 0;
}

}  // namespace

int runVideo(const Args& args) {
  if (!videoEncodingAvailable()) {
    return fail("video", "not in this build", "videos are made by the native build of sk720");
  }
  VideoJob job;
  if (const int code = parseVideoOptions(args, job)) return code;
  std::string error;

  VideoStats stats;
  ProgressLine progress("video", progressWanted());
  job.progress = &progress;
  InterruptGuard interrupt;
  job.interrupt = &gInterrupted;
  const bool made = makeVideo(job, stats, &error);
  progress.finish();
  if (!made) return fail("video", error, "");

  std::error_code ec;
  const auto bytes = std::filesystem::file_size(pathFromUtf8(job.output), ec);
  const int64_t shown = int64_t(stats.frames) * kTicksPerSecond / job.fps;
  std::printf("%s: %dx%d, %llu frames at %d fps (%s), %llu records played at x%d, %.1f MB\n",
              job.output.c_str(), job.width, job.height,
              static_cast<unsigned long long>(stats.frames), job.fps, durationText(shown).c_str(),
              static_cast<unsigned long long>(stats.records), job.speed,
              ec ? 0.0 : double(bytes) / 1e6);
  if (stats.interrupted) {
    std::fprintf(stderr, "sk720: video: interrupted: %s holds the %s played before Ctrl-C\n",
                 job.output.c_str(), durationText(shown).c_str());
  }
  return 0;
}

}  // namespace sk720::cli
