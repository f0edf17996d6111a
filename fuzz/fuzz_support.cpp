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

bool is_bundle_name(std::string_view name) {
  if (name.empty() || name.size() > 12 || name == "." || name == ".." || name == "velk.inf") {
    return false;
  }
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

Bundle split_bundle(std::string_view bytes) {
  Bundle bundle;
  std::string* current = &bundle.control;
  std::string dropped;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t newline = bytes.find('\n', pos);
    const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline + 1;
    const std::string_view line = bytes.substr(pos, end - pos);
    if (line.substr(0, kFileMarker.size()) == kFileMarker) {
      std::string_view name = line.substr(kFileMarker.size());
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.remove_suffix(1);
      if (is_bundle_name(name)) {
        bundle.files.push_back({std::string(name), {}});
        current = &bundle.files.back().content;
      } else {
        dropped.clear();
        current = &dropped;
      }
    } else {
      current->append(line);
    }
    pos = end;
  }
  return bundle;
}

void clear_work_directory() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(work_directory, ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

}  // namespace velk::fuzz
