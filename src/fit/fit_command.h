// velk-fit DATA.csv --free STATE:NAMES ... : fits curves and constants to observed lines in a
// working directory with a velk.inf. Exit status: 0 fitted and written, 1 no convergence within
// the iteration limit (or a stop of the program's builders), 2 bad arguments or input (nothing
// written), 3 internal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fit/fit_model.h"

namespace velk::fit {

int run_velk_fit(const std::vector<std::string>& arguments);

// --isotopologue NAME: the molecule's reduced mass (u) in place of the header's mass at the
// state's mass index of velk.inf, which the rows without a mass_index (and those naming that
// same index) use. A Dunham state carries no mass and is left as it is. An unknown name is an
// InputError naming it.
void use_isotopologue(FitState& state, std::string_view name);

}  // namespace velk::fit
