// The fast search: the levels of one J, all v at once, on the same grid and effective potential
// as the exact search, converged to the same tolerance.
//
// What makes it fast, level by level:
//   - it integrates only where the wave function lives: each pass starts where the classically
//     forbidden region has damped the solution by e^-kTailDamping (a WKB estimate of the integral
//     of κ = sqrt(2μ(U - E))/ħ), or at the grid end when that comes first; points beyond count as
//     zero;
//   - the correction at the joint is the full Newton (Cooley) step, twice the exact search's
//     Dcor, which converges quadratically; the node count guards it and the bracket is bisected
//     only when the count is wrong or the step leaves the bracket;
//   - the first trial energy comes from the levels below it in the same J (extrapolated spacing),
//     else from the WKB quantisation condition. Nothing is taken from other J, and every J climbs
//     its v from the lowest: a level's search, and every figure of it, is the same whichever J
//     and v a run asks for, so that the J can be searched on separate threads.
// A quasi-bound level (above the outer end of U and behind a barrier) starts its inward pass at
// the third turning point from the Airy function Bi, as the exact search does, and receives
// the same tunnelling figure.
//
// A level the fast search does not find (v above the last level below the window top, a search
// that does not converge within maxit, a quasi-bound level whose tunnelling figure, its half-width
// in cm-1, exceeds the tolerance) is returned with found = false: the caller solves it with
// the exact search, so that its row and its warning are exactly those of the default mode.
//
// The nodes are counted on the range a level's passes cover. That count is the level's v only when
// no classically allowed point of the grid lies outside the range: a second well beyond a barrier
// too thick for the range to cross would hold nodes (and levels) it never sees, and its own levels
// would be numbered as if the well were not there. A level converged in such a case is returned
// with found = false and partial_view = true; `numbering_certain` tells a caller whether the
// levels of a J can be listed under their v at all.
//
// The effective potential arrives as the run's orientation has it; a reversed array is mirrored
// into the search's own copy, so that both orientations give the same energies, bit for bit. The
// one exception is a quasi-bound level: the exact search places the outer turning point
// differently on the two orientations, and the fast search closes the well where the exact
// search of the run does, so that the two modes agree. Units: R0 and h
// in Å, energies in cm-1, mu in u. Working arrays are sized to the grid when a request begins and
// grow only for a larger grid.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "numlib/failure_policy.h"
#include "pec/radial_grid.h"
#include "solver/grid_orientation.h"
#include "solver/landmarks.h"
#include "solver/level_checks.h"
#include "solver/level_table_request.h"
#include "solver/solver_results.h"

namespace velk {

// Damping, in e-folds, of the forbidden region that a pass skips: e^-36 ≈ 2e-16 of the amplitude
// at the turning point, so that the skipped density shifts an energy by far less than rounding.
inline constexpr double kTailDamping = 36.0;

// One J of one request.
struct FastJRequest {
  int32_t J = 0;
  QuantumRange v;
  double mu = 0.0;   // reduced mass, u
  double tol = 0.0;  // the search stops when the Newton step is at most tol
  int32_t maxit = 0;
  // The window of the J, as the driver forms it: lowest minimum, highest barrier, limit.
  double Umin = 0.0, Umax = 0.0, Ulim = 0.0;
};

// A level of the fast search. Ein is the first trial energy, delE half the width of the first
// bracket; results hold the search's own history (kturn iterations, the last Newton step as Dcor,
// the node count, the flat steps at the ends of the final solution).
struct FastLevel {
  int32_t v = 0;
  bool found = false;
  double E = 0.0, Ein = 0.0, delE = 0.0;
  SolverResults results;
  std::optional<double> tunnel;
  GridEnds ends;                  // which ends of the solution have not died out
  int64_t points_integrated = 0;  // grid points of all passes, for the solver statistics
  // Converged with v nodes on its range, while the grid has classically allowed points outside
  // the range: its node count on the whole grid is unknown, so it is not found.
  bool partial_view = false;
  // The forward points its wave function covers: zero outside, so that work on the wave function
  // may stay within them.
  int live_first = 0, live_last = 0;
  // The classically allowed points of a found level (forward indices), where the scans for the
  // turning points of the level above start.
  int turn_lo = 0, turn_hi = 0;
};

// Whether the found levels of one J (FastSearch::solve_J, in order of v) can be listed under their
// v: none converged with only part of the allowed region in view, and their energies rise strictly
// with v. When not, every level of the J belongs to the exact search.
bool numbering_certain(std::span<const FastLevel> levels);

class FastSearch {
 public:
  FastSearch(GridOrientation orientation, NumericalFailureHandler on_failure);

