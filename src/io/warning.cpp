#include "io/warning.h"

#include <iostream>

namespace velk {
namespace {

WarningCapture* active_capture = nullptr;
// The warnings given on standard error.
std::set<std::string>& given_on_stderr() {
  static std::set<std::string> given;
  return given;
}

}  // namespace

void warn(std::string_view text) {
  std::string line(kWarningPrefix);
  line += text;
  if (active_capture) {
    if (active_capture->given_.insert(line).second) active_capture->lines_.push_back(line);
    return;
  }
  if (!given_on_stderr().insert(line).second) return;
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
