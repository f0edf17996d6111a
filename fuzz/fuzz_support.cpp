#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>

namespace velk::fuzz {
namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c == traits_type::eof() ? traits_type::not_eof(c) : c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

NullBuffer null_buffer;
std::istringstream empty_input;
std::filesystem::path work_directory;
// Kept so that a debugger session on a finding can see the last failure reported.
std::string last_failure;
long failures_recorded = 0;

void remove_work_directory() {
  std::error_code ignored;
  std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
  std::filesystem::remove_all(work_directory, ignored);
}

}  // namespace

void set_up() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velk-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("velk fuzz: mkdtemp");
    std::abort();
  }
  work_directory = pattern;
  std::filesystem::current_path(work_directory);
  std::atexit(remove_work_directory);
  std::cout.rdbuf(&null_buffer);
  std::cin.rdbuf(empty_input.rdbuf());
}

void record_numerical_failure(std::string_view message) {
  last_failure.assign(message);
  ++failures_recorded;
}

void write_input(const std::string& name, const uint8_t* data, size_t size) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) {
    std::perror("velk fuzz: writing the input file");
    std::abort();
  }
}

}  // namespace velk::fuzz
