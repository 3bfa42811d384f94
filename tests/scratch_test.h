#pragma once
// A fixture with a scratch folder of its own, made before the test and removed after it (after
// the deriving fixture's members, so files they hold open are closed by then).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace sk720::testing {

class ScratchTest : public ::testing::Test {
 protected:
  ScratchTest()
      : dir(std::filesystem::temp_directory_path() /
            (std::string("sk720-") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
             std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(dir);
  }
  ~ScratchTest() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    return write(name, std::string(bytes.begin(), bytes.end()));
  }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }

  const std::filesystem::path dir;
};

}  // namespace sk720::testing
