#include "solver/toadd.h"

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "numlib/constants.h"
#include "solver/effective_potential.h"
#include "solver/landmarks.h"

namespace velk {
namespace {

// The two solves need only a rough energy.
constexpr int32_t kToaddMaxit = 20;
constexpr double kToaddTol = 0.1;

}  // namespace

ToaddSearch toadd_search(std::span<const double> V, std::span<double> Ueff, const RadialGrid& grid,
                         double mu1, int32_t Lambda) {
  effective_potential(V, Ueff, grid, mu1, 0, Lambda, GridOrientation::forward);
  const double limit = Ueff[static_cast<std::size_t>(grid.N)];
  const double Umax = highest_barrier(Ueff, grid.N, limit).Umax;
  const double Umin = lowest_minimum(Ueff, grid.N);
  if (Umax < Umin || grid.N < 3) throw StopRun("Umin >  Umax");
  ToaddSearch search;
  search.mu1 = mu1;
  search.E0 = (Umin + Umax) * 0.5;
  search.dE = (Umax - Umin) * constants::kToaddWindow * 0.5;
  return search;
}

double solve_toadd(RadialSolver& forward, std::span<const double> Ueff, const RadialGrid& grid,
                   const ToaddSearch& search) {
  const double E1 =
      forward.solve(Ueff, grid, search.mu1, {1, search.E0, search.dE, kToaddMaxit, kToaddTol}).E;
  const double E2 =
      forward.solve(Ueff, grid, search.mu1, {2, search.E0, search.dE, kToaddMaxit, kToaddTol}).E;
  const double toadd = (E2 - E1) / 3.0;
  console_line(FreeLine() << E1 << E2 << " toadd ");
  return toadd;
}

}  // namespace velk
