#pragma once
// Runs a piece of code with the process's stdout or stderr sent to a temporary file, and returns
// what it wrote there: the commands' error lines are part of what they promise.
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

// fd: 1 for stdout, 2 for stderr.
inline std::string captureOutput(int fd, const std::function<void()>& run) {
  std::FILE* stream = fd == 1 ? stdout : stderr;
  std::FILE* sink = std::tmpfile();
  if (!sink) return "(no temporary file for the output)";
  std::fflush(stream);
  const int saved = SK720_DUP(fd);
  SK720_DUP2(fileno(sink), fd);
  run();
  std::fflush(stream);
  SK720_DUP2(saved, fd);
  SK720_CLOSE(saved);
  std::rewind(sink);
  std::string text;
  char buf[512];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, sink)) > 0;) text.append(buf, n);
  std::fclose(sink);
  return text;
}

}  // namespace sk720::testing
