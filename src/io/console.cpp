#include "io/console.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace velk {

void console_line(std::string_view text) {
  std::cout << text << '\n';
}

void pause(std::string_view message) {
  for (;;) {
    console_line(message);
    std::cout.flush();
    std::string answer;
    if (!std::getline(std::cin, answer)) return;
    if (!answer.empty() && answer.back() == '\r') answer.pop_back();
    if (answer.empty()) return;
    // The operator asked for a command to be run before the pause is offered again.
    [[maybe_unused]] const int status = std::system(answer.c_str());
  }
}

}  // namespace velk
