#include "run/pause.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "io/console.h"

namespace velk {

void pause(std::string_view message) {
  for (;;) {
    console_message(message);
    std::cout.flush();
    std::string answer;
    if (!std::getline(std::cin, answer)) return;
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    // An answer of blanks is no command: a fixed-length text of blanks compares equal to an empty
    // one, and handing it to the shell would only offer the pause again.
    if (answer.find_first_not_of(" \t\r") == std::string::npos) return;
    // The operator asked for a command to be run before the pause is offered again. Its output
    // goes straight to the terminal, after the message flushed above.
    [[maybe_unused]] const int status = std::system(answer.c_str());
  }
}

NumericalFailureHandler run_failure_handler() {
  return pause;
}

}  // namespace velk
