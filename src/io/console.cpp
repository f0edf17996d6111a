#include "io/console.h"

#include <iostream>

#include "io/formatted_output.h"

namespace velk {

void console_line(std::string_view text) {
  std::cout << text << '\n';
}

void console_line(const FreeLine& line) {
  for (const auto& text : line.lines()) console_line(text);
}

}  // namespace velk
