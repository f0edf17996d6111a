// What a finished level is (found, quasi-bound, a state of the box the grid ends make), its listed
// energy, and the warnings the run gives on it and on the curve of its J (a missing level's warning
// is returned as text: the driver gathers those of levels beyond the last, level_digest.h).
//
// Warnings go to standard error through the io warning sink, never to the console or a level file;
// `state` names the state in them, as "state A (na2x.pot)". Arrays are 1-based grid arrays in the
// orientation of the run. Energies in cm-1, radii in Å, masses in u.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
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

// The warning on a listed level whose wave function (`ends` of its last solve) has not died out at
// a grid end.
void warn_about_ends(const LevelCheckSetting& setting, int32_t v, int32_t J,
                     const LevelVerdict& verdict, const GridEnds& ends);

// A listed level that is not a level of its J: its warning text without the prefix, and the count
// of levels below the top of the window that the text gives.
struct MissingLevel {
  int32_t count = 0;
  // v lies beyond the count: the level does not exist (otherwise the search missed one that does).
  bool beyond_last = false;
  std::string text;
};

// What the listed level v of J is missing as, or nothing when it was found, or converged within
// the count. The count closes the well at its barrier top, which leaves out a level just beneath
// the top whose wave function reaches into the barrier; `levels_found` (one more than the highest
// v of the J found below the top, 0 when none) raises it to what the searches found.
std::optional<MissingLevel> missing_level(const LevelCheckSetting& setting, int32_t v, int32_t J,
                                          const SolverResults& results, const LevelVerdict& verdict,
                                          const LevelWindow& window, std::span<const double> Ueff,
                                          int32_t levels_found);

// A well shallower than the zero-point energy of its harmonic approximation: the sign of a curve
// given in other units than Å and cm-1.
void warn_about_well_depth(const LevelCheckSetting& setting, const LevelWindow& window,
                           std::span<const double> Ueff);

// Context for "Umin >  Umax", which names nothing: the state, the grid, J and what to look at.
void warn_no_well(std::string_view state, const RadialGrid& grid, int64_t J);

}  // namespace velk
