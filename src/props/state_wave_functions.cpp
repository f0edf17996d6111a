#include "props/state_wave_functions.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "numlib/constants.h"
#include "props/level_properties.h"
#include "solver/curve_checks.h"
#include "solver/effective_potential.h"
#include "solver/exact_level.h"
#include "solver/level_checks.h"
#include "solver/level_verdict.h"
#include "solver/wave_function.h"

namespace velk::props {

RadialGrid state_grid(const StateInput& state, char letter) {
  const std::string name = std::string("state ") + letter;
  switch (check_grid(state.Rmin, state.Rmax, state.N)) {
    case GridProblem::none:
      return RadialGrid(state.Rmin, state.Rmax, state.N);
    case GridProblem::too_many_points:
      throw InputError("velk-props: velk.inf: the grid of " + name + " has more than 50000 points");
    case GridProblem::too_few_points:
      throw InputError("velk-props: velk.inf: the grid of " + name + " has fewer than 2 points");
    case GridProblem::bad_limits:
      break;
  }
  throw InputError("velk-props: velk.inf: the grid of " + name + " is not 0 < Rmin < Rmax");
}

namespace {

// The share of the run's energy tolerance to which the levels of the wave functions are searched.
constexpr double kWaveFunctionTolerance = 0.01;

// The state's curve, once the state is known to have one and a reduced mass to take from it.
CurveDefinition state_curve(const StateInput& state, char letter) {
  const std::string potential_file = trimmed_file_name(state.file);
  if (state.kind == 'd') {
    throw InputError(std::string("velk-props: state ") + letter + " (" + potential_file +
                     ") is given by Dunham coefficients: it has no curve and no wave functions");
  }
  if (state.mass_index < 1 || state.mass_index > 5) {
    throw InputError(std::string("velk-props: velk.inf: the mass index of state ") + letter +
                     " must be 1 to 5, found " + std::to_string(state.mass_index));
  }
  return read_curve_definition(potential_file);
}

}  // namespace

StateWaveFunctions::StateWaveFunctions(const StateInput& state, char letter,
                                       const SolveSettings& settings, const RadialGrid& grid)
    : StateWaveFunctions(state_curve(state, letter), state.mass_index, settings, grid) {}

StateWaveFunctions::StateWaveFunctions(CurveDefinition curve, int32_t mass_index,
                                       const SolveSettings& settings, const RadialGrid& grid)
    : curve_(std::move(curve)),
      settings_(settings),
      grid_(grid),
      toadd_solver_(GridOrientation::forward, throw_on_numerical_failure),
      solver_(settings.orientation, throw_on_numerical_failure),
      fast_(settings.orientation, throw_on_numerical_failure),
      V_(RadialGrid::kSlots),
      Ueff_(RadialGrid::kSlots),
      Ueff_forward_(RadialGrid::kSlots),
      Ueff_toadd_(RadialGrid::kSlots),
      plain_psi_(RadialGrid::kSlots),
      fast_psi_{{std::vector<double>(RadialGrid::kSlots, 0.0), {}},
                {std::vector<double>(RadialGrid::kSlots, -0.0), {}}} {
  fast_psi_[1].psi[0] = 0.0;
  header_ = curve_.checked_header();
  mu_ = header_.masses[static_cast<std::size_t>(mass_index - 1)];
  if (!(mu_ > 0.0)) {
    throw InputError("velk-props: " + trimmed_file_name(curve_.name) + ": reduced mass " +
                     std::to_string(mass_index) + " must be positive");
  }
  build_curve();
}

void StateWaveFunctions::build_curve() {
  // velk's stops before its offset toadd (no well at J = 0 among them), here, so that velk-props
  // stops where velk does; toadd itself waits for a level that needs it.
  const std::string name = trimmed_file_name(curve_.name);
  const PotentialHeader& checked = checked_header(curve_);
  require_positive_mass(name, checked, 1);
  require_representable_Lambda(name, checked);
  PotentialBuilder builder;
  Uinf_ = builder.build(curve_, V_, grid_, BuildOptions{});
  toadd_search_ = toadd_search(V_, Ueff_toadd_, grid_, checked.masses[0], checked.Lambda);
  toadd_.reset();
  prepared_J_.reset();
}

void StateWaveFunctions::use_curve(const CurveDefinition& curve) {
  curve_ = curve;
  build_curve();
}

void StateWaveFunctions::prepare_J(int32_t J) {
  if (prepared_J_ == J) return;
  const int N = grid_.N;
  effective_potential(V_, Ueff_, grid_, mu_, J, header_.Lambda, settings_.orientation);
  window_ = level_window(Ueff_, N, settings_.orientation, Uinf_);
  forward_wave_function(Ueff_, N, settings_.orientation, Ueff_forward_);
  prepared_J_ = J;
}

int StateWaveFunctions::barrier_end() const {
  const int N = grid_.N;
  // Behind a barrier above the limit, the levels between the two are quasi-bound: the count
  // stops at the limit and at the barrier's top point, where the well ends.
  if (window_.Umax > window_.Ulim) {
    for (int i = 1; i <= N; ++i) {
      if (Ueff_forward_[static_cast<std::size_t>(i)] == window_.Umax) return i;
    }
  }
  return N;
}

int32_t StateWaveFunctions::bound_level_count(int32_t J) {
  prepare_J(J);
  if (!window_.has_well()) return 0;
  return count_levels_below(Ueff_forward_, 1, barrier_end(), grid_.h, mu_,
                            std::min(window_.Umax, window_.Ulim));
}

int32_t StateWaveFunctions::quasi_bound_level_count(int32_t J) {
  prepare_J(J);
  if (!window_.has_well() || !(window_.Umax > window_.Ulim)) return 0;
  const int end = barrier_end();
  return count_levels_below(Ueff_forward_, 1, end, grid_.h, mu_, window_.Umax) -
         count_levels_below(Ueff_forward_, 1, end, grid_.h, mu_, window_.Ulim);
}

double StateWaveFunctions::toadd() {
  if (!toadd_) toadd_ = solve_toadd(toadd_solver_, Ueff_toadd_, grid_, toadd_search_);
  return *toadd_;
}

QuantumRange fast_search_range(std::span<const LevelKey> keys) {
  std::vector<int32_t> vs;
  vs.reserve(keys.size());
  for (const LevelKey& key : keys) vs.push_back(key.v);
  std::sort(vs.begin(), vs.end());
  vs.erase(std::unique(vs.begin(), vs.end()), vs.end());
  // The fast search solves every v of its range: a few v far above the others (a hand-edited
  // row) would cost the time of all the v between. Beyond the range the plain search takes
  // them one by one.
  constexpr int64_t kSpreadPerLevel = 4, kSpreadAllowance = 64;
  QuantumRange range{vs.front(), vs.front()};
  for (std::size_t k = 0; k < vs.size(); ++k) {
    const int64_t span = int64_t{vs[k]} - vs.front() + 1;
    if (span > kSpreadPerLevel * static_cast<int64_t>(k + 1) + kSpreadAllowance) break;
    range.last = vs[k];
  }
  return range;
}

void StateWaveFunctions::solve_listed_levels(std::span<const LevelKey> keys, const LevelUse& use) {
  if (keys.empty()) return;
  solve_listed_levels(keys, fast_search_range(keys), use);
}

void StateWaveFunctions::solve_listed_levels(std::span<const LevelKey> keys, const QuantumRange& vs,
                                             const LevelUse& use) {
  if (keys.empty()) return;
  // The keys by J, then v: each J is one fast search, and its levels come in order of v.
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return keys[a].J != keys[b].J ? keys[a].J < keys[b].J : keys[a].v < keys[b].v;
  });
  fast_.begin(grid_, vs);
  std::vector<bool> done(keys.size(), false);
  for (std::size_t begin = 0; begin < order.size();) {
    const int32_t J = keys[order[begin]].J;
    std::size_t end = begin;
    while (end < order.size() && keys[order[end]].J == J) ++end;
    const std::span<const std::size_t> group(order.data() + begin, end - begin);
    begin = end;
    prepare_J(J);
    if (!window_.has_well()) {
      // Without a well there is nothing to search: every level of the J is missing.
      for (const std::size_t k : group) {
        SolvedLevel level;
        level.v = keys[k].v;
        level.J = J;
        level.p = keys[k].p;
        level.Ueff = std::span<const double>(Ueff_forward_);
        use(k, level);
        done[k] = true;
      }
      continue;
    }
    // The fast search ends a level at the step that brings its energy within the tolerance, with
    // the wave function of the energy before that step; the overlaps want the wave function of
    // the level's own energy, so the search here goes on until that step is far below it.
    const FastJRequest request{J,
                               vs,
                               mu_,
                               settings_.tol * kWaveFunctionTolerance,
                               settings_.maxit,
                               window_.Umin,
                               window_.Umax,
                               window_.Ulim};
    fast_.solve_J(Ueff_, request, [&](const FastLevel& found, std::span<const double> Y) {
      const auto first = std::partition_point(group.begin(), group.end(),
                                              [&](std::size_t k) { return keys[k].v < found.v; });
      if (first == group.end() || keys[*first].v != found.v) return;
      const LivePoints live{found.live_first, found.live_last};
      std::span<const double> psi;
      const bool normalised = normalise_fast(Y, live, psi);
      for (auto it = first; it != group.end() && keys[*it].v == found.v; ++it) {
        SolvedLevel level;
        level.v = found.v;
        level.J = J;
        level.p = keys[*it].p;
        level.fast = true;
        level.E_curve = found.E;
        level.results = found.results;
        level.tunnel = found.tunnel;
        finish_level(level, psi, live);
        level.found = level.found && normalised;
        use(*it, level);
        done[*it] = true;
      }
    });
    for (const std::size_t k : group) {
      if (done[k]) continue;
      use(k, solve_plain_level(keys[k].v, J, keys[k].p));
      done[k] = true;
    }
  }
}

