#include "solver/fast_search.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "numlib/airy.h"
#include "numlib/constants.h"
#include "solver/energy_search.h"
#include "solver/fast_sweeps.h"
#include "solver/landmarks.h"
#include "solver/solution_figures.h"

namespace velk {
namespace {

// Y(lo+1) of a pass that starts at a skipped tail (Y(lo) = 0): small enough that the growth across
// the tail and the well cannot overflow, large enough to stay clear of underflow.
constexpr double kTailStart = 1e-30;
// A pass needs two start values, a joint with a point on either side and the recurrence between.
constexpr int kShortestGrid = 8;
// Bisection steps of the WKB estimate: its relative precision beside the window, 2^-24, is far
// below the spacing of any level it starts.
constexpr int kWkbSteps = 24;
// Levels below a level through which its trial energy is extrapolated (up to a quartic in v, at
// least a cubic), and the least rise over the level below, as a share of the spacing below, that
// it may give.
constexpr int kLadderPoints = 5;
constexpr int kLadderFewest = 4;
constexpr double kLadderLeast = 0.25;
// Bounds on the error a Newton step of the search leaves, e ≤ kNewtonCurvature·step²/spacing +
// kNewtonLinear·c·(Etop - Umin)·|step|, c = h²·μ·(2u/ħ²): the Numerov form of the correction
// misses the Newton step by a share of the order of the largest c·(E - U) of the well. Measured on
// the Na2 X table at h = 0.001 and 0.004 Å, the first factor stays below 2.1 and the second below
// 0.0042; both are taken several times larger.
constexpr double kNewtonCurvature = 8.0;
constexpr double kNewtonLinear = 0.05;
// The share of the tolerance that a search may leave by its own estimate of what is left.
constexpr double kShareOfTolerance = 0.1;

// Flat steps of a solution that is zero below lo and above hi, counted as flat_steps_from_first
// and flat_steps_from_last count them on the whole grid, without walking the zeros.
int32_t flat_from_first(const double* Y, int lo, int N, double h) {
  int32_t count = 0;
  int j = 2;
  if (lo > 2) {
    count = lo - 2;
    j = lo;
  }
  for (; j <= N && std::abs(Y[j] - Y[j - 1]) / h < numerov::kFlatSlope; ++j) ++count;
  return count;
}
int32_t flat_from_last(const double* Y, int hi, int N, double h) {
  int32_t count = 0;
  int m = N;
  if (hi < N - 1) {
    count = N - hi - 1;
    m = hi + 1;
  }
  for (; m >= 2 && std::abs(Y[m] - Y[m - 1]) / h < numerov::kFlatSlope; --m) ++count;
  return count;
}

}  // namespace

FastSearch::FastSearch(GridOrientation orientation, NumericalFailureHandler on_failure)
    : orientation_(orientation), on_failure_(std::move(on_failure)) {}

bool numbering_certain(std::span<const FastLevel> levels) {
  const FastLevel* below = nullptr;
  for (const FastLevel& level : levels) {
    if (level.partial_view) return false;
    if (!level.found) continue;
    if (below != nullptr && !(level.E > below->E)) return false;
    below = &level;
  }
  return true;
}

void FastSearch::begin(const RadialGrid& grid, const QuantumRange& v) {
  require_grid_slots(RadialGrid::kSlots, grid.N, "fast search");
  for (std::vector<double>* array : {&U_, &Y_, &r_, &g_, &lowest_up_to_, &lowest_from_})
    fit_grid_slots(*array, grid.N);
  stretches_.reserve(grid.N);
  grid_ = grid;
  // Every J climbs its v from the lowest (v = 0, or a lower first v) so that a level is searched
  // the same way whichever v were asked for.
  first_v_ = std::min<int32_t>(v.first, 0);
  first_asked_ = v.first;
  const std::size_t count =
      v.last >= first_v_ ? static_cast<std::size_t>(v.last - first_v_) + 1 : 0;
  levels_.assign(count, FastLevel{});
  std::fill(Y_.begin(), Y_.end(), 0.0);
  dirty_lo_ = grid.N + 1;
  dirty_hi_ = 0;
}

std::span<const FastLevel> FastSearch::solve_J(std::span<const double> Ueff,
                                               const FastJRequest& request,
                                               const FoundLevelSink& on_found) {
  const int N = grid_.N;
  require_grid_slots(Ueff.size(), N, "fast search");
  Urun_ = Ueff.data();
  if (orientation_ == GridOrientation::forward) {
    Up_ = Ueff.data();
  } else {
    for (int i = 1; i <= N; ++i)
      U_[static_cast<std::size_t>(i)] = Ueff[static_cast<std::size_t>(N + 1 - i)];
    Up_ = U_.data();
  }
  lowest_up_to_[1] = Up_[1];
  for (int i = 2; i <= N; ++i) lowest_up_to_[i] = std::min(lowest_up_to_[i - 1], Up_[i]);
  lowest_from_[N] = Up_[N];
  for (int i = N - 1; i >= 1; --i) lowest_from_[i] = std::min(lowest_from_[i + 1], Up_[i]);
  stretches_.find(std::span<const double>(Up_, static_cast<std::size_t>(N) + 1), N);
  const double h = grid_.h;
  mu_ = request.mu;
  c_ = h * h * mu_ * constants::kTwoUOverHbar2;
  Umin_ = request.Umin;
  Umax_ = request.Umax;
  Ulim_ = request.Ulim;
  Etop_ = std::max(request.Umax, Up_[N]);
  count_ = -1;
  // Without a lowest minimum to start from (or on a grid too short for a pass and its joint)
  // every level is left to the exact search.
  imin_ = 0;
  for (int i = 2; i <= N - 1 && imin_ == 0 && N >= kShortestGrid; ++i) {
    if (Up_[i] == Umin_ && Up_[i] < Up_[i - 1] && Up_[i] < Up_[i + 1]) imin_ = i;
  }
  spacing_ = 1.0;
  if (imin_ > 0) {
    const double k = (Up_[imin_ - 1] - 2 * Up_[imin_] + Up_[imin_ + 1]) / (h * h);
    const double omega = std::sqrt(2 * k / (mu_ * constants::kTwoUOverHbar2));
    if (omega > 0 && std::isfinite(omega)) spacing_ = omega;
  }

  const std::size_t count = levels_.size();
  for (std::size_t k = 0; k < count; ++k) {
    FastLevel& level = levels_[k];
    level = FastLevel{};
    level.v = first_v_ + static_cast<int32_t>(k);
    if (imin_ > 0) solve_level(request, level.v, k, level);
    if (level.found && on_found && level.v >= first_asked_) on_found(level, Y_);
  }
  const std::size_t skipped =
      std::min(count, static_cast<std::size_t>(std::max(0, first_asked_ - first_v_)));
  return {levels_.data() + skipped, count - skipped};
}

double FastSearch::trial_energy(int32_t v, std::size_t k) const {
  const FastLevel* below = k >= 1 && levels_[k - 1].found ? &levels_[k - 1] : nullptr;
  double E = 0.0;
  if (const std::optional<double> smooth = ladder_extrapolation(k)) {
    E = *smooth;
  } else if (below != nullptr) {
    double spacing = spacing_;
    if (k >= 2 && levels_[k - 2].found) {
      const double d1 = below->E - levels_[k - 2].E;
      spacing = d1;
      if (k >= 3 && levels_[k - 3].found) {
        const double d2 = levels_[k - 2].E - levels_[k - 3].E;
        // A spacing that shrinks fast (near the dissociation limit) shrinks geometrically rather
        // than linearly.
        spacing = d1 + (d1 - d2);
        if (spacing < 0.5 * d1 && d2 > 0) spacing = d1 * (d1 / d2);
      }
      E = below->E + spacing;
    } else {
      E = wkb_energy(v, Etop_);
      if (!(E > below->E)) E = below->E + spacing;
    }
  } else {
    E = wkb_energy(v, Etop_);
  }
  const double floor = below != nullptr ? below->E : Umin_;
  if (!(E < Etop_)) E = floor + 0.5 * (Etop_ - floor);
  if (!(E > Umin_)) E = Umin_ + 0.5 * std::min(spacing_, Etop_ - Umin_);
  return E;
}

// The polynomial through the kLadderPoints levels below level k (or as many as there are, at least
// kLadderFewest, all found), at k: the terms of a
// well rise smoothly enough with v for it to fall within a small part of a spacing, where the
// first Newton step suffices. Unset when the levels are too few, or where the ladder bends too
// fast for it (near the dissociation limit the spacing shrinks geometrically).
std::optional<double> FastSearch::ladder_extrapolation(std::size_t k) const {
  const int n = static_cast<int>(std::min(k, static_cast<std::size_t>(kLadderPoints)));
  if (n < kLadderFewest) return std::nullopt;
  double p[kLadderPoints];
  for (int i = 0; i < n; ++i) {
    const FastLevel& level = levels_[k - 1 - static_cast<std::size_t>(i)];
    if (!level.found) return std::nullopt;
    p[i] = level.E;
  }
  const double d1 = p[0] - p[1];
  // Neville's scheme at x = 0 on the points x_i = -(i + 1).
  for (int m = 1; m < n; ++m) {
    for (int i = 0; i < n - m; ++i) {
      const double xi = -(i + 1.0), xim = -(i + m + 1.0);
      p[i] = ((0.0 - xim) * p[i] + (xi - 0.0) * p[i + 1]) / (xi - xim);
    }
  }
  const double rise = p[0] - levels_[k - 1].E;
  if (!(rise > kLadderLeast * d1 && rise < d1)) return std::nullopt;
  return p[0];
}

// What is left of the error after a Newton step: judged from the step before it when there is one
// (each step takes away all but about step/previous of what is left, or less, since convergence
// is at least linear), else from the curvature of the matching condition, which scales as the
// inverse of the level spacing. The Numerov form of the correction adds a small linear part.
double FastSearch::error_after_step(double step, double previous, double spacing) const {
  if (previous != 0.0) return step * step / std::fabs(previous);
  return kNewtonCurvature * step * step / spacing +
         kNewtonLinear * c_ * (Etop_ - Umin_) * std::fabs(step);
}

// The energy at which the WKB phase of the well around the lowest minimum, sum of
// sqrt(c·(E - U)) over the allowed points, equals π(v + 1/2).
double FastSearch::wkb_energy(int32_t v, double Etop) const {
  const int N = grid_.N;
  const double target = std::numbers::pi * (v + 0.5);
  double lo = Umin_, hi = Etop;
  for (int step = 0; step < kWkbSteps; ++step) {
    const double E = 0.5 * (lo + hi);
    double phase = 0.0;
    for (int i = imin_; i <= N && Up_[i] < E; ++i) phase += std::sqrt(c_ * (E - Up_[i]));
    for (int i = imin_ - 1; i >= 1 && Up_[i] < E; --i) phase += std::sqrt(c_ * (E - Up_[i]));
    if (phase < target) {
      lo = E;
    } else {
      hi = E;
    }
  }
  return 0.5 * (lo + hi);
}

FastSearch::Range FastSearch::live_range(double E, int seed_lo, int seed_hi) const {
  const int N = grid_.N;
  const double* U = Up_;
  // From a classically allowed point (the seed, or the minimum) out to the turning point in
  // direction `step`, or to the grid end `last`.
  const auto to_turn = [&](int seed, int step, int last) {
    int i = seed >= 1 && seed <= N && U[seed] < E ? seed : imin_;
    while (i != last && U[i + step] < E) i += step;
    return i;
  };
  Range range;
  range.turn_hi = to_turn(seed_hi, 1, N);
  range.turn_lo = to_turn(seed_lo, -1, 1);
  range.hi = tail_end(E, range.turn_hi, 1, N);
  range.lo = tail_end(E, range.turn_lo, -1, 1);
  return range;
}

// On from the turning point `turn` in direction `step` through the forbidden region until the
// WKB estimate of ∫κ dR passes kTailDamping, or to the grid end `last`. A dip below E on the way
// starts the count again. The sum is a chain of additions, one per point, that would otherwise
// wait on each point's square root: the roots of two points are taken together, and added one
// by one in the same order.
int FastSearch::tail_end(double E, int turn, int step, int last) const {
  const double* U = Up_;
  const double c = c_;
  double damping = 0.0;
  int i = turn;
  // One point: true where the walk stops.
  const auto add = [&](double d, double root) {
    if (d <= 0) {
      damping = 0.0;
      return false;
    }
    damping += root;
    return damping > kTailDamping;
  };
#if defined(__SSE2__)
  while (i != last && i + step != last) {
    const double d0 = U[i + step] - E, d1 = U[i + 2 * step] - E;
    const __m128d roots = _mm_sqrt_pd(_mm_mul_pd(_mm_set1_pd(c), _mm_set_pd(d1, d0)));
    i += step;
    if (add(d0, _mm_cvtsd_f64(roots))) return i;
    i += step;
    if (add(d1, _mm_cvtsd_f64(_mm_unpackhi_pd(roots, roots)))) return i;
  }
#endif
  while (i != last) {
    i += step;
    const double d = U[i] - E;
    if (add(d, std::sqrt(c * d))) return i;
  }
  return i;
}

// The quasi-bound start of the exact search in the run's orientation, so that both searches
// close the well at the same place: on a forward grid Bi at R(k3) and R(k3 - 1) about the third
// turning point as the forward solver places it; on a reversed grid the two points and the
// placement of the reversed solver, taken over into forward order.
FastSearch::OuterStart FastSearch::outer_start(double E) const {
  const int N = grid_.N;
  const double h = grid_.h;
  const bool forward = orientation_ == GridOrientation::forward;
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings x = stretches_.turning_points(run_curve(), E, orientation_, dVt, jt);
  OuterStart start;
  if (x.k3 == 0) return start;
  const double s = std::pow(dVt / h, constants::kOneThirdSingle);
  const double sign = forward ? -1.0 : 1.0;
  const double Rat = grid_.R(x.k3);
  const double Rt = Rat - jt * h / 100;
  const double y_k3 = airy_functions(sign * (Rat - Rt) * s, on_failure_).bi;
  const double y_below = airy_functions(sign * (grid_.R(x.k3 - 1) - Rt) * s, on_failure_).bi;
  if (forward) {
    start.at = x.k3;
    start.y_at = y_k3;
    start.y_inside = y_below;
  } else {
    // Reversed point k3 - 1 is forward point N + 2 - k3, reversed k3 the forward point below it.
    start.at = N + 2 - x.k3;
    start.y_at = y_below;
    start.y_inside = y_k3;
  }
  return start;
}

// The exact search's tunnelling figure at E, summed in the run's orientation as it sums it.
std::optional<double> FastSearch::tunnel_at(double E) const {
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings x = stretches_.turning_points(run_curve(), E, orientation_, dVt, jt);
  if (x.k3 == 0) return std::nullopt;
  const double* U = run_curve().data();
  if (orientation_ == GridOrientation::forward) {
    return numerov::tunnel_figure(U, E, grid_.h, mu_, x.k1, x.k2 - 1, x.k2, x.k3 - 1);
  }
  return numerov::tunnel_figure(U, E, grid_.h, mu_, x.k2, x.k1 - 1, x.k3, x.k2 - 1);
}

int32_t FastSearch::levels_below_top() {
  if (count_ >= 0) return count_;
  const int N = grid_.N;
  int end = N;
  if (Umax_ > Ulim_) {
    for (int i = 1; i <= N; ++i) {
      if (Up_[i] == Umax_) {
        end = i;
        break;
      }
    }
  }
  count_ = count_levels_below(std::span<const double>(Up_, static_cast<std::size_t>(N) + 1), 1, end,
                              grid_.h, mu_, Umax_);
  return count_;
}

void FastSearch::solve_level(const FastJRequest& request, int32_t v, std::size_t k,
                             FastLevel& out) {
  const int N = grid_.N;
  const double h = grid_.h;
  double* Y = Y_.data();
  double* r = r_.data();
  double* g = g_.data();
  const FastLevel* below = k >= 1 && levels_[k - 1].found ? &levels_[k - 1] : nullptr;

  double E = trial_energy(v, k);
  out.Ein = E;
  // The bracket of the node count: the level lies above the one below it.
  double Elo = Umin_;
  if (below != nullptr && below->E < E) Elo = below->E;
  double Ehi = Etop_;
  out.delE = 0.5 * (Ehi - Elo);
  double spacing = spacing_;
  if (k >= 2 && below != nullptr && levels_[k - 2].found) spacing = below->E - levels_[k - 2].E;
  if (!(spacing > 0)) spacing = spacing_;
  // Points known to be allowed at E, where the scans for the turning points start: those of the
  // level below (the allowed region grows with the energy).
  int seed_lo = below != nullptr ? below->turn_lo : 0;
  int seed_hi = below != nullptr ? below->turn_hi : 0;
  // The last Newton step taken with the right node count, 0 before the first.
  double previous_step = 0.0;

  for (int32_t iteration = 1; iteration <= request.maxit; ++iteration) {
    Range range = live_range(E, seed_lo, seed_hi);
    OuterStart outer;
    if (E > Up_[N]) {
      outer = outer_start(E);
      if (outer.at > 0) range.hi = outer.at;
    }
    if (range.hi - range.lo < 4) return;
    fast::fill_ratios(Up_, r, g, range.lo, range.hi, c_, E);
    if (outer.at > 0) {
      Y[outer.at] = outer.y_at;
      Y[outer.at - 1] = outer.y_inside;
    } else {
      Y[range.hi] = 0.0;
      Y[range.hi - 1] = kTailStart;
    }
    dirty_lo_ = std::min(dirty_lo_, range.lo);
    dirty_hi_ = std::max(dirty_hi_, range.hi);
    const fast::FastInward inward = fast::inward_to_first_maximum(r, g, Y, range.lo, range.hi);
    if (inward.joint < range.lo + 3) return;
    Y[range.lo] = 0.0;
    Y[range.lo + 1] = kTailStart;
    const fast::FastOutward outward = fast::outward_to_joint(r, g, Y, range.lo, inward.joint);
    out.points_integrated += range.hi - range.lo + 1;
    const double a = outward.joint_y, b = inward.joint_y;
    if (!(a != 0.0) || !std::isfinite(a) || !(b != 0.0)) return;
    const int m = inward.joint;
    const double S = outward.sum / (a * a) + inward.sum / (b * b);
    const double t[3] = {c_ * (Up_[m - 1] - E) / 12, c_ * (Up_[m] - E) / 12,
                         c_ * (Up_[m + 1] - E) / 12};
    const double y[3] = {Y[m - 1] / a, 1.0, Y[m + 1] / b};
    // The exact search applies half of the Newton step; the whole one converges
    // quadratically.
    const double step = 2 * numerov::correction(t, y, 1, S, h, mu_);
    const int32_t node = outward.node;
    out.results.kturn = iteration;
    out.results.node = node;
    if (node != v) {
      if (node < v && v >= levels_below_top()) return;
      const double E_before = E;
      const int32_t missing = v - node;
      if (node < v) {
        Elo = std::max(Elo, E);
        E = std::min(0.5 * (Elo + Ehi), E + (missing + 0.5) * spacing);
      } else {
        Ehi = std::min(Ehi, E);
        E = std::max(0.5 * (Elo + Ehi), E + (missing - 0.5) * spacing);
      }
      out.results.Dcor = E - E_before;
      if (!(Ehi - Elo > 0.0)) return;
      continue;
    }
    seed_lo = range.turn_lo;
    seed_hi = range.turn_hi;
    const double next = E + step;
    const double left_after = error_after_step(step, previous_step, spacing);
    previous_step = step;
    out.results.Dcor = step;
    if (!(next > Elo && next < Ehi)) {
      // A step out of the bracket still tells on which side of E the level lies.
      if (step > 0) {
        Elo = E;
      } else {
        Ehi = E;
      }
      E = 0.5 * (Elo + Ehi);
      continue;
    }
    E = next;
    const bool settled = left_after <= kShareOfTolerance * request.tol;
    if (std::fabs(step) <= request.tol || settled) {
      // A step larger than the tolerance is not what is left: the level's figure is the estimate.
      if (std::fabs(step) > request.tol) out.results.Dcor = std::copysign(left_after, step);
      // Beyond a quasi-bound level's outer start the allowed points are its continuum, whose
      // nodes no search counts.
      const bool allowed_below = range.lo > 1 && lowest_up_to_[range.lo - 1] < E;
      const bool allowed_above = outer.at == 0 && range.hi < N && lowest_from_[range.hi + 1] < E;
      if (allowed_below || allowed_above) {
        out.partial_view = true;
        out.E = E;
        return;
      }
      out.found = true;
      out.E = E;
      out.turn_lo = range.turn_lo;
      out.turn_hi = range.turn_hi;
      if (outer.at > 0) {
        finish_quasi_bound(range, m, a, b, E, out);
        // Wider than the tolerance, the level has no energy to the tolerance: the Airy start moves
        // by a grid step as E crosses a grid point, and the searches can settle on either side,
        // a good part of the width apart. The exact search's value is the one listed.
        if (out.tunnel && !(*out.tunnel <= request.tol)) out.found = false;
      } else {
        finish_bound(range, m, a, b, out);
      }
      return;
    }
  }
}

void FastSearch::finish_bound(const Range& range, int joint, double a, double b, FastLevel& out) {
  const int N = grid_.N;
  const double h = grid_.h;
  double* Y = Y_.data();
  for (int i = dirty_lo_; i < range.lo; ++i) Y[i] = 0.0;
  for (int i = range.hi + 1; i <= dirty_hi_; ++i) Y[i] = 0.0;
  dirty_lo_ = range.lo;
  dirty_hi_ = range.hi;
  double largest = 0.0;
  for (int i = range.lo; i <= joint; ++i) {
    const double y = Y[i] / a;
    Y[i] = y;
    largest = std::max(largest, std::fabs(y));
  }
  for (int i = joint + 1; i <= range.hi; ++i) {
    const double y = Y[i] / b;
    Y[i] = y;
    largest = std::max(largest, std::fabs(y));
  }
  GridEnds ends;
  if (largest > 0.0 && std::isfinite(largest)) {
    const double limit = kDecayShare * largest * largest;
    ends.first = std::max(Y[1] * Y[1], Y[2] * Y[2]) > limit;
    ends.last = std::max(Y[N - 1] * Y[N - 1], Y[N] * Y[N]) > limit;
  }
  out.ends = ends;
  out.results.kleft = flat_from_first(Y, range.lo, N, h);
  out.results.krigth = flat_from_last(Y, range.hi, N, h);
  out.live_first = range.lo;
  out.live_last = range.hi;
  if (orientation_ == GridOrientation::reversed) std::swap(out.ends.first, out.ends.last);
}

void FastSearch::finish_quasi_bound(const Range& range, int joint, double a, double b, double E,
                                    FastLevel& out) {
  const int N = grid_.N;
  const double h = grid_.h;
  double* Y = Y_.data();
  for (int i = dirty_lo_; i < range.lo; ++i) Y[i] = 0.0;
  for (int i = range.lo; i <= joint; ++i) Y[i] /= a;
  for (int i = joint + 1; i <= range.hi; ++i) Y[i] /= b;
  // Beyond the barrier the solution is a continuum function: carried out to the grid end and
  // scaled by its outermost maximum, as the exact search does.
  fast::fill_ratios(Up_, r_.data(), g_.data(), range.hi - 1, N, c_, E);
  fast::outward_to_end(r_.data(), g_.data(), Y, range.hi + 1, N);
  dirty_lo_ = range.lo;
  dirty_hi_ = N;
  double Ymax = 1.0;
  for (int m = N - 1; m >= 2; --m) {
    if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
      Ymax = Y[m];
      break;
    }
  }
  numerov::scale_quasibound(Y, N, E, mu_, Ymax);
  out.tunnel = tunnel_at(E);
  out.ends = undecayed_ends(Y_, N);
  out.results.kleft = numerov::flat_steps_from_first(Y, N, h);
  out.results.krigth = numerov::flat_steps_from_last(Y, N, h);
  out.live_first = range.lo;
  out.live_last = N;
  if (orientation_ == GridOrientation::reversed) std::swap(out.ends.first, out.ends.last);
}

}  // namespace velk
