// The run's answer to a numerical failure: a pause on the console.
//
// The message is written alone on its line of standard output, then one line is read from
// standard input. An empty line (or one holding only blanks, tabs or a carriage return)
// continues; any other line is handed to the shell and the pause repeats. End of input continues,
// so a run without a terminal never waits.
#pragma once

#include <string_view>

#include "numlib/failure_policy.h"

namespace velk {

void pause(std::string_view message);

// The failure handler of a run of the program: the pause above. Tests, fuzzers and velk-plot
// hand the numerical routines their own handlers instead.
NumericalFailureHandler run_failure_handler();

}  // namespace velk
