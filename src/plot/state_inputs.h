// The two state descriptions of a run, read from velk.inf for the pictures of velk-plot.
//
// Only records 1 to 10 are read, by the same reader velk starts its control file with: the data
// file name, kind and mass index of state A and state B and their grids (Rmin, Rmax in Å, N
// points). The switches and everything after them do not matter to a picture, so a file that the
// program itself would stop on (the LIF flag, a block that is still being written) still gives
// its states. Nothing is printed.
#pragma once

#include <string>

#include "io/state_records.h"

namespace velk::plot {

using StateInputs = StateRecords;

// A missing file or a malformed record throws InputError naming file and line.
inline StateInputs read_state_inputs(const std::string& path = "velk.inf") {
  return read_state_records(path);
}

}  // namespace velk::plot
