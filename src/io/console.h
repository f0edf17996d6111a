// The console: every progress line and stop message goes to standard output, unless the run was
// asked to be quiet.
#pragma once

#include <string_view>

namespace velk {

class FreeLine;

// Quiet: progress lines are dropped, and the messages that must reach the user (a stop, an input
// error, a pause's question) go to standard error, so that standard output stays empty. Set once,
// before the run starts; a run is not quiet unless asked.
void set_console_quiet(bool quiet);

// Writes `text` followed by a line end to standard output (nothing when quiet).
void console_line(std::string_view text);
// Writes the lines of a free-format write.
void console_line(const FreeLine& line);

// A message the user must see whatever the mode: on standard output like any console line, on
// standard error when quiet.
void console_message(std::string_view text);

}  // namespace velk
