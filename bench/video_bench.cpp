// Speed of sk720 video: a 10-minute recording (12,000 records at the program's 50 ms) played at
// x4 into 1280x720 at 25 fps, 3,750 frames, with and without the overlays. The counters give the
// frames per second overall and of each stage alone (paint, overlays, coding).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "sk720/commands.h"
#include "sk720/video_job.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

const std::string& recording() {
  static const std::string path = [] {
    const fs::path p = fs::temp_directory_path() / "sk720-video-bench.bin";
    // Four turns at the finest step: 12,800 records; the clip stops at 12,000 (150 s at x4).
    cli::runSynth({p.string(), "--turns", "4", "--step-index", "1"});
    return p.string();
  }();
  return path;
}

void BM_VideoTenMinutesAtX4(benchmark::State& state) {
  cli::VideoJob job;
  job.files = {recording()};
  job.output = (fs::temp_directory_path() / "sk720-video-bench.mp4").string();
  job.toTicks = 150 * cli::kTicksPerSecond;
  job.overlays = job.info = job.compass = state.range(0) != 0;
  if (job.compass) job.view.compassEnabled = 1;
  cli::VideoStats stats;
  // Processor time of every thread (the coder's own included): on a shared machine the
  // wall-clock figures grow with the load, this one does not.
  auto cpuSeconds = [] {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  const double cpuBefore = cpuSeconds();
  for (auto _ : state) {
    stats = cli::VideoStats{};
    std::string error;
    if (!cli::makeVideo(job, stats, &error)) state.SkipWithError(error.c_str());
  }
  state.counters["cpu_s"] = cpuSeconds() - cpuBefore;
  const double frames = double(stats.frames);
  auto rate = [&](int64_t ns) { return ns > 0 ? frames / (double(ns) / 1e9) : 0.0; };
  state.counters["frames"] = frames;
  state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["paint_fps"] = rate(stats.timings.paintNs);
  state.counters["overlay_fps"] = rate(stats.timings.overlayNs);
  state.counters["encode_fps"] = rate(stats.timings.encodeNs);
  std::error_code ec;
  state.counters["MB"] = double(fs::file_size(job.output, ec)) / 1e6;
  fs::remove(job.output, ec);
}

BENCHMARK(BM_VideoTenMinutesAtX4)
    ->ArgName("overlays")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace sk720

BENCHMARK_MAIN();
