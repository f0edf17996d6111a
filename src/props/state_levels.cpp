#include "props/state_levels.h"

#include <cmath>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "numlib/constants.h"
#include "props/level_properties.h"
#include "solver/effective_potential.h"
#include "solver/landmarks.h"
#include "solver/level_driver.h"

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

StateLevels::StateLevels(const StateInput& state, char letter, const SolveSettings& settings,
                         const RadialGrid& grid)
    : potential_file_(trimmed_file_name(state.file)),
      settings_(settings),
      grid_(grid),
      solver_(settings.orientation, throw_on_numerical_failure),
      V_(RadialGrid::kSlots),
      Ueff_(RadialGrid::kSlots),
      Ueff_forward_(RadialGrid::kSlots),
      psi_(RadialGrid::kSlots) {
  if (state.kind == 'd') {
    throw InputError(std::string("velk-props: state ") + letter + " (" + potential_file_ +
                     ") is given by Dunham coefficients: it has no curve and no wave functions");
  }
  if (state.mass_index < 1 || state.mass_index > 5) {
    throw InputError(std::string("velk-props: velk.inf: the mass index of state ") + letter +
                     " must be 1 to 5, found " + std::to_string(state.mass_index));
  }
  header_ = read_potential_header(potential_file_);
  mu_ = header_.masses[static_cast<std::size_t>(state.mass_index - 1)];
  if (!(mu_ > 0.0)) {
    throw InputError("velk-props: " + potential_file_ + ": reduced mass " +
                     std::to_string(state.mass_index) + " must be positive");
  }
  // The level driver's own offset, from the levels v = 1 and 2 of J = 0 on a forward grid.
  LevelDriver driver(DriverOptions{});
  toadd_ = driver.compute_toadd(potential_file_, grid_);
  PotentialBuilder builder;
  Uinf_ = builder.build(potential_file_, header_.pectype, V_, grid_, throw_on_numerical_failure);
}

void StateLevels::prepare_J(int32_t J) {
  if (prepared_J_ == J) return;
  const int N = grid_.N;
  const bool forward = settings_.orientation == GridOrientation::forward;
  effective_potential(V_, Ueff_, grid_, mu_, J, header_.Lambda, settings_.orientation);
  Window w;
  w.Ulim = forward ? Ueff_[static_cast<std::size_t>(N)] : Ueff_[1];
  if (Uinf_ != kUinfUnset) w.Ulim = Uinf_;
  w.Umax = highest_barrier(Ueff_, N, w.Ulim).Umax;
  w.Umin = lowest_minimum(Ueff_, N);
  w.has_well = !(w.Umax < w.Umin);
  window_ = w;
  for (int i = 1; i <= N; ++i) Ueff_forward_[i] = forward ? Ueff_[i] : Ueff_[N + 1 - i];
  prepared_J_ = J;
}

SolvedLevel StateLevels::solve_listed_level(int32_t v, int32_t J, int32_t p) {
  prepare_J(J);
  SolvedLevel level;
  level.v = v;
  level.J = J;
  level.p = p;
  level.Ueff = std::span<const double>(Ueff_forward_);
  if (!window_.has_well) return level;
  const Window& w = window_;
  // The level driver's search: the window [Umin + toadd, Umax] entered at its middle, and once
  // more from where it ended, in a tenth of the window, when the correction is still too large.
  const double Ein = (w.Umin + w.Umax + toadd_) * 0.5;
  const double delE = (w.Umax - w.Umin - toadd_) * 0.5 - constants::kWindowMargin;
  SolveRequest request{v, Ein, delE, settings_.maxit, settings_.tol};
  LevelSolution solution = solver_.solve(Ueff_, grid_, mu_, request);
  std::optional<double> tunnel = solution.tunnel;
  if (!(std::fabs(solution.results.Dcor) <= settings_.tol)) {
    request.E = solution.E;
    request.dE = delE / 10.0;
    solution = solver_.solve(Ueff_, grid_, mu_, request);
    if (solution.tunnel) tunnel = solution.tunnel;
  }
  level.E_curve = solution.E;
  level.E = solution.E;
  if (header_.Lambda == 1) {
    const double q = static_cast<double>(static_cast<float>(p == 1 ? header_.q1 : header_.q2));
    level.E = level.E + q * static_cast<double>(J) * static_cast<double>(J + 1);
  }
  level.results = solution.results;
  level.quasi_bound = level.E > w.Ulim;
  if (level.quasi_bound) level.tunnel = tunnel;
  const bool converged = std::fabs(solution.results.Dcor) <= settings_.tol;
  const bool in_box = level.quasi_bound && !(w.Umax > w.Ulim);
  level.found = converged && solution.results.node == v && !in_box;

  const int N = grid_.N;
  const std::span<const double> Y = solver_.Ygrid();
  const bool forward = settings_.orientation == GridOrientation::forward;
  for (int i = 1; i <= N; ++i) psi_[i] = forward ? Y[i] : Y[N + 1 - i];
  psi_[0] = 0.0;
  if (!normalise(grid_, psi_)) level.found = false;
  level.psi = std::span<const double>(psi_);
  return level;
}

}  // namespace velk::props
