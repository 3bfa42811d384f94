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
  // '@' stands for the scratch folder.
  const auto here = [&](std::string s) {
    for (size_t at; (at = s.find('@')) != std::string::npos;) s.replace(at, 1, path(""));
    return s;
  };
  // command line; the error after "sk720: COMMAND: "
  std::vector<std::pair<std::string, std::string>> cases = {
      {"nmea @folder", "@folder: it is a folder, not a file"},
      {"nmea @empty.log", "@empty.log: no NMEA sentence found"},
      {"nmea @garbage.log", "@garbage.log: no NMEA sentence found"},
      {"nmea @bad-sums.log",
       "@bad-sums.log: no sentence could be used: 1 with a wrong checksum, 0 of other types, 0 "
       "with unreadable fields"},
      {"render @garbage.bin -o @no/out.png", "@no/out.png: No such file or directory"},
      {"render @garbage.bin -o @out.png", "@garbage.bin: no ping record found"},
      {"render @garbage.bin @garbage.bin -o @out.png", "the 2 files given: no ping record found"},
      {"synth @folder.png", "@folder.png: it is a folder, not a file"},
      {"capture --port p --out @file", "@file: it is a file, not a folder"}};
  std::vector<std::pair<std::string, std::string>> inputs = {
      {"@folder", "it is a folder, not a file"}, {"@missing.bin", "No such file or directory"}};
#ifndef _WIN32
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  inputs.push_back({"@pipe", "it is a pipe, not a record file"});
  inputs.push_back({"/dev/zero", "it is a device, not a record file"});
#endif
  for (const auto& [input, reason] : inputs) {
    std::string error = input;
    error.append(": ").append(reason);
    cases.push_back({"info " + input, error});
    cases.push_back({std::string("render ").append(input).append(" -o @out.png"), error});
  }
  for (const auto& [command, error] : cases) {
    const Args args = words(here(command));
    const std::string line = here(error);
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
  // A picture small enough to wait in the buffer fails only when the file is closed.
  const Outcome late = runLine({"render", path("scene.bin"), "-o", "/dev/full", "--size", "16"});
  EXPECT_EQ(late.code, 2);
  EXPECT_EQ(late.err, "sk720: render: cannot finish /dev/full: No space left on device\n");
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
