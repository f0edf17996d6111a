#include "io/warning.h"

#include <iostream>
#include <mutex>

#include "io/output_recording.h"

namespace velk {
namespace {

// Each thread has its own captures: two threads of one process (the Python module's callers)
// each collect their own warnings.
thread_local WarningCapture* active_capture = nullptr;
constexpr std::size_t kMaxWarnings = 1000;
// The warnings given on standard error.
std::set<std::string>& given_on_stderr() {
  static std::set<std::string> given;
  return given;
}

std::string& program_prefix() {
  static std::string prefix(kWarningPrefix);
  return prefix;
}

}  // namespace

void set_warning_program(std::string_view program) {
  program_prefix() = std::string(program) + ": warning: ";
}

const std::string& warning_prefix() {
  return program_prefix();
}

void warn(std::string_view text) {
  if (OutputRecording* recording = OutputRecording::active()) {
    recording->append(OutputRecording::Kind::warning, std::string(text));
    return;
  }
  std::string line(warning_prefix());
  line += text;
  if (active_capture) {
    if (active_capture->given_.insert(line).second) active_capture->lines_.push_back(line);
    return;
  }
  // A run that meets the same fault at every level of a long table says so often enough long
  // before this; the lines it remembers stay bounded too.
  static std::mutex writing;
  const std::lock_guard<std::mutex> lock(writing);
  std::set<std::string>& given = given_on_stderr();
  if (given.size() > kMaxWarnings) return;
  if (given.size() == kMaxWarnings) {
    given.insert(std::string());
    std::cout.flush();
    std::cerr << warning_prefix() << "further warnings of this run are not shown\n";
    return;
  }
  if (!given.insert(line).second) return;
  // Standard output is flushed first so that a terminal shows the warning after the console
  // lines that led to it.
  std::cout.flush();
  std::cerr << line << '\n';
}

WarningCapture::WarningCapture() : outer_(active_capture) {
  active_capture = this;
}

WarningCapture::~WarningCapture() {
  active_capture = outer_;
}

}  // namespace velk
