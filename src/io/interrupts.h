// What a program does when it is interrupted (SIGINT, SIGTERM): the temporary files of the
// outputs being written are removed, so that every output keeps what it held before the run or
// what this run completed, and the program ends with status 128 + the signal number (130, 143).
// velk and its companion programs share it: each writes outputs through OutputFile.
#pragma once

namespace velk {

// `program` (a string that lives as long as the program, such as a literal) names the program
// in the line the handler writes on standard error: "<program>: interrupted; outputs left as
// they were".
//
// SIGPIPE is ignored: a reader of standard output that goes away (`velk | head`) must not end
// the program while an output is half written. The write then fails, the stream drops the
// lines that follow, the files are finished, and status_after_console (io/console.h) tells it
// by the exit status.
void install_interrupt_handlers(const char* program);

}  // namespace velk
