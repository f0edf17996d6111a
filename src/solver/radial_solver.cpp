#include "solver/radial_solver.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "io/console.h"
#include "io/errors.h"
#include "numlib/airy.h"
#include "solver/energy_search.h"
#include "solver/landmarks.h"
#include "solver/numerov_sweeps.h"
#include "solver/solution_figures.h"

namespace velk {

using namespace numerov;

namespace {

template <GridOrientation O>
constexpr const SolverConfig& config_of() {
  if constexpr (O == GridOrientation::forward) {
    return kForwardConfig;
  } else {
    return kReversedConfig;
  }
}

// A solve needs N + 1 slots of V (slot 0 unused) and fits at most RadialGrid::kCapacity points in
// its working arrays; anything else is a caller's mistake.
void require_grid_fits(std::size_t slots, int N) {
  if (N < 1)
    throw std::invalid_argument("radial solver: a grid of " + std::to_string(N) + " points");
  require_grid_slots(slots, N, "radial solver");
  require_grid_slots(RadialGrid::kSlots, N, "radial solver");
}

// The crossings of V with E, and where the third one lies (valid when k3 > 0).
struct TurningPoints {
  Crossings x;
  double dVt = 0.0;
  int32_t jt = 0;
};

// What bounds a search on V: the asymptotic end, the lowest minimum and the top of the window (the
// highest barrier or the asymptotic end, whichever is higher). None when the curve has no well:
// its highest barrier lies below its lowest minimum, or it has fewer than three points.
struct SearchLimits {
  double Vout = 0.0, Umin = 0.0, Emax = 0.0;
};

template <GridOrientation O>
std::optional<SearchLimits> search_limits(std::span<const double> V, int N) {
  const double Vout = O == GridOrientation::forward ? V[N] : V[1];
  const double Umax = highest_barrier(V, N, Vout).Umax;
  const double Umin = lowest_minimum(V, N);
  if (Umax < Umin || N < 3) return std::nullopt;
  return SearchLimits{Vout, Umin, std::max(Umax, Vout)};
}

TurningPoints find_turning_points(std::span<const double> V, double E, int N,
                                  GridOrientation orientation) {
  TurningPoints t;
  t.x = turning_points(V, E, N, orientation, t.dVt, t.jt);
  return t;
}

// Bi at the two points `at` and `at - 1` next to the outer turning point Rt = R(k3) - jt·h/100,
// its argument scaled by s = (dVt/h)^(1/3) and signed so that it grows into the barrier.
void airy_start(double* Y, const RadialGrid& grid, const TurningPoints& t, int at, double sign,
                const NumericalFailureHandler& on_failure) {
  const double h = grid.h;
  const double s = std::pow(t.dVt / h, constants::kOneThirdSingle);
  const double Rat = grid.R0 + at * h;
  const double Rt = Rat - t.jt * h / 100;
  const double Rbelow = grid.R0 + (at - 1) * h;
  Y[at] = airy_functions(sign * (Rat - Rt) * s, on_failure).bi;
  Y[at - 1] = airy_functions(sign * (Rbelow - Rt) * s, on_failure).bi;
}

}  // namespace

RadialSolver::RadialSolver(GridOrientation orientation, NumericalFailureHandler on_failure)
    : orientation_(orientation), on_failure_(std::move(on_failure)) {}

void RadialSolver::fit_grid(int32_t N) {
  fit_grid_slots(Tgrid_, N);
  fit_grid_slots(Ygrid_, N);
  fit_grid_slots(rescales_, N);
}

LevelSolution RadialSolver::solve(std::span<const double> V, const RadialGrid& grid, double mu,
                                  const SolveRequest& request, IterationCache* cache) {
  fit_grid(grid.N);
  if (orientation_ == GridOrientation::forward) {
    return solve_oriented<GridOrientation::forward>(V, grid, mu, request, cache);
  }
  return solve_oriented<GridOrientation::reversed>(V, grid, mu, request, cache);
}

bool RadialSolver::prefetch(std::span<const double> V, const RadialGrid& grid, double mu,
                            std::span<const SolveRequest> requests, IterationCache& cache,
                            LaneIterations& lanes) {
  fit_grid(grid.N);
  if (orientation_ == GridOrientation::forward) {
    return prefetch_oriented<GridOrientation::forward>(V, grid, mu, requests, cache, lanes);
  }
  return prefetch_oriented<GridOrientation::reversed>(V, grid, mu, requests, cache, lanes);
}

template <GridOrientation O>
bool RadialSolver::prefetch_oriented(std::span<const double> V, const RadialGrid& grid, double mu,
                                     std::span<const SolveRequest> requests, IterationCache& cache,
                                     LaneIterations& lanes) {
  constexpr const SolverConfig& config = config_of<O>();
  const int N = grid.N;
  require_grid_fits(V.size(), N);
  // Too few points for lanes, or no well (the solve stops): left to the solves.
  if (N < 8) return true;
  const std::optional<SearchLimits> limits = search_limits<O>(V, N);
  if (!limits) return true;
  const double Vout = limits->Vout, Umin = limits->Umin, Emax = limits->Emax;

  // The searches as solve runs them: the same bracket, updates and end.
  searches_.assign(requests.size(), Search{});
  for (std::size_t s = 0; s < requests.size(); ++s) {
    Search& search = searches_[s];
    search.E = requests[s].E;
    search.bracket =
        first_bracket(search.E, requests[s].dE, Emax, Umin, config.below_minimum_share);
  }
  const LaneBatchInputs batch{
      V.data(), N, grid.h, mu, config.bottom_start_first, config.bottom_start_second};
  double E_lanes[kLanes];
  IterationOutcome outcome[kLanes];
  LaneResult result[kLanes];
  for (;;) {
    // The energies this round needs, each once; those above the asymptote may meet a third
    // turning point and are iterated one by one.
    pending_.clear();
    bool searching = false;
    for (const Search& search : searches_) {
      if (search.done) continue;
      searching = true;
      if (cache.find(search.E)) continue;
      if (std::find(pending_.begin(), pending_.end(), search.E) != pending_.end()) continue;
      if (search.E > Vout) {
        const Iteration it = iterate<O>(V, grid, mu, search.E);
        if (it.joint == 0) return false;
        cache.insert(search.E, {it.node, it.joint, it.Dcor});
        continue;
      }
      pending_.push_back(search.E);
    }
    if (!searching) return true;
    for (std::size_t first = 0; first < pending_.size(); first += kLanes) {
      const std::size_t n = std::min<std::size_t>(kLanes, pending_.size() - first);
      std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(first), n, E_lanes);
      lanes.run(batch, std::span(E_lanes, n), std::span(outcome, n), std::span(result, n));
      for (std::size_t l = 0; l < n; ++l) {
        if (result[l] == LaneResult::no_maximum) return false;
        if (result[l] == LaneResult::low_joint) {
          const Iteration it = iterate<O>(V, grid, mu, E_lanes[l]);
          outcome[l] = {it.node, it.joint, it.Dcor};
        }
        cache.insert(E_lanes[l], outcome[l]);
      }
    }
    for (std::size_t s = 0; s < searches_.size(); ++s) {
      Search& search = searches_[s];
      if (search.done) continue;
      const IterationOutcome* known = cache.find(search.E);
      if (!known) {
        // The cache had no room near this energy: the solve computes it.
        search.done = true;
        continue;
      }
      const SolveRequest& request = requests[s];
      const double Dcor = known->Dcor;
      update_energy(known->node, request.v, Dcor, config.small_correction, Emax, search.E,
                    search.bracket);
      ++search.kturn;
      search.done = Dcor * Dcor <= request.tol * request.tol || search.kturn >= request.maxit;
    }
  }
}

