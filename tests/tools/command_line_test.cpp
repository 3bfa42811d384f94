// sk720's help, error form, version and progress line; and what it does with inputs and outputs
// it cannot use: one line naming the path and the reason, exit 2, and nothing else done.
#include <algorithm>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "sk720/help_text.h"
#include "sk720/progress.h"
#include "tool_test.h"

namespace sk720::cli {
namespace {

void expectWithinColumns(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), kHelpWidth) << line;
}

// Each command's help names its usage and puts each option at the start of a line (a long one
// has its text on the next); the program's help lists every command with its summary, and the
// exit codes.
TEST(CommandLine, HelpForTheProgramAndEveryCommand) {
  for (const Command& c : commandTable()) {
    const Outcome o = runLine({c.name, "x.bin", "--help"});
    EXPECT_EQ(o.code, 0) << c.name;
    EXPECT_EQ(runLine({c.name, "-h"}).out + runLine({"help", c.name}).out, o.out + o.out);
    EXPECT_NE(o.out.find(std::string("\nusage: sk720 ") + c.name + " "), std::string::npos);
    expectWithinColumns(o.out);
    EXPECT_FALSE(c.options.empty()) << c.name;
    for (const OptionHelp& h : c.options) {
      const std::string at = std::string("\n  ") + h.option;
      EXPECT_TRUE(o.out.find(at + " ") != std::string::npos ||
                  o.out.find(at + "\n") != std::string::npos)
          << c.name << " " << h.option;
    }
  }
  for (const char* flag : {"--help", "-h", "help"}) {
    const Outcome o = runLine({flag});
    EXPECT_EQ(o.code, 0);
    expectWithinColumns(o.out);
    for (const Command& c : commandTable()) {
      const size_t at = o.out.find(std::string("\n  ") + c.name + " ");
      ASSERT_NE(at, std::string::npos) << c.name;
      const std::string first = std::string(c.summary).substr(0, std::string(c.summary).find(' '));
      EXPECT_EQ(o.out.find(first, at), o.out.find_first_not_of(' ', at + 3 + std::strlen(c.name)));
    }
    for (const char* exit : {"\n  0 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  6 "})
      EXPECT_NE(o.out.find(exit), std::string::npos) << exit;
  }
  const Outcome version = runLine({"--version"});
  EXPECT_EQ(version.out.rfind("sk720 ", 0) + version.code, 0u);
  // text, first line's column, indent, width, wrapped (a long word stands alone)
  const std::tuple<const char*, size_t, size_t, size_t, const char*> wraps[] = {
      {"one two three", 0, 2, 7, "one two\n  three"},
      {"one two three", 4, 4, 11, "one two\n    three"},
      {"aaaaaaaaaa bb", 0, 1, 6, "aaaaaaaaaa\n bb"},
      {"  spaced   out  ", 0, 0, 80, "spaced out"},
      {"exact fit", 0, 0, 9, "exact fit"},
      {"", 3, 3, 80, ""}};
  for (const auto& [text, first, indent, width, wrapped] : wraps)
    EXPECT_EQ(wrapText(text, first, indent, width), wrapped) << text << "/" << width;
}

TEST(ProgressLine, ShowsOnATerminalOnceWorkHasRunTwoSeconds) {
  ManualClock clock;
  std::string shown, piped;
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
  line.finish();  // the line is ended once
  EXPECT_EQ(shown.back(), '\n');
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);
  ProgressLine quiet("render", false, clock, [&](const std::string& s) { piped += s; });
  clock.advance(10000);
  quiet.update(1, 1);
  quiet.finish();
  EXPECT_TRUE(piped.empty());
}

namespace fs = std::filesystem;
using BadInputTest = ToolTest;

