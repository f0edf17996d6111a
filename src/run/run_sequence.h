// One run of the program in the working directory: banner, control file, then the switched-on jobs
// in their fixed order (level table, one-level, known-level and energy-window transitions).
#pragma once

namespace velk {

// Returns the exit status: 0 for a normal run, 1 for one of the program's own stops, 2 for an
// input that is missing, short or malformed.
int run_velk();

}  // namespace velk
