// The level-calculation driver: term energies of one electronic state from its potential file.
//
// compute_levels reads the potential file's header, computes the energy offset toadd from the two
// lowest vibrational levels at J = 0, tabulates the curve on the radial grid and then, for each J
// (outer), v and parity index Par (inner), solves the radial equation and writes one line per level
// to the level file. Radii in Å, energies in cm-1, masses in u.
//
// One driver lives for the run: it owns the grid arrays (potential and effective potential, twice:
// once for the driver, once for toadd), the potential builders and both solvers, all allocated
// once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "numlib/failure_policy.h"
#include "pec/potential_builder.h"
#include "solver/forward_solver.h"
#include "solver/reversed_solver.h"
#include "solver/solver_results.h"

namespace velk {

// Work done by the solvers since the driver was made: for timing the solver per grid point.
struct SolveStatistics {
  int64_t solves = 0;
  int64_t iterations = 0;        // energy iterations (kturn) summed over the solves
  int64_t point_iterations = 0;  // grid points integrated per iteration, summed
};

class LevelDriver {
 public:
  // revflag: 'n' solves on a forward grid, 'y' on a reversed one; other values are refused when a
  // potential state is first used. on_failure receives the numerical failures of the curve's
  // extension fit and of the solvers' Airy functions.
  LevelDriver(char revflag, NumericalFailureHandler on_failure);

  void compute_levels(const std::string& potential_file, double Rmin, double Rmax, int32_t N,
                      double tol, int32_t maxit, int32_t vmin, int32_t vmax, int32_t Jmin,
                      int32_t Jmax, int32_t pmin, int32_t pmax, const std::string& levelfile,
                      int32_t mass_index);

  double compute_toadd(const std::string& potential_file, double Rmin, double Rmax, int32_t N);

  const SolverResults& results() const { return results_; }
  const SolveStatistics& statistics() const { return statistics_; }

 private:
  char revflag_;
  NumericalFailureHandler on_failure_;
  PotentialBuilder builder_;
  ForwardSolver forward_;
  ReversedSolver reversed_;
  SolverResults results_;
  SolveStatistics statistics_;
  std::vector<double> Vgrid_, Ueff_, Vtoadd_, Ueff_toadd_;
};

}  // namespace velk
