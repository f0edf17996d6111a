// What the table of a state's levels gives for one found level: the turning points of its
// effective potential at its eigenvalue, the expectation values of its wave function and, for a
// level that dies out at both grid ends, its distortion constants Dv and Hv.
//
// velk-props' table and the Python module's velk.properties both take their numbers from here,
// so that the two agree to the last bit. Radii in Å, energies in cm-1, masses in u; the level's
// arrays are forward grid arrays of `grid` (slot 0 unused).
#pragma once

#include <optional>

#include "pec/radial_grid.h"
#include "props/level_properties.h"
#include "props/rotational_perturbation.h"
#include "props/state_wave_functions.h"

namespace velk::props {

struct LevelFigures {
  TurningPointPair turning;
  Expectations expectations;
  std::optional<DistortionConstants> distortion;  // none for a quasi-bound level
};

// `level` must be found; `perturbation` is the caller's, its working arrays allocated once.
LevelFigures level_figures(const SolvedLevel& level, const RadialGrid& grid, double mu,
                           RotationalPerturbation& perturbation);

}  // namespace velk::props
