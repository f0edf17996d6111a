// velk-fit DATA.csv --free STATE:NAMES ... : fits curves and constants to observed lines in a
// working directory with a velk.inf. Exit status: 0 fitted and written, 1 no convergence within
// the iteration limit (or a stop of the program's builders), 2 bad arguments or input (nothing
// written), 3 internal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fit/fit_run.h"

namespace velk::fit {

int run_velk_fit(const std::vector<std::string>& arguments);

}  // namespace velk::fit
