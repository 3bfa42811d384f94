// sk720 video end to end: the file players see, the picture in it, bad input and Ctrl-C.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "scratch_test.h"
#include "sk720/commands.h"
#include "sk720/render_job.h"

namespace sk720 {
namespace {

namespace fs = std::filesystem;

using VideoTest = testing::ScratchTest;

// ffprobe's view of the first video stream and the container.
std::map<std::string, std::string> probe(const std::string& file) {
  std::map<std::string, std::string> fields;
  const std::string command =
      "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
      "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames:format=duration "
      "-of default=nw=1 '" +
      file + "'";
  std::FILE* p = ::popen(command.c_str(), "r");
  char line[256];
  while (p && std::fgets(line, sizeof line, p)) {
    const std::string text(line, std::strcspn(line, "\n"));
    if (const size_t eq = text.find('='); eq != std::string::npos)
      fields[text.substr(0, eq)] = text.substr(eq + 1);
  }
  if (p) ::pclose(p);
  return fields;
}

// Frame n of the video, decoded as BGRA bytes.
std::vector<uint8_t> decodeFrame(const std::string& file, int n, const std::string& raw) {
  const std::string command = "ffmpeg -v error -y -i '" + file + "' -vf 'select=eq(n\\," +
                              std::to_string(n) + ")' -frames:v 1 -f rawvideo -pix_fmt bgra '" +
                              raw + "'";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream f(raw, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

// Brightness (BT.709 luma) PSNR over the disc the display range fills (the client's shorter
// side): the scan area.
double scanAreaPsnr(const std::vector<uint8_t>& decoded, const std::vector<uint32_t>& painted,
                    int w, int h) {
  auto luma = [](double b, double g, double r) { return 0.0722 * b + 0.7152 * g + 0.2126 * r; };
  const double radius = h / 2.0 - 2.0;
  double sum = 0;
  int64_t count = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0) > radius) continue;
      const uint32_t p = painted[size_t(y) * w + x];
      const uint8_t* d = &decoded[(size_t(y) * w + x) * 4];
      const double e = luma(d[0], d[1], d[2]) - luma(p & 255, (p >> 8) & 255, (p >> 16) & 255);
      sum += e * e;
      ++count;
    }
  }
  const double mse = sum / double(count);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
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
  const std::vector<uint8_t> frame = decodeFrame(out, 30, path("frame.raw"));
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

TEST_F(VideoTest, BadInputIsOneLineAndLeavesNoOutput) {
  const std::string rec = path("one.bin"), junk = path("junk.bin"), out = path("out.mp4");
  ASSERT_EQ(cli::runSynth({rec, "--turns", "1", "--step-index", "5"}), 0);
  write("junk.bin", std::string(5000, 'x'));
  const std::vector<cli::Args> cases = {
      {path("missing.bin"), "-o", out},
      {junk, "-o", out},
      {rec, junk, "-o", out},
      {rec, "-o", out, "--size", "321x240"},
      {rec, "-o", out, "--size", "320"},
      {rec, "-o", out, "--speed", "3"},
      {rec, "-o", out, "--fps", "0"},
      {rec, "-o", path("no-such-folder/out.mp4")},
      {rec, "-o", dir.string()},
      {rec, "-o", out, "--from", "60"},
      {rec, "-o", out, "--from", "2", "--to", "1"},
      {rec, "-o", out, "--info"},
      {rec},
  };
  for (const cli::Args& args : cases) {
    const std::string shown = ::testing::PrintToString(args);
    ::testing::internal::CaptureStderr();
    const int code = cli::runVideo(args);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, 2) << shown;
    EXPECT_EQ(err.rfind("sk720: video: ", 0), 0u) << shown << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << shown << err;
    EXPECT_FALSE(fs::exists(out) || fs::exists(out + ".part")) << shown;
  }
}

TEST_F(VideoTest, CtrlCFinishesAPlayableFileOfTheFramesMade) {
  const std::string rec = path("long.bin"), out = path("long.mp4"), err = path("err.txt");
  // 6400 records at x1 play 320 s: far longer than the test waits.
  ASSERT_EQ(cli::runSynth({rec, "--turns", "2"}), 0);
  const std::string binary = std::string(std::getenv("SK720_BINARY_DIR")) + "/tools/sk720";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::freopen(err.c_str(), "w", stderr);
    ::execl(binary.c_str(), binary.c_str(), "video", rec.c_str(), "-o", out.c_str(), "--speed", "1",
            "--size", "320x240", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The file appears once the interrupt handler is in place; 40 KB of it are some hundred frames.
  for (int i = 0; i < 2400; ++i) {  // two minutes at most
    std::error_code ec;
    if (const auto n = fs::file_size(out + ".part", ec); !ec && n >= 40u * 1024) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream e(err);
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(e), {}).find("interrupted"),
            std::string::npos);

  EXPECT_FALSE(fs::exists(out + ".part"));
  auto info = probe(out);
  const int frames = std::atoi(info["nb_read_frames"].c_str());
  EXPECT_TRUE(frames > 0 && frames < 320 * 25) << frames;
  EXPECT_NEAR(std::atof(info["duration"].c_str()), frames / 25.0, 1.0 / 25);
}

}  // namespace
}  // namespace sk720
