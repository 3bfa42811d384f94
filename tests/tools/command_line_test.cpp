// sk720's help, version and progress line.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sk720/commands.h"
#include "sk720/progress.h"

namespace sk720::cli {
namespace {

std::string runAndRead(const Args& args, int& code) {
  std::FILE* out = std::tmpfile();
  code = runCommandLine(args, out);
  std::rewind(out);
  std::string text;
  char buf[512];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) text.append(buf, n);
  std::fclose(out);
  return text;
}

TEST(CommandLine, EveryCommandPrintsItsUsageOnHelpAndTheProgramItsVersion) {
  int code = -1;
  for (const char* name : {"synth", "info", "render", "nmea", "capture"}) {
    for (const char* flag : {"--help", "-h"}) {
      const std::string text = runAndRead({name, "x.bin", flag}, code);
      EXPECT_EQ(code, 0) << name;
      EXPECT_NE(text.find(std::string("usage: sk720 ") + name + " "), std::string::npos) << text;
    }
  }
  EXPECT_EQ(runAndRead({"--version"}, code).rfind("sk720 ", 0), 0u);
  EXPECT_EQ(code, 0);
  EXPECT_NE(runAndRead({"--help"}, code).find("sk720 render FILE..."), std::string::npos);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(runAndRead({"frobnicate"}, code).empty());
  EXPECT_EQ(code, 2);
}

TEST(ProgressLine, ShowsOnATerminalOnceWorkHasRunTwoSeconds) {
  ManualClock clock;
  std::string shown;
  ProgressLine line("info", true, clock, [&](const std::string& s) { shown += s; });
  line.update(10, 5000);
  clock.advance(1900);
  line.update(400, 900000);
  EXPECT_TRUE(shown.empty());  // short work stays quiet
  clock.advance(100);
  line.update(500, 2000000, "turns 3");
  EXPECT_EQ(shown, "\rinfo: 500 records, 2.0 MB, 250 records/s  turns 3    ");
  clock.advance(100);
  line.update(510, 2100000);
  EXPECT_EQ(shown.find("510"), std::string::npos);  // at most twice a second
  line.finish();
  EXPECT_EQ(shown.back(), '\n');

  std::string piped;
  ProgressLine quiet("render", false, clock, [&](const std::string& s) { piped += s; });
  clock.advance(10000);
  quiet.update(1, 1);
  quiet.finish();
  EXPECT_TRUE(piped.empty());
}

}  // namespace
}  // namespace sk720::cli
