// Scratch directories for tests that read and write files. Each test gets a directory of its own
// under the system's temporary directory, named after the test and a random number so that tests
// run in parallel (ctest -j, or another build's binaries) never share one, and removed with all
// it holds when the test ends, passed or failed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace velk::test {

class TempDir {
 public:
  explicit TempDir(std::string_view prefix) {
    std::random_device random;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info != nullptr ? info->name() : "outside_a_test";
    // A parameterised test's name holds a '/'.
    std::replace(test.begin(), test.end(), '/', '_');
    path_ = std::filesystem::temp_directory_path() /
            (std::string(prefix) + "_" + test + "_" + std::to_string(random()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;  // a failed clean-up must not end the test run
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  operator const std::filesystem::path&() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::string string() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// A TempDir that is also the working directory for the life of the object; the previous working
// directory comes back before the directory is removed.
class TempWorkingDir {
 public:
  explicit TempWorkingDir(std::string_view prefix)
      : previous_(std::filesystem::current_path()), dir_(prefix) {
    std::filesystem::current_path(dir_.path());
  }
  ~TempWorkingDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  TempWorkingDir(const TempWorkingDir&) = delete;
  TempWorkingDir& operator=(const TempWorkingDir&) = delete;

  const std::filesystem::path& path() const { return dir_.path(); }
  operator const std::filesystem::path&() const { return dir_.path(); }

 private:
  std::filesystem::path previous_;
  TempDir dir_;
};

// A test fixture whose tests each run in a TempWorkingDir of their own, for code that reads and
// writes fixed file names (Astate.dat, vel_tran.out) in the working directory.
class ScratchDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = std::make_unique<TempWorkingDir>("velk"); }
  void TearDown() override { dir_.reset(); }

 private:
  std::unique_ptr<TempWorkingDir> dir_;
};

inline void write_file(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

inline std::vector<std::string> lines_of(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace velk::test
