// The levels of one state solved again from its potential file, as the level driver solved them.
//
// The curve is built by the program's own builders on the state's grid, the energy offset toadd
// is that of the level driver, and each level is searched with the same first trial energy,
// window, iteration limit, tolerance and retry, so that its energy is the one the level file
// lists (to its printed digits). The wave function and the effective potential are handed back
// in forward order (point 1 the smallest radius, slot 0 unused), the wave function normalised.
//
// Radii in Å, energies in cm-1, masses in u. A state given by Dunham coefficients has no curve:
// the constructor refuses it with an InputError, as it does a grid that cannot be served. The
// builders' own stops on a bad potential file are StopRun.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/state_records.h"
#include "pec/potential_builder.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"
#include "solver/grid_orientation.h"
#include "solver/radial_solver.h"
#include "solver/solver_results.h"

namespace velk::props {

struct SolveSettings {
  int32_t maxit = 0;
  double tol = 0.0;  // cm-1
  GridOrientation orientation = GridOrientation::forward;
};

struct SolvedLevel {
  int32_t v = 0, J = 0, p = 0;
  // Converged within the tolerance with v nodes, and not a state of the box the grid ends make.
  bool found = false;
  double E = 0.0;            // as the level file lists it: eigenvalue plus the Lambda-doubling term
  double E_curve = 0.0;      // the eigenvalue of the effective potential
  bool quasi_bound = false;  // above the limit of the effective potential, behind its barrier
  std::optional<double> tunnel;
  SolverResults results;
  // Valid until the next solve of the same StateLevels.
  std::span<const double> psi;   // normalised, h·Σψ² = 1, innermost lobe positive
  std::span<const double> Ueff;  // the level's effective potential
};

// The state's grid of velk.inf; a grid that cannot be served is an InputError naming the state.
RadialGrid state_grid(const StateInput& state, char letter);

class StateLevels {
 public:
  StateLevels(const StateInput& state, char letter, const SolveSettings& settings,
              const RadialGrid& grid);

  // The one place where a listed level is searched: the level driver's search today, the fast
  // search mode once it exists.
  SolvedLevel solve_listed_level(int32_t v, int32_t J, int32_t p);

  const RadialGrid& grid() const { return grid_; }
  double mu() const { return mu_; }
  int32_t Lambda() const { return header_.Lambda; }
  const std::string& potential_file() const { return potential_file_; }

 private:
  struct Window {
    double Umin = 0.0, Umax = 0.0, Ulim = 0.0;
    bool has_well = false;
  };
  void prepare_J(int32_t J);

  std::string potential_file_;
  SolveSettings settings_;
  RadialGrid grid_;
  PotentialHeader header_;
  double mu_ = 0.0;
  double Uinf_ = 0.0;
  double toadd_ = 0.0;
  RadialSolver solver_;
  std::vector<double> V_, Ueff_, Ueff_forward_, psi_;
  std::optional<int32_t> prepared_J_;
  Window window_;
};

}  // namespace velk::props
