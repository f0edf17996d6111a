#include "solver/wall_steps.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "io/formatted_output.h"
#include "io/warning.h"
#include "numlib/constants.h"
#include "solver/landmarks.h"

namespace velk {

namespace {}  // namespace

LargestCoefficient largest_coefficient(std::span<const double> U, const RadialGrid& grid, double mu,
                                       double E) {
  LargestCoefficient largest;
  const double c = grid.h * grid.h * mu * constants::kTwoUOverHbar2;
  for (int i = 1; i <= grid.N && static_cast<std::size_t>(i) < U.size(); ++i) {
    const double T = c * (U[static_cast<std::size_t>(i)] - E) / 12;
    if (T > largest.T) {
      largest.T = T;
      largest.at = i;
    }
    if (T > 1) largest.last_above_one = i;
  }
  return largest;
}

WallStepCheck::WallStepCheck() = default;

void WallStepCheck::check(const LevelTableRequest& request, std::span<const double> V, double mu,
                          int Lambda, const std::string& state) {
  const RadialGrid& grid = request.grid;
  const int N = grid.N;
  if (request.J.last < request.J.first || N < 3 || warned_.count(state) > 0) return;
  fit_grid_slots(U_, N);
  if (V.size() <= static_cast<std::size_t>(N) || U_.size() <= static_cast<std::size_t>(N)) return;
  // The centrifugal term as the effective potential forms it (J(J+1) - Lambda² in wrapping 32-bit
  // arithmetic).
  const int32_t J = request.J.first;
  const auto wrapped =
      static_cast<int32_t>(static_cast<uint32_t>(J) * static_cast<uint32_t>(J + 1) -
                           static_cast<uint32_t>(Lambda) * static_cast<uint32_t>(Lambda));
  const double K = static_cast<double>(wrapped) * constants::kHbar2Over2u;
  for (int i = 1; i <= N; ++i) {
    const double R = grid.R(i);
    U_[static_cast<std::size_t>(i)] = K / (mu * R * R) + V[static_cast<std::size_t>(i)];
  }
  const double Umin = lowest_minimum(U_, N);
  // No interior minimum: the run stops on "Umin >  Umax", which says more.
  if (!(Umin < 1e22)) return;
  const LargestCoefficient largest = largest_coefficient(U_, grid, mu, Umin);
  if (!(largest.T > 1)) return;
  warned_.insert(state);
  // T grows as h²: the step that brings the largest T to 1, and the points that takes.
  const double h_needed = grid.h / std::sqrt(largest.T);
  const double points = std::ceil((grid.Rmax - grid.Rmin) / h_needed) + 1;
  const int start = largest.last_above_one < N ? largest.last_above_one + 1 : N;
  warn(state + ": the Numerov coefficient T = h²·μ·(V − E)/(12 × " +
       printed("%.6f", constants::kHbar2Over2u) + ") reaches " + printed("%.3g", largest.T) +
       " at R = " + printed("%g", grid.R(largest.at)) + " Å (grid " + printed("%g", grid.Rmin) +
       ".." + printed("%g", grid.Rmax) + " Å, " + std::to_string(N) + " points, J=" +
       std::to_string(J) + ", E at the bottom of the well, " + printed("%.6g", Umin) +
       " cm-1); above 1 the recurrence counts nodes the solution does not have, so levels may "
       "carry wrong v or be missing without any other message: start the grid at R = " +
       printed("%.4g", grid.R(start)) + " Å or further out, or use at least " +
       printed("%.0f", points) + " points");
}

}  // namespace velk
