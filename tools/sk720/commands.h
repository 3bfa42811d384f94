#pragma once
// The sk720 sub-commands. Each returns the process exit code: 0 success, 2 bad options or input.
#include <cstdio>
#include <string>
#include <vector>

namespace sk720::cli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;  // one line for the command's --help
  const char* usage;
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
int runExport(const Args& args);

// The whole command line after the program name: a command and its arguments,
// "COMMAND --help" (its usage on `out`, exit 0), "--help" or "--version".
int runCommandLine(const Args& args, std::FILE* out);

// One clear line on stderr, then exit code 2.
int fail(const std::string& message);

}  // namespace sk720::cli
