// The console: every progress line, stop message and pause goes to standard output.
#pragma once

#include <string_view>

namespace velk {

class FreeLine;

// Writes `text` followed by a line end to standard output.
void console_line(std::string_view text);
// Writes the lines of a free-format write.
void console_line(const FreeLine& line);

// A numerical routine's pause: the message is written alone on its line, then one line is read
// from standard input. An empty line (or one holding only blanks, tabs or a carriage return)
// continues; any other line is handed to the shell and the pause repeats. End of input
// continues, so a run without a terminal never waits.
void pause(std::string_view message);

}  // namespace velk
