// The Numerov recurrence on a grid that starts deep in the wall. Its coefficient
// T(i) = h²·μ·(2u/ħ²)·(V(i) − E)/12 must stay below 1: where it exceeds 1, 1 − T(i) changes sign,
// the solution changes sign with it, and the node count gains nodes the level does not have, so
// that a search converges on levels with wrong v, or loses one, without a message of its own.
// A grid that starts high on the inner wall (or whose step is too coarse for it) is warned about
// once per state, with where T is largest and what to change.
#pragma once

#include <set>
#include <span>
#include <string>
#include <vector>

#include "pec/radial_grid.h"
#include "solver/level_table_request.h"

namespace velk {

// The largest coefficient T on the grid at energy E and the point where it occurs, and the last
// point from the grid start on at which T exceeds 1 (0 when it nowhere does).
struct LargestCoefficient {
  double T = 0.0;
  int at = 0;
  int last_above_one = 0;
};
LargestCoefficient largest_coefficient(std::span<const double> U, const RadialGrid& grid, double mu,
                                       double E);

class WallStepCheck {
 public:
  WallStepCheck();

  // Judges the curve V (forward order) of a request with the centrifugal term of its first J, at
  // the bottom of that J's well: every trial energy of the exact search lies at or above it, so no
  // iteration meets a larger T. Warns once per state (named `state`, as the run's warnings do).
  void check(const LevelTableRequest& request, std::span<const double> V, double mu, int Lambda,
             const std::string& state);

 private:
  std::set<std::string> warned_;
  std::vector<double> U_;  // the effective potential judged, sized to the grid
};

}  // namespace velk
