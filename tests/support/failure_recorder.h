// A numerical failure handler for tests: it keeps every message it is given, in order, and
// returns, so the routine under test goes on with the values at hand as it does in a run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "numlib/failure_policy.h"

namespace velk::test {

class FailureRecorder {
 public:
  // The handler to pass; it refers to this recorder, which must outlive the calls.
  NumericalFailureHandler handler() {
    return [this](std::string_view message) { messages_.emplace_back(message); };
  }
  const std::vector<std::string>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

 private:
  std::vector<std::string> messages_;
};

}  // namespace velk::test