  // Sizes the work space to the grid and the v of a request: call before its first J.
  void begin(const RadialGrid& grid, const QuantumRange& v);

  // Handed each level found, as soon as it is found, with its wave function (forward order, zero
  // outside the points it integrated, not normalised); Y is overwritten by the next level.
  using FoundLevelSink = std::function<void(const FastLevel& level, std::span<const double> Y)>;

  // The levels v.first .. v.last of one J, in that order (those below v.first, down to v = 0, are
  // searched too, as the ladder every level is started from). Ueff is the effective potential of
  // the J in the run's orientation; the span stays valid until the next call. A caller that needs
  // the wave functions passes on_found: each is only whole until the next level is searched.
  std::span<const FastLevel> solve_J(std::span<const double> Ueff, const FastJRequest& request,
                                     const FoundLevelSink& on_found = {});

  // The wave function of the last level found (forward order, zero outside its range), until a
  // later level of the same J is searched.
  std::span<const double> Ygrid() const { return Y_; }

 private:
  // The points a pass covers, and the classically allowed points between them.
  struct Range {
    int lo = 0, hi = 0;
    int turn_lo = 0, turn_hi = 0;
  };

  // The Airy start of a quasi-bound level: the outer end of the inward pass (forward index) and
  // Y there and one point inside; at = 0 without a third turning point.
  struct OuterStart {
    int at = 0;
    double y_at = 0.0, y_inside = 0.0;
  };
  OuterStart outer_start(double E) const;
  std::optional<double> tunnel_at(double E) const;
  // The effective potential as the run's orientation has it.
  std::span<const double> run_curve() const {
    return {Urun_, static_cast<std::size_t>(grid_.N) + 1};
  }

  double trial_energy(int32_t v, std::size_t k) const;
  double wkb_energy(int32_t v, double Etop) const;
  std::optional<double> ladder_extrapolation(std::size_t k) const;
  double error_after_step(double step, double previous, double spacing) const;
  Range live_range(double E, int seed_lo, int seed_hi) const;
  // Where a pass may start beyond the turning point `turn`, toward the grid end `last`.
  int tail_end(double E, int turn, int step, int last) const;
  int32_t levels_below_top();
  void solve_level(const FastJRequest& request, int32_t v, std::size_t k, FastLevel& out);
  // Scale the two passes to Y(joint) = 1, clear what earlier passes left outside the range, and
  // form the figures of the level.
  void finish_bound(const Range& range, int joint, double a, double b, FastLevel& out);
  void finish_quasi_bound(const Range& range, int joint, double a, double b, double E,
                          FastLevel& out);

  GridOrientation orientation_;
  NumericalFailureHandler on_failure_;
  RadialGrid grid_;
  std::vector<double> U_, Y_, r_, g_;
  // Of the current J: the lowest value of the forward effective potential at or below each index,
  // and at or above it, so that a level sees at once whether allowed points lie outside its range.
  std::vector<double> lowest_up_to_, lowest_from_;
  // Of the current J: where its curve rises and falls, for the crossings of every pass above the
  // outer end.
  MonotoneStretches stretches_;
  // Of the current J, from first_v_ on; the caller sees them from first_asked_ on.
  std::vector<FastLevel> levels_;
  int32_t first_v_ = 0, first_asked_ = 0;
  // Y outside dirty_lo_ .. dirty_hi_ is zero.
  int dirty_lo_ = 0, dirty_hi_ = 0;
  // Of the current J: the forward effective potential, c = h²·μ·(2u/ħ²), the window, the index
  // of the lowest minimum and the harmonic spacing there.
  const double* Up_ = nullptr;
  const double* Urun_ = nullptr;
  double c_ = 0.0, mu_ = 0.0, Umin_ = 0.0, Etop_ = 0.0, Umax_ = 0.0, Ulim_ = 0.0, spacing_ = 0.0;
  int imin_ = 0;
  int32_t count_ = -1;  // levels below the window top, formed when first needed
};

}  // namespace velk
