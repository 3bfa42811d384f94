// sk720's help, error form, version and progress line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "sk720/commands.h"
#include "sk720/help_text.h"
#include "sk720/progress.h"
#include "stderr_capture.h"

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

void expectWithinColumns(const std::string& text, const std::string& context) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LE(line.size(), kHelpWidth) << context << ": " << line;
  }
}

TEST(CommandLine, EveryCommandExplainsEachOptionOnItsOwnLine) {
  for (const Command& c : commandTable()) {
    int code = -1;
    const std::string text = runAndRead({c.name, "x.bin", "--help"}, code);
    EXPECT_EQ(code, 0) << c.name;
    EXPECT_EQ(runAndRead({c.name, "-h"}, code), text) << c.name;
    EXPECT_EQ(runAndRead({"help", c.name}, code), text) << c.name;
    EXPECT_EQ(code, 0);
    EXPECT_NE(text.find(std::string("\nusage: sk720 ") + c.name + " "), std::string::npos) << text;
    expectWithinColumns(text, c.name);
    EXPECT_FALSE(c.options.empty()) << c.name;
    for (const OptionHelp& o : c.options) {
      // A long option has its text on the next line.
      const std::string at = std::string("\n  ") + o.option;
      EXPECT_TRUE(text.find(at + " ") != std::string::npos ||
                  text.find(at + "\n") != std::string::npos)
          << c.name << " " << o.option;
    }
  }
}

TEST(CommandLine, ProgramHelpListsCommandsAndExitCodes) {
  int code = -1;
  for (const char* flag : {"--help", "-h", "help"}) {
    const std::string text = runAndRead({flag}, code);
    EXPECT_EQ(code, 0);
    expectWithinColumns(text, flag);
    for (const Command& c : commandTable()) {
      EXPECT_NE(text.find(std::string("\n  ") + c.name + " "), std::string::npos) << c.name;
      // The summary's first word follows the name on the same line.
      const std::string first = std::string(c.summary).substr(0, std::string(c.summary).find(' '));
      const size_t at = text.find(std::string("\n  ") + c.name + " ");
      EXPECT_EQ(text.find(first, at), text.find_first_not_of(' ', at + 3 + std::strlen(c.name)));
    }
    for (const char* exit : {"\n  0 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  6 "}) {
      EXPECT_NE(text.find(exit), std::string::npos) << exit;
    }
  }
  EXPECT_EQ(runAndRead({"--version"}, code).rfind("sk720 ", 0), 0u);
  EXPECT_EQ(code, 0);
}

TEST(HelpText, WrapsAtSpacesWithinTheWidth) {
  struct Case {
    const char* text;
    size_t first, indent, width;
    const char* wrapped;
  } cases[] = {
      {"one two three", 0, 2, 80, "one two three"},
      {"one two three", 0, 2, 7, "one two\n  three"},
      {"one two three", 4, 4, 11, "one two\n    three"},
      {"aaaaaaaaaa bb", 0, 1, 6, "aaaaaaaaaa\n bb"},  // a long word stands alone
      {"  spaced   out  ", 0, 0, 80, "spaced out"},
      {"exact fit", 0, 0, 9, "exact fit"},
      {"", 3, 3, 80, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wrapText(c.text, c.first, c.indent, c.width), c.wrapped) << c.text << "/" << c.width;
  }
}

// Every error is one line on stderr: "sk720: COMMAND: what went wrong: reason", exit 2.
TEST(CommandLine, ErrorsAreOneLineNamingCommandValueAndReason) {
  struct Case {
    Args args;
    const char* line;
  } cases[] = {
      {{}, "sk720: no command given: sk720 --help lists the commands"},
      {{"frobnicate"}, "sk720: frobnicate: unknown command: sk720 --help lists the commands"},
      {{"help", "frobnicate"},
       "sk720: frobnicate: unknown command: sk720 --help lists the commands"},
      {{"synth", "s.bin", "--header", "40"},
       "sk720: synth: bad --header '40': it takes 28, 36 or 44"},
      {{"synth", "s.bin", "--turns"},
       "sk720: synth: --turns without its value: sk720 synth --help shows what it takes"},
      {{"synth", "s.bin", "--seed", "-1"},
       "sk720: synth: bad --seed '-1': it takes a whole number, 0 or more"},
      {{"render", "a.bin", "-o", "a.png", "--bogus"},
       "sk720: render: unknown option --bogus: sk720 render --help lists the options"},
      {{"render", "a.bin", "-o", "a.png", "--gain-index", "9"},
       "sk720: render: bad --gain-index '9': it takes an integer from 0 to 8"},
      {{"info"}, "sk720: info: no record file given: usage: sk720 info FILE..."},
      {{"capture", "--duration", "5"}, "sk720: capture: no head port given: add --port DEV"},
      {{"capture", "--port", "x", "--baud", "9600"},
       "sk720: capture: bad --baud '9600': it takes 115200, 230400, 460800, 921600 or 1000000"},
      {{"nmea"}, "sk720: nmea: no log given: usage: sk720 nmea FILE|- [--summary]"},
  };
  for (const Case& c : cases) {
    int code = -1;
    std::string out;
    const std::string err = testing::captureStderr([&] { out = runAndRead(c.args, code); });
    EXPECT_EQ(code, 2) << c.line;
    EXPECT_EQ(err, std::string(c.line) + "\n");
    EXPECT_TRUE(out.empty()) << out;
  }
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
