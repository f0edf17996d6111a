#include "run/state_levels.h"

#include "run/dunham.h"
#if __has_include("pec/potential_builder.cpp")
#include "solver/level_driver.h"
#define VELK_HAS_LEVEL_DRIVER 1
#else
#include "io/errors.h"
namespace velk {
class LevelDriver {};
}  // namespace velk
#endif

namespace velk {

StateLevels::StateLevels(const RunControl& control) : control_(control) {}
StateLevels::~StateLevels() = default;

void StateLevels::compute_state_levels(const StateInput& state, const LevelRanges& r,
                                       const std::string& levelfile) {
  if (state.kind == 'd') {
    dunham_levels(state.file, r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile);
    return;
  }
#ifdef VELK_HAS_LEVEL_DRIVER
  if (!driver_) driver_ = std::make_unique<LevelDriver>(control_.revflag);
  driver_->compute_levels(state.file, state.Rmin, state.Rmax, state.N, control_.tol, control_.maxit,
                          r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile,
                          state.mass_index);
#else
  throw StopRun("velk: potential files are not supported yet");
#endif
}

}  // namespace velk
