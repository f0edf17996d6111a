// The console: every progress line and stop message goes to standard output.
#pragma once

#include <string_view>

namespace velk {

class FreeLine;

// Writes `text` followed by a line end to standard output.
void console_line(std::string_view text);
// Writes the lines of a free-format write.
void console_line(const FreeLine& line);

}  // namespace velk
