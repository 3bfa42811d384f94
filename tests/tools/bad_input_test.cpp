// What sk720 does with inputs and outputs it cannot use: one line naming the path and the
// reason, exit 2, and nothing else done.
#include <cstdio>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "tool_test.h"

namespace sk720::cli {
namespace {

namespace fs = std::filesystem;
using BadInputTest = ToolTest;

TEST_F(BadInputTest, InputsAndOutputsItCannotUseAreNamedWithTheirReason) {
  fs::create_directories(path("folder"));
  fs::create_directories(path("folder.png"));
  write("empty.log", "");
  write("garbage.log", "no sentences here, only words\r\n");
  write("bad-sums.log", "$GPGGA,1*00\r\n");
  write("garbage.bin", "nothing that is a record");  // a check after reading would report this
  write("file", "x");
  std::vector<std::pair<std::string, std::string>> inputs = {
      {path("folder"), "it is a folder, not a file"},
      {path("missing.bin"), "No such file or directory"}};
#ifndef _WIN32
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  inputs.push_back({path("pipe"), "it is a pipe, not a record file"});
  inputs.push_back({"/dev/zero", "it is a device, not a record file"});
#endif
  std::vector<std::pair<Args, std::string>> cases;
  for (const auto& [input, reason] : inputs) {
    std::string line = input;
    line += ": ";
    line += reason;
    cases.push_back({{"info", input}, line});
    cases.push_back({{"render", input, "-o", path("out.png")}, line});
  }
  const std::string nmea =
      "no sentence could be used: 1 with a wrong checksum, 0 of other types, "
      "0 with unreadable fields";
  cases.insert(
      cases.end(),
      {{{"nmea", path("folder")}, path("folder") + ": it is a folder, not a file"},
       {{"nmea", path("empty.log")}, path("empty.log") + ": no NMEA sentence found"},
       {{"nmea", path("garbage.log")}, path("garbage.log") + ": no NMEA sentence found"},
       {{"nmea", path("bad-sums.log")}, path("bad-sums.log") + ": " + nmea},
       {{"render", path("garbage.bin"), "-o", path("no/out.png")},
        path("no/out.png") + ": No such file or directory"},
       {{"render", path("garbage.bin"), "-o", path("out.png")},
        path("garbage.bin") + ": no ping record found"},
       {{"render", path("garbage.bin"), path("garbage.bin"), "-o", path("out.png")},
        "the 2 files given: no ping record found"},
       {{"synth", path("folder.png")}, path("folder.png") + ": it is a folder, not a file"},
       {{"capture", "--port", "p", "--out", path("file")},
        path("file") + ": it is a file, not a folder"}});
  for (const auto& [args, line] : cases) {
    const Outcome o = runLine(args);
    EXPECT_EQ(o.code, 2) << line;
    EXPECT_EQ(o.err, "sk720: " + args[0] + ": " + line + "\n");
    EXPECT_TRUE(o.out.empty()) << o.out;
    EXPECT_FALSE(fs::exists(path("out.png")));
  }
#ifndef _WIN32
  // A full medium: one line with the reason, nothing from the PNG library.
  ASSERT_EQ(runSynth({path("scene.bin"), "--range-index", "0"}), 0);
  const Outcome full = runLine({"render", path("scene.bin"), "-o", "/dev/full", "--size", "400"});
  EXPECT_EQ(full.code, 2);
  EXPECT_EQ(full.err, "sk720: render: cannot write /dev/full: No space left on device\n");
#endif
}

// Capture makes its folder before touching the port: a folder that cannot be made gives exit 2
// naming it, a missing one is made, as the program makes its working folder, before the port
// fails with 3.
TEST_F(BadInputTest, CaptureMakesItsFolderBeforeTouchingThePort) {
  write("file", "x");
  Outcome o = runLine({"capture", "--port", path("no-port"), "--out", path("file/sub")});
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err.rfind("sk720: capture: " + path("file/sub") + ": ", 0), 0u) << o.err;
  EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  o = runLine({"capture", "--port", path("no-port"), "--out", path("new/dive")});
  EXPECT_EQ(o.code, 3) << o.err;
  EXPECT_TRUE(fs::is_directory(path("new/dive")) && fs::is_empty(path("new/dive")));
}

TEST_F(BadInputTest, SynthRefusesAbsurdSizes) {
  ASSERT_EQ(runSynth({path("one.bin"), "--turns", "1"}), 0);
  const uintmax_t turn = fs::file_size(path("one.bin"));
  const Outcome o = runLine({"synth", path("huge.bin"), "--turns", "1000"});
  EXPECT_EQ(o.code, 2);
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "sk720: synth: --turns 1000 would write %.1f GB: a file may take at most 2 GB: "
                "%ju turns at this range and step\n",
                double(turn) * 1000 / 1e9, uintmax_t(2'000'000'000 / turn));
  EXPECT_EQ(o.err, expected);
  EXPECT_FALSE(fs::exists(path("huge.bin")));
}

}  // namespace
}  // namespace sk720::cli
