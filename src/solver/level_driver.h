// The level-calculation driver: term energies of one electronic state from its potential file.
//
// compute_levels reads the potential file's header, computes the energy offset toadd from the two
// lowest vibrational levels at J = 0, tabulates the curve on the radial grid and then, for each J
// (outer), v and parity index Par (inner), solves the radial equation (once more with a tenth of
// the window when the correction is still too large), adds the Lambda-doubling term and hands the
// level to a sink: the level file, or a test's recorder. Radii in Å, energies in cm-1, masses in u.
//
// The console receives "OK", the "reading" line, the builders' lines, the E1 E2 " toadd " line,
// "OK" and an empty line, then per J the " J=" line with the effective potential's and the
// solver's lines. The two "OK" lines and the name "toadd" are the program's established progress
// report; they stay as they are.
//
// Stops: "number of points must be less than 500" for a header with more than 500 points, a
// reduced mass that is not positive, a Lambda whose square leaves 32 bits, the builders' own stops,
// and "Umin >  Umax" for a J whose effective potential has no well (the levels handed on before
// stay written).
//
// Warnings (standard error, through the io warning sink; the console and the level file stay as
// they are): a listed level that did not converge or lies beyond the last level of its J (with
// the count of levels), a wave function that has not died out at a grid end, a well of the first
// J shallower than its zero-point energy, and the state, grid and J of "Umin >  Umax".
//
// One driver lives for the run: it owns the grid arrays (potential and effective potential,
// twice: once for the levels, once for toadd), the potential builders and the solvers, all
// allocated once. toadd is always found on a forward grid, by the same solver that solves the
// levels of a forward run, so that the joint it remembers carries over as the run has it.
//
// In the fast mode the levels of a J are solved together by FastSearch, once the J's window is
// built; each level goes through the same Lambda term, listing rule, checks and sink. A level the
// fast search does not find is solved by the specified search exactly as in the default mode, so
// its row and its warning are the default mode's; toadd, which only that search uses, is formed
// (with its console lines) before the first such level, and never when there is none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "numlib/failure_policy.h"
#include "pec/potential_builder.h"
#include "solver/fast_search.h"
#include "solver/level_record.h"
#include "solver/level_request.h"
#include "solver/radial_solver.h"

namespace velk {

// specified: the search whose history the level files document; fast: FastSearch, the same
// energies within the tolerance, with the fast search's own history.
enum class SearchMode { specified, fast };

struct DriverOptions {
  GridOrientation orientation = GridOrientation::forward;
  // Where the numerical routines report a failure (the run pauses).
  NumericalFailureHandler on_failure = throw_on_numerical_failure;
  SearchMode mode = SearchMode::specified;
};

// Work done by the solvers since the driver was made: for timing the solver per grid point.
struct SolveStatistics {
  int64_t solves = 0;
  int64_t iterations = 0;        // energy iterations (kturn) summed over the solves
  int64_t point_iterations = 0;  // grid points integrated per iteration, summed
};

class LevelDriver {
 public:
  explicit LevelDriver(DriverOptions options);

  // Computes the levels of `request` and writes its level file.
  void compute_levels(const LevelRequest& request);
  // Computes the levels of `request` and hands them to `sink`.
  void compute_levels(const LevelRequest& request, LevelSink& sink);

  // (E2 - E1)/3 of the levels v = 1 and 2 at J = 0 with the first reduced mass, on a forward grid.
  double compute_toadd(const std::string& potential_file, const RadialGrid& grid);

  const SolveStatistics& statistics() const { return statistics_; }

 private:
  // The curve behind toadd (mass 1, J = 0, forward) in Vtoadd_ and Ueff_toadd_, and the first
  // window of its two solves; then the solves and the console line.
  struct ToaddCurve {
    double mu1 = 0.0, E0 = 0.0, dE = 0.0;
  };
  ToaddCurve toadd_curve(const std::string& potential_file, const RadialGrid& grid);
  double toadd_of(const ToaddCurve& curve, const RadialGrid& grid);

  // One level: the solve and its retry; the record's listing fields are left to the caller.
  struct Window {
    double Umin = 0.0, Umax = 0.0, Ulim = 0.0;
  };
  LevelRecord solve_level(const LevelRequest& request, double mu, const Window& window,
                          double toadd, int32_t v, std::optional<double>& tunnel);

  // Warnings on the curve of the first J (a well too shallow to hold a level) and on a listed
  // level (not converged, beyond the last level of its J, not died out at a grid end).
  void check_well_depth(const LevelRequest& request, double mu, const Window& window) const;
  // `ends` are those of the level's last solution.
  void check_level(const LevelRequest& request, const LevelRecord& level, double mu,
                   const Window& window, const GridEnds& ends) const;
  // A level the fast search found; the record's listing fields are left to the caller.
  LevelRecord fast_record(const FastLevel& fast, std::optional<double>& tunnel);

  DriverOptions options_;
  PotentialBuilder builder_;
  RadialSolver forward_;
  RadialSolver reversed_;
  std::optional<FastSearch> fast_;  // made for the fast mode only
  SolveStatistics statistics_;
  std::vector<double> Vgrid_, Ueff_, Vtoadd_, Ueff_toadd_;
};

}  // namespace velk
