// What a numerical routine does when it fails: no convergence, a singular matrix, an argument
// out of range.
//
// The routines of numlib never print, read or exit. They hand a one-line message to the failure
// handler they were given and, when the handler returns, go on with the values at hand. The layer
// that owns the console decides what the user sees: the program's run layer pauses (the message,
// then one line read from standard input); tests, fuzzers and velk-plot pass a handler that
// records the message or throws.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velk {

using NumericalFailureHandler = std::function<void(std::string_view message)>;

// Thrown by throw_on_numerical_failure.
class NumericalFailure : public std::runtime_error {
 public:
  explicit NumericalFailure(const std::string& message) : std::runtime_error(message) {}
};

// A handler for callers that cannot go on after a failure.
inline void throw_on_numerical_failure(std::string_view message) {
  throw NumericalFailure(std::string(message));
}

}  // namespace velk