template <GridOrientation O>
RadialSolver::Iteration RadialSolver::iterate(std::span<const double> V, const RadialGrid& grid,
                                              double mu, double E, bool exact_tail) {
  constexpr const SolverConfig& config = config_of<O>();
  const int N = grid.N;
  const double h = grid.h;
  const double* Vp = V.data();
  double* T = Tgrid_.data();
  double* Y = Ygrid_.data();
  const double Vout = O == GridOrientation::forward ? Vp[N] : Vp[1];
  const double c = h * h * mu * constants::kTwoUOverHbar2;
  Iteration it;

  TurningPoints turning;
  if (E > Vout) turning = find_turning_points(V, E, N, O);
  const int32_t k3 = turning.x.k3;

  // Pass from the top: on a forward grid from the outer end or the outer turning point, on a
  // reversed one always from the inner wall.
  const int top = config.airy_start_on_top_pass && k3 > 0 ? k3 : N;
  it.top = top;
  if (config.airy_start_on_top_pass && k3 > 0) {
    airy_start(Y, grid, turning, top, config.airy_argument_sign, on_failure_);
  } else {
    Y[top] = 1e-99;
    Y[top - 1] = 1e-66;
  }
  const InwardPass inward = inward_to_maximum(T, Vp, c, E, Y, top, rescales_.data());
  if (inward.joint > 0) {
    kmatch_ = inward.joint;
    it.joint = inward.joint;
  } else {
    // The console text of this failure is spelt as users' scripts match it; it stays.
    console_line(" rigth error");
  }
  if (inward.coefficients_from > 1) fill_coefficients(T, Vp, 1, inward.coefficients_from - 1, c, E);

  // Pass from index 1, or on a reversed grid from the outer turning point, counting the nodes
  // up to the joint; its lowest index is `from`.
  int first = 3;
  int from = 1;
  if (!config.airy_start_on_top_pass && k3 > 0) {
    airy_start(Y, grid, turning, k3, config.airy_argument_sign, on_failure_);
    first = k3 + 1;
    from = k3 - 1;
  } else {
    Y[1] = config.bottom_start_first;
    Y[2] = config.bottom_start_second;
  }
  const OutwardPass outward = outward_counting_nodes(T, Y, first, top, from, kmatch_);
  it.node = outward.node;
  it.joined = outward.met_joint;

  // Within the iteration the values of the pass from the top are read only by the norm sum and,
  // next to the joint, by the correction: the negligible ones may be left at 0 (see
  // negligible_values). The values of a quasi-bound level are carried on past its barrier, a pass
  // without a joint of its own is not scaled by one, and a caller may ask for all of them: theirs
  // are settled exactly.
  const bool scaled_by_joint = inward.joint > 0 && outward.met_joint && k3 == 0;
  const NegligibleValues negligible = scaled_by_joint && !exact_tail
                                          ? negligible_values(inward.joint_value, h)
                                          : NegligibleValues{};
  it.exact = !negligible.apply;
  resolve_rescales(Y, outward.end + 1, top, rescales_.data(), inward.rescales, negligible);
  const double S = normalize_and_sum(Y, from, top, outward, inward);
  const int k = std::min(std::max(static_cast<int>(kmatch_), 2), top - 1);
  it.Dcor = correction(T, Y, k, S, h, mu);
  return it;
}

