// Energy of one rovibrational level by Numerov shooting on the radial grid.
//
// The radial equation -ħ²/(2μ)·Y'' + V·Y = E·Y is integrated with the Numerov three-point
// recurrence from both ends of the grid: a pass from the top index down to the first maximum of
// the wave function met on the way (the joint), and a pass from index 1 up to the joint that
// counts the nodes. The two are scaled to 1 at the joint, and the energy is corrected from the
// residual of the recurrence there, bisecting the bracket whenever the node count or a large
// correction calls for it. A level above the asymptotic end of V that lies behind a barrier (three
// crossings of V with E, a quasi-bound level) starts its solution at the outer turning point from
// the Airy function Bi and receives a tunnelling figure.
//
// The grid comes in two orientations. On a forward grid, point 1 is the smallest radius: the pass
// from the top starts at the outer end (or at the outer turning point) and the joint is the
// outermost maximum. On a reversed grid (V mirrored, point 1 the largest radius) the pass from the
// top starts at the inner wall, the joint is the innermost maximum, and the pass from index 1
// starts at the outer end or the outer turning point. What else differs is listed, field by field,
// in SolverConfig; one body serves both, compiled once per orientation so that the sweeps carry no
// branch on it.
//
// Units: R0 and h in Å, V and energies in cm-1, mu in u. V is a 1-based grid array: slot i,
// 1 <= i <= N, belongs to point i; slot 0 is unused.
//
// Stops: "Umin >  Umax" (StopRun) when the potential has no well: highest barrier below lowest
// minimum, which includes a curve without interior minimum and a grid of fewer than three points.
// A grid larger than RadialGrid::kCapacity or than V throws std::invalid_argument.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "numlib/constants.h"
#include "numlib/failure_policy.h"
#include "pec/radial_grid.h"
#include "solver/energy_search.h"
#include "solver/grid_orientation.h"
#include "solver/iteration_cache.h"
#include "solver/lane_iterations.h"
#include "solver/level_checks.h"
#include "solver/numerov_sweeps.h"
#include "solver/solver_results.h"

namespace velk {

// What distinguishes the two orientations, beyond which end is the asymptotic one.
struct SolverConfig {
  // A first trial energy below Umin moves this share of the half-width above Umin.
  double below_minimum_share;
  // Dcor² below this is applied as a correction; above it the bracket is bisected.
  double small_correction;
  // Y(1), Y(2) of the pass from index 1 when it starts at the grid end.
  double bottom_start_first, bottom_start_second;
  // The Airy start of a quasi-bound level belongs to the pass from the top (forward) or to the
  // pass from index 1 (reversed); the sign of the Airy argument follows the direction in which
  // the grid index runs into the barrier.
  bool airy_start_on_top_pass;
  double airy_argument_sign;
  // kleft always describes the small-radius end: on a mirrored grid the counts are exchanged.
  bool exchange_flat_counts;
};

// 0.2 and 0.001 in single precision on a forward grid; the reversed grid uses no share and 0.001
// in double precision. These choices fix printed digits and stay as they are.
inline constexpr SolverConfig kForwardConfig{
    .below_minimum_share = constants::kBelowMinimumShareSingle,
    .small_correction = constants::kSmallCorrectionSingle,
    .bottom_start_first = 1e-66,
    .bottom_start_second = 1e-22,
    .airy_start_on_top_pass = true,
    .airy_argument_sign = -1.0,
    .exchange_flat_counts = false,
};
inline constexpr SolverConfig kReversedConfig{
    .below_minimum_share = 0.0,
    .small_correction = constants::kSmallCorrectionDouble,
    .bottom_start_first = 1e-99,
    .bottom_start_second = 1e-66,
    .airy_start_on_top_pass = false,
    .airy_argument_sign = 1.0,
    .exchange_flat_counts = true,
};

// One level to solve.
struct SolveRequest {
  int v = 0;         // wanted number of nodes (vibrational quantum number)
  double E = 0.0;    // first trial energy, cm-1
  double dE = 0.0;   // half-width of the first bracket, cm-1
  int maxit = 0;     // limit on the number of energy updates
  double tol = 0.0;  // the search stops when Dcor² <= tol²
  // The caller reads the wave function (Ygrid) afterwards: its last iteration leaves every value
  // of the pass from the top divided out, none left at 0 as negligible beside the joint, and a
  // level below the curve's end is left as that iteration joined it, not carried on past a third
  // crossing (a far well). The energy and the search are the same either way.
  bool whole_wave_function = false;
};

// What a solve returns. The caller judges convergence from |results.Dcor| > tol.
struct LevelSolution {
  double E = 0.0;                // the eigenvalue
  std::optional<double> tunnel;  // only when the final energy has a third turning point
  SolverResults results;
  // Some pass from the top met no maximum and joined at the index remembered from before: the
  // solve depended on what came before it.
  bool joint_missed = false;
  // The last iteration's pass from the bottom never reached the joint (it lay below the pass's
  // start): the two solutions were never joined, and the correction that ended the search says
  // nothing about a level of the grid.
  bool never_joined = false;
  // Which grid ends of the wave function have not died out. Below the asymptotic end of the
  // curve this is judged on the joined solution of the last iteration: a third crossing there
  // (the far well of a double well) carries the solution on as if the level were quasi-bound,
  // and that continuation grows through the forbidden region beyond it whatever the level does.
  GridEnds ends;
};

class RadialSolver {
 public:
  // The working arrays (Numerov coefficients and wave function) are sized to the grid of the first
  // solve, and grow only for a larger grid. Numerical failures of the Airy functions go to
  // `on_failure`.
  RadialSolver(GridOrientation orientation, NumericalFailureHandler on_failure);

