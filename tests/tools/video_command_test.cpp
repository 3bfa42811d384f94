// sk720 video's place on the command line: listed with its usage natively, and a one-line
// refusal in the Windows console build, which links no video libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "sk720/commands.h"

namespace sk720::cli {
namespace {

TEST(VideoCommand, IsListedWhereItIsBuiltAndRefusedInOneLineWhereNot) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ::testing::internal::CaptureStderr();
  const int help = runCommandLine({"video", "--help"}, out);
  const int run = runCommandLine({"video", "scene.bin", "-o", "scene.mp4"}, out);
  const std::string err = ::testing::internal::GetCapturedStderr();
  std::rewind(out);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  EXPECT_EQ(help, 0);
  EXPECT_NE(text.find("usage: sk720 video FILE... -o OUT.mp4"), std::string::npos) << text;
  EXPECT_EQ(run, 2);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
#ifdef _WIN32
  EXPECT_EQ(err.rfind("sk720: video: not in this build: ", 0), 0u) << err;
#else
  EXPECT_EQ(err.rfind("sk720: video: cannot open scene.bin: ", 0), 0u) << err;
#endif
}

}  // namespace
}  // namespace sk720::cli