// Every error is one line on stderr: "sk720: COMMAND: what went wrong: reason", exit 2, and
// nothing else done; inputs and outputs it cannot use are named with their reason.
TEST_F(BadInputTest, ErrorsAreOneLineNamingCommandValueAndReason) {
  fs::create_directories(path("folder"));
  fs::create_directories(path("folder.png"));
  write("garbage.log", "no sentences here, only words\r\n");
  write("bad-sums.log", "$GPGGA,1*00\r\n");
  write("garbage.bin", "nothing that is a record");  // a check after reading would report this
  write("file", "x");
  const std::string unknown = "unknown command: sk720 --help lists the commands";
  const std::string noLink = "no single link given: give exactly one of --pty LINK and --port DEV";
  // A line ending in an option and a value it does not take.
  const auto bad = [](const std::string& line, const std::string& takes) {
    const size_t value = line.rfind(' '), option = line.rfind(' ', value - 1) + 1;
    return std::pair(line, "bad " + line.substr(option, value - option) + " '" +
                               line.substr(value + 1) + "': it takes " + takes);
  };
  // command line ('@' for the scratch folder); the error after "sk720: COMMAND: "
  std::vector<std::pair<std::string, std::string>> cases = {
      {"", "no command given: sk720 --help lists the commands"},
      {"frobnicate", unknown},
      {"help frobnicate", "frobnicate: " + unknown},
      bad("synth s.bin --header 40", "28, 36 or 44"),
      {"synth s.bin --turns", "--turns without its value: sk720 synth --help shows what it takes"},
      bad("synth s.bin --seed -1", "a whole number, 0 or more"),
      {"render a.bin -o a.png --bogus",
       "unknown option --bogus: sk720 render --help lists the options"},
      bad("render a.bin -o a.png --gain-index 9", "an integer from 0 to 8"),
      bad("render a.bin -o a.png --gain-index 3x", "an integer from 0 to 8"),
      bad("export a.bin --map m --heading 10x", "degrees from -360 to 360"),
      bad("export a.bin --map m --heading 0 --gain-index 9", "an integer from 0 to 8"),
      {"info", "no record file given: usage: sk720 info FILE..."},
      {"capture --duration 5", "no head port given: add --port DEV"},
      bad("capture --port x --baud 9600", "115200, 230400, 460800, 921600 or 1000000"),
      {"nmea", "no log given: usage: sk720 nmea FILE|- [--summary]"},
      bad("render a.bin -o a.png --contrast 11", "1 to 10 or auto"),
      {"render a.bin", "no output given: add -o OUT.png"},
      {"render a.bin -o a.png --info",
       "--info, --compass, --ruler and --cursor without --overlays: they draw over the overlays; "
       "add --overlays"},
      bad("render a.bin -o a.png --overlays --ruler 1,2,3", "X1,Y1,X2,Y2 in pixels"),
      bad("synth s.bin --sector 8,0", "HEADING_INDEX,WIDTH_INDEX: 0 to 7, then 0 to 3"),
      bad("capture --port x --step-index 9", "an integer from 0 to 5"),
      bad("export a.bin --map m --position 90.01,0", "LAT,LON in degrees (-90..90,-180..180)"),
      bad("export a.bin --map m --position 0,-180.5", "LAT,LON in degrees (-90..90,-180..180)"),
      {"capture --port x --range-index 3 --gain-index 2 --step-index 0 --bogus",
       "unknown option --bogus: sk720 capture --help lists the options"},
#ifndef _WIN32
      bad("headsim --pty p --header 40", "28, 36 or 44"),
      {"headsim --seed 3", noLink},
      bad("gpssim --stdout --count 1 --talker GL", "GP or GN"),
      bad("gpssim --stdout --count 1 --start 90,0",
          "LAT,LON in degrees, -89.9 to 89.9 and -180 to 180"),
      {"headsim --pty p --port q", noLink},
      {"video scene.bin", "no output given: add -o OUT.mp4"},
      bad("video s.bin -o s.mp4 --range-index 15", "an integer from 0 to 14"),
      {"video @garbage.bin -o @o.mp4 --range-index 0",
       "cannot play @garbage.bin: it holds no valid record"},
      {"video @scene.bin @garbage.bin -o @o.mp4",
       "cannot play @garbage.bin: it holds no valid record"},
      {"video @missing.bin -o @o.mp4", "cannot open @missing.bin: No such file or directory"},
      bad("video s.bin -o s.mp4 --size 321x240", "WxH, even numbers from 64 to 4096"),
      bad("video s.bin -o s.mp4 --size 320", "WxH, even numbers from 64 to 4096"),
      bad("video s.bin -o s.mp4 --speed 3", "1, 2, 4, 8 or 16"),
      bad("video s.bin -o s.mp4 --fps 0", "an integer from 1 to 60"),
      bad("video s.bin -o s.mp4 --from 1x", "seconds of played time, 0 or more"),
      {"video s.bin -o s.mp4 --from 2 --to 1", "bad --to: it must come after --from"},
      {"video s.bin -o s.mp4 --info", "--info and --compass draw over --overlays: add it"},
      {"video @scene.bin -o @no/o.mp4", "cannot write @no/o.mp4: No such file or directory"},
      {"video @scene.bin -o @folder", "cannot write @folder: it is a folder"},
      {"video @scene.bin -o @o.mp4 --from 60",
       "bad --from: 60.00 s lies past the end of the recordings, which play 40.00 s at x4"},
      // A full medium: one line with the reason, nothing from the PNG library; a picture small
      // enough to wait in the buffer fails only when the file is closed.
      {"render @scene.bin -o /dev/full --size 400",
       "cannot write /dev/full: No space left on device"},
      {"render @scene.bin -o /dev/full --size 16",
       "cannot finish /dev/full: No space left on device"},
#else
      {"video scene.bin -o scene.mp4",
       "not in this build: videos are made by the native build of sk720"},
#endif
      {"nmea @folder", "@folder: it is a folder, not a file"},
      {"nmea @garbage.log", "@garbage.log: no NMEA sentence found"},
      {"nmea @bad-sums.log",
       "@bad-sums.log: no sentence could be used: 1 with a wrong checksum, 0 of other types, 0 "
       "with unreadable fields"},
      {"render @garbage.bin -o @no/out.png", "@no/out.png: No such file or directory"},
      {"render @garbage.bin -o @out.png", "@garbage.bin: no ping record found"},
      // The poles and the date line are positions: the options pass and the input is read.
      {"export @garbage.bin --map @m --heading 0 --position 90,-180",
       "no valid record in the input"},
      {"export @garbage.bin --map @m --heading 0 --position -90,180",
       "no valid record in the input"},
      {"render @garbage.bin @garbage.bin -o @out.png", "the 2 files given: no ping record found"},
      {"synth @folder.png", "@folder.png: it is a folder, not a file"},
      {"capture --port p --out @file", "@file: it is a file, not a folder"}};
  // Points outside the picture, before any file is read.
  for (const char* point : {"--cursor 320,10", "--cursor 10,200", "--cursor -1,5",
                            "--ruler 0,0,319,200", "--ruler 320,0,10,10", "--ruler 5,-1,10,10"})
    cases.push_back(bad(std::string("render a.bin -o a.png --size 320x200 --overlays ") + point,
                        "points inside the 320x200 picture: X 0 to 319, Y 0 to 199"));
  std::vector<std::pair<std::string, std::string>> inputs = {
      {"@folder", "it is a folder, not a file"}, {"@missing.bin", "No such file or directory"}};
#ifndef _WIN32
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  ASSERT_EQ(runSynth({path("scene.bin"), "--range-index", "0"}), 0);
  inputs.push_back({"@pipe", "it is a pipe, not a record file"});
  inputs.push_back({"/dev/zero", "it is a device, not a record file"});
#endif
  ASSERT_EQ(runSynth({path("one.bin"), "--turns", "1"}), 0);
  const uintmax_t turn = fs::file_size(path("one.bin"));
  char huge[160];
  std::snprintf(huge, sizeof huge,
                "--turns 1000 would write %.1f GB: a file may take at most 2 GB: %ju turns at this "
                "range and step",
                double(turn) * 1000 / 1e9, uintmax_t(2'000'000'000 / turn));
  cases.push_back({"synth @huge.bin --turns 1000", huge});
  for (const auto& [input, reason] : inputs) {
    const std::string error = std::string(input).append(": ").append(reason);
    cases.push_back({"info " + input, error});
    cases.push_back({"render " + input + " -o @out.png", error});
    if (input != "@missing.bin")
      cases.push_back({"export " + input + " --table @t.csv", "cannot read " + error});
  }
  // '@' stands for the scratch folder.
  const auto here = [&](std::string s) {
    for (size_t at; (at = s.find('@')) != std::string::npos;) s.replace(at, 1, path(""));
    return s;
  };
  const auto entries = [&] { return std::distance(fs::recursive_directory_iterator(dir), {}); };
  const auto before = entries();
  for (const auto& [line, error] : cases) {
    const Args args = words(here(line));
    const Outcome o = runLine(args);
    EXPECT_EQ(o.code, 2) << line;
    const bool named = !args.empty() && args[0] != "help";
    EXPECT_EQ(o.err, "sk720: " + (named ? args[0] + ": " : "") + here(error) + "\n");
    EXPECT_TRUE(o.out.empty()) << o.out;
    EXPECT_EQ(entries(), before) << line;  // nothing made
  }
}

}  // namespace
}  // namespace sk720::cli
