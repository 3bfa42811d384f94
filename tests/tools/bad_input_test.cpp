// What sk720 does with inputs and outputs it cannot use: one line naming the path and the
// reason, exit 2, and nothing else done.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "sk720/commands.h"
#include "stderr_capture.h"

namespace sk720::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code = -1;
  std::string out, err;
};

Outcome run(const std::function<int()>& command) {
  Outcome o;
  o.out = testing::captureOutput(
      1, [&] { o.err = testing::captureStderr([&] { o.code = command(); }); });
  return o;
}

// Runs the command as an unprivileged user where the test runs as root, since root reads any
// file whatever its permissions.
Outcome runUnprivileged(const std::function<int()>& command) {
#ifndef _WIN32
  if (geteuid() == 0) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
      close(pipeFds[0]);
      dup2(pipeFds[1], 2);
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
      const int code = command();
      std::fflush(stderr);
      _exit(code);
    }
    close(pipeFds[1]);
    Outcome o;
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) o.err.append(buf, size_t(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
  }
#endif
  return run(command);
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          (std::string("sk720-bad-input-") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
           std::to_string(std::random_device{}()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string path(const char* name) const { return (dir / name).string(); }
  fs::path dir;
};

TEST_F(BadInputTest, UnreadableRecordInputsAreNamedWithTheirReason) {
  struct Kind {
    const char* name;
    std::string input;
    const char* reason;
    bool unprivileged = false;
  };
  std::vector<Kind> kinds = {{"folder", path("folder"), "it is a folder, not a file"}};
  fs::create_directories(path("folder"));
  kinds.push_back({"missing", path("missing.bin"), "No such file or directory"});
#ifndef _WIN32
  ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
  kinds.push_back({"pipe", path("pipe"), "it is a pipe, not a record file"});
  kinds.push_back({"device", "/dev/zero", "it is a device, not a record file"});
  ASSERT_EQ(runSynth({path("locked.bin")}), 0);
  fs::permissions(path("locked.bin"), fs::perms::none);
  kinds.push_back({"no permission", path("locked.bin"), "Permission denied", true});
#endif
  for (const Kind& k : kinds) {
    for (const char* command : {"info", "render"}) {
      const Args args =
          std::string(command) == "info" ? Args{k.input} : Args{k.input, "-o", path("out.png")};
      auto call = [&] { return std::string(command) == "info" ? runInfo(args) : runRender(args); };
      const Outcome o = k.unprivileged ? runUnprivileged(call) : run(call);
      EXPECT_EQ(o.code, 2) << k.name << " " << command;
      EXPECT_EQ(o.err, "sk720: " + std::string(command) + ": " + k.input + ": " + k.reason + "\n")
          << k.name;
      EXPECT_TRUE(o.out.empty()) << o.out;
      EXPECT_FALSE(fs::exists(path("out.png")));
    }
  }
}

TEST_F(BadInputTest, NmeaNamesWhatItCannotUse) {
  std::ofstream(path("empty.log")).close();
  std::ofstream(path("garbage.log"), std::ios::binary) << "no sentences here, only words\r\n";
  std::ofstream(path("bad-sums.log"), std::ios::binary) << "$GPGGA,1*00\r\n";
  fs::create_directories(path("folder"));
  const struct {
    std::string input;
    std::string reason;
  } cases[] = {
      {path("folder"), "it is a folder, not a file"},
      {path("empty.log"), "no NMEA sentence found"},
      {path("garbage.log"), "no NMEA sentence found"},
      {path("bad-sums.log"),
       "no sentence could be used: 1 with a wrong checksum, 0 of other types, 0 with unreadable "
       "fields"},
  };
  for (const auto& c : cases) {
    const Outcome o = run([&] { return runNmea({c.input}); });
    EXPECT_EQ(o.code, 2) << c.input;
    EXPECT_EQ(o.err, "sk720: nmea: " + c.input + ": " + c.reason + "\n");
  }
}

TEST_F(BadInputTest, OutputsAreCheckedBeforeTheWork) {
  // The input has no record: a check made after reading would report that instead.
  std::ofstream(path("garbage.bin")) << "nothing that is a record";
  const std::string noFolder = path("no-such-folder/out.png");
  Outcome o = run([&] { return runRender({path("garbage.bin"), "-o", noFolder}); });
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err, "sk720: render: " + noFolder + ": No such file or directory\n");

  fs::create_directories(path("folder.png"));
  o = run([&] { return runSynth({path("folder.png")}); });
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err, "sk720: synth: " + path("folder.png") + ": it is a folder, not a file\n");

#ifndef _WIN32
  // A full medium: one line with the reason, nothing from the PNG library.
  ASSERT_EQ(runSynth({path("scene.bin"), "--range-index", "0"}), 0);
  o = run([&] { return runRender({path("scene.bin"), "-o", "/dev/full", "--size", "400"}); });
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  EXPECT_EQ(o.err.rfind("sk720: render: ", 0), 0u) << o.err;
  EXPECT_NE(o.err.find("/dev/full: No space left on device"), std::string::npos) << o.err;
#endif
}

TEST_F(BadInputTest, CaptureMakesItsFolderBeforeTouchingThePort) {
  std::ofstream(path("file")) << "x";
  const std::string port = path("no-port");
  // A folder that cannot be made: exit 2 naming it, where a port failure would give 3.
  Outcome o = run([&] { return runCapture({"--port", port, "--out", path("file/sub")}); });
  EXPECT_EQ(o.code, 2);
  EXPECT_EQ(o.err.rfind("sk720: capture: " + path("file/sub") + ": ", 0), 0u) << o.err;
  EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
  o = run([&] { return runCapture({"--port", port, "--out", path("file")}); });
  EXPECT_EQ(o.err, "sk720: capture: " + path("file") + ": it is a file, not a folder\n");

  // A missing folder is made, as the program makes its working folder, before the port fails.
  o = run([&] { return runCapture({"--port", port, "--out", path("new/dive")}); });
  EXPECT_EQ(o.code, 3) << o.err;
  EXPECT_TRUE(fs::is_directory(path("new/dive")));
  EXPECT_TRUE(fs::is_empty(path("new/dive")));
}

TEST_F(BadInputTest, SynthRefusesAbsurdSizes) {
  ASSERT_EQ(run([&] { return runSynth({path("one.bin"), "--turns", "1"}); }).code, 0);
  const uintmax_t turn = fs::file_size(path("one.bin"));
  const Outcome o = run([&] { return runSynth({path("huge.bin"), "--turns", "1000"}); });
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
