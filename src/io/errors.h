// Exceptions that end a run. They are thrown by every layer and caught once, in main.
//
// InputError: a file that is missing, ends too early or holds a value of the wrong kind
//             (exit status 2). The message names the file, the line and what was expected.
// StopRun:    one of the program's own stops, such as "Umin >  Umax" (exit status 1). Its
//             message is printed alone on one line of standard output, exactly as given.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velk {

class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& message) : std::runtime_error(message) {}
};

class StopRun : public std::runtime_error {
 public:
  explicit StopRun(const std::string& message) : std::runtime_error(message) {}
};

// A message of the shared layers, which speak as "velk: " (or as "velk-plot: ", whose readers
// the other companions use), in the name of the companion program whose prefix is `prefix`
// (such as "velk-props: "). A message already in that name stays as it is.
inline std::string in_own_name(std::string_view prefix, std::string_view message) {
  for (const std::string_view other :
       {std::string_view("velk-plot: "), std::string_view("velk: ")}) {
    if (message.starts_with(other)) {
      message.remove_prefix(other.size());
      break;
    }
  }
  if (message.starts_with(prefix)) message.remove_prefix(prefix.size());
  return std::string(prefix) + std::string(message);
}

}  // namespace velk
