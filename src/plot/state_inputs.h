// The two state descriptions of a run, read from velk.inf for the pictures of velk-plot.
//
// Only records 1 to 10 are read: the data file name, kind and mass index of state A and state B
// and their grids (Rmin, Rmax in Å, N points). The switches and everything after them do not
// matter to a picture, so a file that the program itself would stop on (the LIF flag, a block
// that is still being written) still gives its states. Nothing is printed.
#pragma once

#include <string>

#include "run/control_file.h"

namespace velk::plot {

struct StateInputs {
  StateInput A;
  StateInput B;
};

// Reads the records in the program's own way (text reads of widths 12 and 1, free-format reads
// for numbers). A missing file or a malformed record throws InputError naming file and line.
StateInputs read_state_inputs(const std::string& path = "velk.inf");

}  // namespace velk::plot
