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

// The status a program that ran normally ends with when its standard output was closed before
// all its lines were written (a reader such as `head` went away): the files are complete, the
// console is not.
inline constexpr int kConsoleClosedStatus = 4;

// The exit status of a program whose work ended with `status`: standard output is flushed, and
// when a write to it failed on the way (every later line was then dropped, as a stream in error
// writes nothing), a status 0 becomes kConsoleClosedStatus. Other statuses stay: they say more.
int status_after_console(int status);

}  // namespace velk