SolvedLevel StateWaveFunctions::solve_listed_level(int32_t v, int32_t J, int32_t p) {
  const LevelKey key{v, J, p};
  SolvedLevel solved;
  solve_listed_levels(std::span<const LevelKey>(&key, 1),
                      [&](std::size_t, const SolvedLevel& level) { solved = level; });
  return solved;
}

bool StateWaveFunctions::normalise_fast(std::span<const double> Y, LivePoints live,
                                        std::span<const double>& psi) {
  const std::optional<double> scale = normalising_scale(grid_, Y, live.first, live.last);
  LiveBuffer& buffer = fast_psi_[scale && std::signbit(*scale) ? 1 : 0];
  double* out = buffer.psi.data();
  const double outside = scale ? 0.0 * *scale : 0.0;
  for (int i = buffer.written.first; i <= std::min(buffer.written.last, live.first - 1); ++i) {
    out[i] = outside;
  }
  for (int i = std::max(buffer.written.first, live.last + 1); i <= buffer.written.last; ++i) {
    out[i] = outside;
  }
  if (scale) {
    for (int i = live.first; i <= live.last; ++i) out[i] = Y[static_cast<std::size_t>(i)] * *scale;
  } else {
    for (int i = live.first; i <= live.last; ++i) out[i] = Y[static_cast<std::size_t>(i)];
  }
  buffer.written = live;
  psi = buffer.psi;
  return scale.has_value();
}

