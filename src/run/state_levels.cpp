#include "run/state_levels.h"

#include <string>
#include <utility>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "run/dunham.h"
#include "solver/level_driver.h"

namespace velk {

StateLevels::StateLevels(const RunControl& control, NumericalFailureHandler on_failure)
    : control_(control), on_failure_(std::move(on_failure)) {}
StateLevels::~StateLevels() = default;

void StateLevels::compute_state_levels(const StateInput& state, const LevelRanges& r,
                                       const std::string& levelfile) {
  // The readers would only say that a blank name cannot be opened; the state is named here.
  if (trimmed_file_name(state.file).empty()) {
    throw InputError(std::string("velk: velk.inf: the data file name of state ") +
                     (&state == &control_.A ? "A" : "B") + " is blank");
  }
  if (state.kind == 'd') {
    dunham_levels(state.file, r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile);
    return;
  }
  if (!driver_) driver_ = std::make_unique<LevelDriver>(control_.revflag, on_failure_);
  driver_->compute_levels(state.file, state.Rmin, state.Rmax, state.N, control_.tol, control_.maxit,
                          r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile,
                          state.mass_index);
}

}  // namespace velk
