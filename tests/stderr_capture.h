#pragma once
// Runs a piece of code with the process's stderr sent to a temporary file, and returns what it
// wrote there: the commands' error lines are part of what they promise.
#include <cstdio>
#include <functional>
#include <string>

#ifdef _WIN32
#include <io.h>
#define SK720_DUP _dup
#define SK720_DUP2 _dup2
#define SK720_CLOSE _close
#else
#include <unistd.h>
#define SK720_DUP dup
#define SK720_DUP2 dup2
#define SK720_CLOSE close
#endif

namespace sk720::testing {

inline std::string captureStderr(const std::function<void()>& run) {
  std::FILE* sink = std::tmpfile();
  if (!sink) return "(no temporary file for stderr)";
  std::fflush(stderr);
  const int saved = SK720_DUP(2);
  SK720_DUP2(fileno(sink), 2);
  run();
  std::fflush(stderr);
  SK720_DUP2(saved, 2);
  SK720_CLOSE(saved);
  std::rewind(sink);
  std::string text;
  char buf[512];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, sink)) > 0;) text.append(buf, n);
  std::fclose(sink);
  return text;
}

}  // namespace sk720::testing
