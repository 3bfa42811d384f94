#pragma once
// What the command tests share: a scratch folder per test (ScratchTest), and a command run
// in-process with its exit code and what it wrote to stdout and stderr.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "scratch_test.h"
#include "sk720/commands.h"
#include "stderr_capture.h"

namespace sk720::cli {

struct Outcome {
  int code = -1;
  std::string out, err;
};

inline Outcome runCaptured(const std::function<int()>& command) {
  Outcome o;
  o.out = sk720::testing::captureOutput(
      1, [&] { o.err = sk720::testing::captureOutput(2, [&] { o.code = command(); }); });
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
