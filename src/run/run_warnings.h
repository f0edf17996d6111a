// Warnings on the control file as read, before any job runs: a data file name cut to its 12
// characters, and a run with every job switch off, which computes nothing and leaves the output
// files of an earlier run in place as if they were its own.
#pragma once

#include <string>
#include <vector>

#include "run/control_file.h"

namespace velk {

// Every file name a run can write, in the working directory.
const std::vector<std::string>& run_output_files();

void warn_on_control_file(const RunControl& control);

}  // namespace velk