template <GridOrientation O>
LevelSolution RadialSolver::solve_oriented(std::span<const double> V, const RadialGrid& grid,
                                           double mu, const SolveRequest& request,
                                           IterationCache* cache) {
  constexpr const SolverConfig& config = config_of<O>();
  constexpr bool forward = O == GridOrientation::forward;
  const int N = grid.N;
  require_grid_fits(V.size(), N);
  const double h = grid.h;
  const double* Vp = V.data();
  double* T = Tgrid_.data();
  double* Y = Ygrid_.data();
  const std::optional<SearchLimits> limits = search_limits<O>(V, N);
  if (!limits) throw StopRun("Umin >  Umax");
  const double Umin = limits->Umin, Emax = limits->Emax;
  double E = request.E;
  Bracket bracket = first_bracket(E, request.dE, Emax, Umin, config.below_minimum_share);

  const double c = h * h * mu * constants::kTwoUOverHbar2;
  int top = N;
  int32_t node = 0;
  double Dcor = 0.0;
  int32_t kturn = 0;
  bool joint_missed = false;
  // The energy of the last iteration, and whether the arrays hold its solution.
  double last_E = E;
  bool arrays_hold_last = true;
  bool last_joined = true;
  bool last_exact = true;
  do {
    last_E = E;
    const IterationOutcome* known = cache ? cache->find(E) : nullptr;
    if (known) {
      node = known->node;
      Dcor = known->Dcor;
      kmatch_ = known->joint;
      arrays_hold_last = false;
    } else {
      const Iteration it = iterate<O>(V, grid, mu, E);
      node = it.node;
      Dcor = it.Dcor;
      top = it.top;
      last_joined = it.joined;
      last_exact = it.exact;
      arrays_hold_last = true;
      if (it.joint > 0) {
        if (cache) cache->insert(E, {it.node, it.joint, it.Dcor});
      } else {
        joint_missed = true;
      }
    }

    update_energy(node, request.v, Dcor, config.small_correction, Emax, E, bracket);
    // Counted on every pass, so that a correction that takes no branch (NaN) still ends at maxit.
    ++kturn;
  } while (!(Dcor * Dcor <= request.tol * request.tol) && kturn < request.maxit);
  const TurningPoints turning = find_turning_points(V, E, N, O);
  const int32_t k1 = turning.x.k1, k2 = turning.x.k2, k3 = turning.x.k3;
  // What follows reads the solution of the last iteration: one taken from the cache is done
  // again. A quasi-bound result carries it on past the barrier, rescaling it, and scales it by its
  // outermost maximum, after which a value left at 0 as negligible (small beside the joint) need
  // not be small any more: there the last iteration is done again with every value divided out.
  const bool whole = k3 > 0 || request.whole_wave_function;
  if (!arrays_hold_last || (whole && !last_exact)) {
    const Iteration it = iterate<O>(V, grid, mu, last_E, whole);
    top = it.top;
    last_joined = it.joined;
  }

  LevelSolution solution;
  solution.E = E;
  solution.joint_missed = joint_missed;
  solution.never_joined = !last_joined;
  const bool above_asymptote = E > limits->Vout;
  if (!above_asymptote) solution.ends = undecayed_ends(Ygrid_, N);
  if (k3 > 0) {
    // Quasi-bound: carry the solution from the outer turning point out to the grid end, and scale
    // it by its outermost maximum.
    double Ymax = 1.0;
    if constexpr (forward) {
      fill_coefficients(T, Vp, k3 - 1, N, c, E);
      outward_counting_nodes(T, Y, k3 + 1, N, 1, 0);
      top = N;
      for (int m = N - 1; m >= 2; --m) {
        if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
          Ymax = Y[m];
          break;
        }
      }
    } else {
      fill_coefficients(T, Vp, 1, k3, c, E);
      inward_to_end(T, Y, k3 - 2, N);
      for (int m = 2; m <= N - 1; ++m) {
        if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
          Ymax = Y[m];
          break;
        }
      }
    }
    scale_quasibound(Y, N, E, mu, Ymax);
    // The well lies between the inner wall and the barrier, the barrier between the barrier's
    // inner crossing and the outer turning point; a mirrored grid has them in falling index order.
    if constexpr (forward) {
      solution.tunnel = tunnel_figure(Vp, E, h, mu, k1, k2 - 1, k2, k3 - 1);
    } else {
      solution.tunnel = tunnel_figure(Vp, E, h, mu, k2, k1 - 1, k3, k2 - 1);
    }
  }

  if (above_asymptote) solution.ends = undecayed_ends(Ygrid_, N);

  SolverResults& r = solution.results;
  r.Dcor = Dcor;
  r.kturn = kturn;
  r.node = node;
  int32_t first_end = flat_steps_from_first(Y, top, h);
  int32_t last_end = flat_steps_from_last(Y, top, h);
  if (config.exchange_flat_counts) std::swap(first_end, last_end);
  r.kleft = first_end;
  r.krigth = last_end;
  // Below the curve's end the continuation past a third crossing is no part of the level (see
  // LevelSolution::ends): a caller that reads the wave function gets the joined solution back,
  // when the last iteration, below the curve's end too, joined one over the whole grid.
  if (k3 > 0 && !above_asymptote && !(last_E > limits->Vout) && request.whole_wave_function) {
    iterate<O>(V, grid, mu, last_E, true);
  }
  return solution;
}

}  // namespace velk
