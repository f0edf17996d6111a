#include "run/state_levels.h"

#include "run/dunham.h"
#include "solver/level_driver.h"

namespace velk {

StateLevels::StateLevels(const RunControl& control) : control_(control) {}
StateLevels::~StateLevels() = default;

void StateLevels::compute_state_levels(const StateInput& state, const LevelRanges& r,
                                       const std::string& levelfile) {
  if (state.kind == 'd') {
    dunham_levels(state.file, r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile);
    return;
  }
  if (!driver_) driver_ = std::make_unique<LevelDriver>(control_.revflag);
  driver_->compute_levels(state.file, state.Rmin, state.Rmax, state.N, control_.tol, control_.maxit,
                          r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile,
                          state.mass_index);
}

}  // namespace velk
