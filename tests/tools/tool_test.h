#pragma once
// What the command tests share: a scratch folder per test, and a command run in-process with
// its exit code and what it wrote to stdout and stderr.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

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
      1, [&] { o.err = sk720::testing::captureStderr([&] { o.code = command(); }); });
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

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          (std::string("sk720-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }
  std::filesystem::path dir;
};

}  // namespace sk720::cli