  // Iterations of the same curve already done are taken from `cache` when one is given; the
  // caller clears it whenever V changes. The results are the same with or without it.
  LevelSolution solve(std::span<const double> V, const RadialGrid& grid, double mu,
                      const SolveRequest& request, IterationCache* cache = nullptr);

  // Fills `cache` with the iterations that the solves of `requests` on this curve will ask for,
  // following their searches together and computing the plain iterations four at a time in
  // `lanes`. Only the cache and the remembered joint change; a later solve of each request gives
  // what it gives without this, only sooner. Returns false when an iteration's pass from the top
  // met no maximum: those solves depend on the joint remembered from before.
  bool prefetch(std::span<const double> V, const RadialGrid& grid, double mu,
                std::span<const SolveRequest> requests, IterationCache& cache,
                LaneIterations& lanes);

  // The wave function of the last solve (slot i = grid point i).
  std::span<const double> Ygrid() const { return Ygrid_; }

  // What survives from one solve into the next: the joint of the last pass from the top that met
  // a maximum. A pass that meets none prints " rigth error" and joins at this index instead (0
  // for a fresh solver); when the pass from index 1 then never reaches it, it runs to the end of
  // the integrated range and the correction is formed at the nearest interior point.
  int32_t kmatch() const { return kmatch_; }
  // Takes over the joint that another solver, which solved the levels before the next, ended with.
  void set_kmatch(int32_t kmatch) { kmatch_ = kmatch; }

 private:
  void fit_grid(int32_t N);
  template <GridOrientation O>
  LevelSolution solve_oriented(std::span<const double> V, const RadialGrid& grid, double mu,
                               const SolveRequest& request, IterationCache* cache);
  // One energy iteration at E: both passes, the normalisation and the correction. Leaves the
  // coefficients and the scaled solution in the working arrays.
  struct Iteration {
    int32_t node = 0;
    int32_t joint = 0;  // 0 when the pass from the top met no maximum
    int top = 0;        // where the pass from the top started
    double Dcor = 0.0;
    bool joined = false;  // the pass from the bottom met the joint
    bool exact = true;    // no value of the pass from the top was set to 0 as negligible
  };
  // With `exact_tail` every value of the pass from the top is divided out, none set to 0 as
  // negligible: what a solve leaves behind is read by steps that scale it anew.
  template <GridOrientation O>
  Iteration iterate(std::span<const double> V, const RadialGrid& grid, double mu, double E,
                    bool exact_tail = false);
  template <GridOrientation O>
  bool prefetch_oriented(std::span<const double> V, const RadialGrid& grid, double mu,
                         std::span<const SolveRequest> requests, IterationCache& cache,
                         LaneIterations& lanes);

  // The searches followed together by prefetch, and the energies a round still needs.
  struct Search {
    double E = 0.0;
    numerov::Bracket bracket;
    int32_t kturn = 0;
    bool done = false;
  };
  std::vector<Search> searches_;
  std::vector<double> pending_;

  GridOrientation orientation_;
  NumericalFailureHandler on_failure_;
  std::vector<double> Tgrid_;
  std::vector<double> Ygrid_;
  std::vector<numerov::Rescale> rescales_;  // of the pass from the top, at most one per point
  int32_t kmatch_ = 0;
};

}  // namespace velk
