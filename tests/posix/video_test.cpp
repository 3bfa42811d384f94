// sk720 video end to end: the file players see, the picture in it, and Ctrl-C.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "sk720/render_job.h"
#include "tools/tool_test.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

using VideoTest = testing::ScratchTest;

// What a command writes to its stdout.
std::string commandOutput(const std::string& command) {
  std::string text;
  std::FILE* p = ::popen(command.c_str(), "r");
  char buf[4096];
  for (size_t n; p && (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  if (p) ::pclose(p);
  return text;
}

// ffprobe's view of the first video stream and the container.
std::map<std::string, std::string> probe(const std::string& file) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(commandOutput(
      "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
      "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames:format=duration "
      "-of default=nw=1 '" +
      file + "'"));
  for (std::string line; std::getline(lines, line);)
    if (const size_t eq = line.find('='); eq != std::string::npos)
      fields[line.substr(0, eq)] = line.substr(eq + 1);
  return fields;
}

// Brightness (BT.709 luma) PSNR over the disc the display range fills (the client's shorter
// side): the scan area. `decoded` is BGRA bytes.
double scanAreaPsnr(const std::string& decoded, const std::vector<uint32_t>& painted, int w,
                    int h) {
  auto luma = [](double b, double g, double r) { return 0.0722 * b + 0.7152 * g + 0.2126 * r; };
  double sum = 0;
  int64_t count = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0) > h / 2.0 - 2.0) continue;
      const uint32_t p = painted[size_t(y) * w + x];
      const auto* d = reinterpret_cast<const uint8_t*>(&decoded[(size_t(y) * w + x) * 4]);
      const double e = luma(d[0], d[1], d[2]) - luma(p & 255, (p >> 8) & 255, (p >> 16) & 255);
      sum += e * e;
      ++count;
    }
  }
  return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(count) / sum);
}

TEST_F(VideoTest, TwoTurnsAtSixteenTimesPlayAsTheRenderOfTheRecordsPlayedSoFar) {
  const std::string rec = path("two.bin"), out = path("two.mp4");
  // Two turns of 400 records: 800 records, 50 ms / 16 apart, play 2.5 s.
  ASSERT_EQ(cli::runSynth({rec, "--turns", "2", "--step-index", "4"}), 0);
  ASSERT_EQ(cli::runVideo({rec, "-o", out, "--speed", "16", "--size", "320x240"}), 0);
  EXPECT_FALSE(fs::exists(out + ".part"));

  auto info = probe(out);
  EXPECT_EQ(info["codec_name"] + " " + info["pix_fmt"] + " " + info["width"] + "x" +
                info["height"] + " " + info["r_frame_rate"],
            "h264 yuv420p 320x240 25/1");
  const double played = 800 * 0.05 / 16;
  EXPECT_NEAR(std::atof(info["duration"].c_str()), played, 1.0 / 25);
  EXPECT_NEAR(std::atof(info["nb_read_frames"].c_str()), played * 25, 1.0);

  // Frame 30 shows 1.2 s of played time: the records fed at or before it, 384 of them.
  const std::string frame = commandOutput("ffmpeg -v error -i '" + out +
                                          "' -vf 'select=eq(n\\,30)' -frames:v 1 -f rawvideo "
                                          "-pix_fmt bgra -");
  ASSERT_EQ(frame.size(), size_t(320) * 240 * 4);
  auto renderOf = [&](int64_t records) {
    const cli::RenderJob job{.files = {rec}, .width = 320, .height = 240, .recordLimit = records};
    cli::RenderResult result;
    std::string error;
    EXPECT_TRUE(cli::renderRecordFiles(job, result, &error)) << error;
    return result.pixels;
  };
  // The tolerance is the lossy coding's, not a different picture: the coder quantises the
  // single-pixel speckle, and yuv420p keeps colour at half resolution (hence brightness PSNR).
  // The picture 32 records earlier, a tenth of a second of played time, falls far below it.
  EXPECT_GE(scanAreaPsnr(frame, renderOf(384), 320, 240), 35.0);
  EXPECT_LT(scanAreaPsnr(frame, renderOf(352), 320, 240), 30.0);
}

TEST_F(VideoTest, CtrlCFinishesAPlayableFileOfTheFramesMade) {
  const std::string rec = path("long.bin"), out = path("long.mp4");
  // 6400 records at x1 play 320 s: far longer than the test waits.
  ASSERT_EQ(cli::runSynth({rec, "--turns", "2"}), 0);
  // The file appears once the interrupt handler is in place; 40 KB of it are some hundred frames.
  std::thread interrupter([&] {
    std::error_code ec;
    for (int i = 0; i < 2400 && (fs::file_size(out + ".part", ec) < 40ul * 1024 || ec); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // two minutes at most
    std::raise(SIGINT);
  });
  const cli::Outcome o = cli::runCaptured([&] {
    return cli::runVideo({rec, "-o", out, "--speed", "1", "--size", "320x240"});
  });
  interrupter.join();
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_NE(o.err.find("interrupted"), std::string::npos) << o.err;
  EXPECT_FALSE(fs::exists(out + ".part"));
  auto info = probe(out);
  const int frames = std::atoi(info["nb_read_frames"].c_str());
  EXPECT_TRUE(frames > 0 && frames < 320 * 25) << frames;
  EXPECT_NEAR(std::atof(info["duration"].c_str()), frames / 25.0, 1.0 / 25);
}

}  // namespace
}  // namespace sk720
