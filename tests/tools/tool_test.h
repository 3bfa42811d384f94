#pragma once
// What the command tests share: a scratch folder per test (ScratchTest), and a command run
// in-process with its exit code and what it wrote to stdout and stderr (sent to temporary files
// meanwhile: the commands' error lines are part of what they promise).
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "scratch_test.h"
#include "sk720/commands.h"

namespace sk720::cli {

struct Outcome {
  int code = -1;
  std::string out, err;
};

inline Outcome runCaptured(const std::function<int()>& command) {
  Outcome o;
  std::FILE* const streams[2] = {stdout, stderr};
  std::string* const texts[2] = {&o.out, &o.err};
  std::FILE* const sinks[2] = {std::tmpfile(), std::tmpfile()};
  if (!sinks[0] || !sinks[1]) return {-1, "", "(no temporary file for the output)"};
  int saved[2];
  for (int i = 0; i < 2; ++i) {
    std::fflush(streams[i]);
    saved[i] = dup(i + 1);  // descriptor 1 is stdout's, 2 stderr's
    dup2(fileno(sinks[i]), i + 1);
  }
  o.code = command();
  for (int i = 0; i < 2; ++i) {
    std::fflush(streams[i]);
    dup2(saved[i], i + 1);
    close(saved[i]);
    std::rewind(sinks[i]);
    char buf[512];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, sinks[i])) > 0;) texts[i]->append(buf, n);
    std::fclose(sinks[i]);
  }
  return o;
}

// A command line written as one string, its words split at spaces.
inline Args words(const std::string& line) {
  Args a;
  std::istringstream in(line);
  for (std::string w; in >> w;) a.push_back(w);
  return a;
}

// The whole command line, as main runs it; help goes to stdout.
inline Outcome runLine(const Args& args) {
  return runCaptured([&] { return runCommandLine(args, stdout); });
}

using ToolTest = sk720::testing::ScratchTest;

}  // namespace sk720::cli
