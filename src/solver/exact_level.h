// One level by the exact search: the first solve in the level's window and, when its correction
// is still larger than the tolerance, one retry from where it ended in a tenth of the window,
// announced on the console by the "Epr-" line and "perhaps better...". There is no second retry:
// the retry's results replace the first solve's.
//
// The solver's working arrays hold the wave function of the last solve afterwards (Ygrid, in the
// orientation of the run). Energies in cm-1, mu in u.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "pec/radial_grid.h"
#include "solver/iteration_cache.h"
#include "solver/radial_solver.h"
#include "solver/solver_results.h"

namespace velk {

struct ExactLevelOptions {
  // Iterations already done on this curve (the same J) are taken from here; null: none kept.
  IterationCache* cache = nullptr;
  // Return at once, without the retry, when a solve joined at the remembered joint: for a solve
  // whose remembered joint is not the run's (see "Attempts apart" in level_driver.h).
  bool stop_at_missed_joint = false;
  // The caller reads the wave function afterwards (SolveRequest::whole_wave_function).
  bool whole_wave_function = false;
};

struct ExactLevel {
  int32_t v = 0;
  double E = 0.0;                // the eigenvalue of the last solve
  double Ein = 0.0, delE = 0.0;  // start and half-width of the first solve
  SolverResults results;         // of the last solve
  std::optional<double> tunnel;  // of the last solve that had one
  bool joint_missed = false;     // some solve joined at the remembered joint
  bool never_joined = false;     // the last solve's passes never joined (LevelSolution)
  GridEnds ends;                 // of the last solve (LevelSolution)
  int32_t solves = 0;
  int64_t iterations = 0;  // kturn summed over the solves
};

ExactLevel solve_exact_level(RadialSolver& solver, std::span<const double> Ueff,
                             const RadialGrid& grid, double mu, const SolveRequest& first,
                             const ExactLevelOptions& options = {});

}  // namespace velk
