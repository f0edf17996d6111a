// Exceptions that end a run. They are thrown by every layer and caught once, in main.
//
// InputError: a file that is missing, ends too early or holds a value of the wrong kind
//             (exit status 2). The message names the file, the line and what was expected.
// StopRun:    one of the program's own stops, such as "Umin >  Umax" (exit status 1). Its
//             message is printed alone on one line of standard output, exactly as given.
#pragma once

#include <stdexcept>
#include <string>

namespace velk {

class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

class StopRun : public std::runtime_error {
 public:
  explicit StopRun(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace velk
