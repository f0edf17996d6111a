// One run of the program in the working directory: banner, control file, then the switched-on jobs
// in their fixed order (level table, one-level, known-level and energy-window transitions).
#pragma once

#include "numlib/failure_policy.h"
#include "run/run_options.h"

namespace velk {

// Returns the exit status: 0 for a normal run, 1 for one of the program's own stops, 2 for an
// input that is missing, short or malformed. Numerical failures pause (run_failure_handler).
int run_velk(const RunOptions& options = {});
// The same run with numerical failures handed to on_failure instead of the pause.
int run_velk(const NumericalFailureHandler& on_failure, const RunOptions& options = {});

}  // namespace velk
