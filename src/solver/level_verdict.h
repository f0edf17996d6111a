// What a finished level is (found, quasi-bound, a state of the box the grid ends make), its listed
// energy, and the warnings the run gives on it and on the curve of its J.
//
// Warnings go to standard error through the io warning sink, never to the console or a level file;
// `state` names the state in them, as "state A (na2x.pot)". Arrays are 1-based grid arrays in the
// orientation of the run. Energies in cm-1, radii in Å, masses in u.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "pec/radial_grid.h"
#include "solver/grid_orientation.h"
#include "solver/level_checks.h"
#include "solver/level_window.h"
#include "solver/solver_results.h"

namespace velk {

// The energy a level is listed with: with Lambda = 1, the eigenvalue plus q·J(J+1), q being q1 for
// Par = 1 and q2 for any other Par (single-precision values, widened).
double listed_energy(double E, int32_t Lambda, float q1, float q2, int64_t J, int64_t Par);

struct LevelVerdict {
  bool converged = false;    // |Dcor| <= tol
  bool quasi_bound = false;  // above Ulim
  // Above Ulim without a barrier: not a level of the molecule but of the box the grid ends make.
  bool in_box = false;
  bool found = false;  // converged with v nodes, and not in the box
};

// E is the listed energy; results are those of the level's last solve.
LevelVerdict judge_level(double E, int32_t v, const SolverResults& results,
                         const LevelWindow& window, double tol);

// Where the levels of a request are checked.
struct LevelCheckSetting {
  std::string_view state;
  const RadialGrid& grid;
  double mu = 0.0;
  GridOrientation orientation = GridOrientation::forward;
};

// A listed level that was not found, lies beyond the last level of its J (with the count of
// levels below the window's top) or whose wave function (`ends` of its last solve) has not died
// out at a grid end.
void warn_about_level(const LevelCheckSetting& setting, int32_t v, int32_t J,
                      const SolverResults& results, const LevelVerdict& verdict,
                      const LevelWindow& window, const GridEnds& ends,
                      std::span<const double> Ueff);

// A well shallower than the zero-point energy of its harmonic approximation: the sign of a curve
// given in other units than Å and cm-1.
void warn_about_well_depth(const LevelCheckSetting& setting, const LevelWindow& window,
                           std::span<const double> Ueff);

// Context for "Umin >  Umax", which names nothing: the state, the grid, J and what to look at.
void warn_no_well(std::string_view state, const RadialGrid& grid, int64_t J);

}  // namespace velk
