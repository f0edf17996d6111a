// Redirects standard output into a string and gives standard input an empty stream, so that a
// pause shows up as text and continues at once (end of input).
#pragma once

#include <iostream>
#include <sstream>
#include <string>

namespace velk::test {

class ConsoleCapture {
 public:
  ConsoleCapture()
      : old_out_(std::cout.rdbuf(out_.rdbuf())), old_in_(std::cin.rdbuf(in_.rdbuf())) {}
  ~ConsoleCapture() {
    std::cout.rdbuf(old_out_);
    std::cin.rdbuf(old_in_);
    std::cin.clear();
  }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::istringstream in_;
  std::streambuf* old_out_;
  std::streambuf* old_in_;
};

}  // namespace velk::test
