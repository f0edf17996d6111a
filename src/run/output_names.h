// The files a run writes, and the refusal of a data file that one of them would replace.
//
// Every output lives in the working directory under a fixed name. A data file named in velk.inf
// under one of those names would be read and then overwritten by a level table, a transition list
// or the fit report, so the run refuses it before anything is opened for writing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "io/run_file_check.h"
#include "run/control_file.h"

namespace velk {

// The output names the switched-on jobs of `control` may write, each once, in the order of the
// jobs: the level table's Astate.dat or Bstate.dat; Astate.dat of the one-level and energy-window
// jobs; the state-B level files of each transition job's branch code and vel_tran.out (codes 1 to
// 3; the energy-window job writes vel_tran.out for any code); potext.out when a job uses a state
// given by a potential file (only a pointwise file with an extension writes it, but which one
// does is known only once the file is read).
std::vector<std::string> run_output_names(const RunControl& control);

// Throws InputError, naming the state, its line in velk.inf and the file, when the data file of
// state A or B is one of the run's outputs; checked for both states whether or not a job reads
// them, since an output replaces the file all the same.
void refuse_inputs_named_as_outputs(const RunControl& control);

}  // namespace velk