void StateWaveFunctions::finish_level(SolvedLevel& level, std::span<const double> psi,
                                      LivePoints live) {
  level.Ueff = std::span<const double>(Ueff_forward_);
  level.E = listed_energy(level.E_curve, header_.Lambda, static_cast<float>(header_.q1),
                          static_cast<float>(header_.q2), level.J, level.p);
  const LevelVerdict verdict = judge_level(level.E, level.v, level.results, window_, settings_.tol);
  level.quasi_bound = verdict.quasi_bound;
  if (!level.quasi_bound) level.tunnel.reset();
  level.found = verdict.found;
  level.psi = psi;
  level.live = live;
}

SolvedLevel StateWaveFunctions::solve_plain_level(int32_t v, int32_t J, int32_t p) {
  prepare_J(J);
  SolvedLevel level;
  level.v = v;
  level.J = J;
  level.p = p;
  level.Ueff = std::span<const double>(Ueff_forward_);
  if (!window_.has_well()) return level;
  const ExactLevel exact =
      solve_exact_level(solver_, Ueff_, grid_, mu_,
                        first_solve(window_, toadd(), v, {settings_.tol, settings_.maxit}),
                        {.whole_wave_function = true});
  level.E_curve = exact.E;
  level.results = exact.results;
  level.tunnel = exact.tunnel;
  forward_wave_function(solver_.Ygrid(), grid_.N, settings_.orientation, plain_psi_);
  finish_level(level, plain_psi_, whole_grid(grid_));
  if (!normalise(grid_, plain_psi_)) level.found = false;
  return level;
}

}  // namespace velk::props
