#pragma once
// The sk720 sub-commands. Each returns the process exit code: 0 done, 2 bad usage or input
// (capture adds 3 to 6 for what the head did).
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace sk720::cli {

using Args = std::vector<std::string>;

// One line of a command's option list: the option as typed and what it does, with its unit and
// its default.
struct OptionHelp {
  const char* option;   // "--turns N"
  const char* meaning;  // wrapped to the terminal width by the help printer
};

struct Command {
  const char* name;
  const char* summary;  // one line, shown by `sk720 --help` and above the usage
  const char* usage;    // after "usage: sk720 "
  std::span<const OptionHelp> options;
  int (*run)(const Args& args);
};

// Every sub-command, defined in its own file.
int runSynth(const Args& args);
int runInfo(const Args& args);
int runRender(const Args& args);
int runHeadsim(const Args& args);  // native only
int runNmea(const Args& args);
int runGpssim(const Args& args);  // native only
int runCapture(const Args& args);
int runVideo(const Args& args);  // answers with one line in a build without video libraries
int runExport(const Args& args);

// The command table, in the order `sk720 --help` lists it.
std::span<const Command> commandTable();

// The whole command line after the program name: a command and its arguments, "COMMAND --help"
// or "help COMMAND" (its help on `out`, exit 0), "--help" or "--version".
int runCommandLine(const Args& args, std::FILE* out);

// The one error form of every command: "sk720: COMMAND: WHAT: REASON" on stderr, then exit code
// 2. `what` names the file or value; `reason` says why or what is allowed (empty when `what`
// already carries it, as the messages of the shared reading and writing code do).
int fail(const std::string& command, const std::string& what, const std::string& reason);
// The same line for failures that end with another exit code (capture's 3 to 6).
void reportError(const std::string& command, const std::string& what, const std::string& reason);

}  // namespace sk720::cli
