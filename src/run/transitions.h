// The three transition runs. Each requests level files of the two states, reads them back line by
// line, pairs levels by position and writes the wavenumbers |E' - E''| (cm-1) to vel_tran.out.
//
// Branch codes: 1 = Q (J' = J'', opposite parity |1 - p|), 2 = P and R (J' = J'' - 1 and J'' + 1,
// same parity), 3 = P, Q and R (with a J step dJ in the one-level and known-level runs). Any other
// code writes no transition line.
#pragma once

#include "run/control_file.h"
#include "run/state_level_files.h"

namespace velk {

void run_one_level_transitions(const RunControl& control, LevelFileSource& levels);
void run_known_level_transitions(const RunControl& control, LevelFileSource& levels);
void run_window_transitions(const RunControl& control, LevelFileSource& levels);

}  // namespace velk
