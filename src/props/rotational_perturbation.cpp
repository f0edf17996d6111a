#include "props/rotational_perturbation.h"

#include <cmath>

#include "numlib/constants.h"

namespace velk::props {
namespace {

double grid_sum(const RadialGrid& grid, std::span<const double> a, std::span<const double> b,
                std::span<const double> c) {
  double sum = 0.0;
  for (int i = 1; i <= grid.N; ++i) sum += a[i] * b[i] * c[i];
  return sum * grid.h;
}

// Removes the component along the normalised psi0.
void orthogonalise(const RadialGrid& grid, std::span<const double> psi0, std::span<double> y) {
  double overlap = 0.0;
  for (int i = 1; i <= grid.N; ++i) overlap += psi0[i] * y[i];
  overlap *= grid.h;
  for (int i = 1; i <= grid.N; ++i) y[i] -= overlap * psi0[i];
}

}  // namespace

RotationalPerturbation::RotationalPerturbation()
    : T_(RadialGrid::kSlots + 1),
      W_(RadialGrid::kSlots + 1),
      source_(RadialGrid::kSlots + 1),
      psi1_(RadialGrid::kSlots + 1),
      psi2_(RadialGrid::kSlots + 1),
      left_(RadialGrid::kSlots + 1) {}

void RotationalPerturbation::solve_inhomogeneous(const LevelOnGrid& level, std::span<double> y) {
  const RadialGrid& grid = *level.grid;
  const int N = grid.N;
  std::span<const double> psi0 = level.psi;
  // source_ holds h²·s/12; slots 0 and N + 1 stand for the zero beyond the grid ends.
  const auto Q = [&](int i) { return (i < 1 || i > N) ? 0.0 : source_[i]; };
  int m = 1;
  for (int i = 1; i <= N; ++i) {
    if (std::fabs(psi0[i]) > std::fabs(psi0[m])) m = i;
  }
  // Outward: y(0) = y(1) = 0, rows 1..m give y up to m + 1.
  left_[0] = 0.0;
  left_[1] = 0.0;
  for (int i = 1; i <= m && i < N; ++i) {
    const double previous = i > 1 ? (1.0 - T_[i - 1]) * left_[i - 1] : 0.0;
    left_[i + 1] =
        (2.0 * (1.0 + 5.0 * T_[i]) * left_[i] - previous + (Q(i + 1) + 10.0 * Q(i) + Q(i - 1))) /
        (1.0 - T_[i + 1]);
  }
  // Inward: y(N + 1) = y(N) = 0, rows N..m+1 give y down to m.
  y[N] = 0.0;
  for (int i = N; i > m; --i) {
    const double next = i < N ? (1.0 - T_[i + 1]) * y[i + 1] : 0.0;
    y[i - 1] = (2.0 * (1.0 + 5.0 * T_[i]) * y[i] - next + (Q(i - 1) + 10.0 * Q(i) + Q(i + 1))) /
               (1.0 - T_[i - 1]);
  }
  const double c = (y[m] - left_[m]) / psi0[m];
  for (int i = 1; i <= m; ++i) y[i] = left_[i] + c * psi0[i];
  orthogonalise(grid, psi0, y);
}

DistortionConstants RotationalPerturbation::solve(const LevelOnGrid& level) {
  const RadialGrid& grid = *level.grid;
  const int N = grid.N;
  const double k = level.mu * constants::kTwoUOverHbar2;
  const double h2 = grid.h * grid.h / 12.0;
  const double centrifugal = constants::kHbar2Over2u / level.mu;
  std::span<const double> psi0 = level.psi;
  for (int i = 1; i <= N; ++i) {
    const double R = grid.R(i);
    T_[i] = h2 * k * (level.Ueff[i] - level.E);
    W_[i] = centrifugal / (R * R);
  }
  DistortionConstants d;
  d.Bv = grid_sum(grid, psi0, W_, psi0);

  for (int i = 1; i <= N; ++i) source_[i] = h2 * k * (W_[i] - d.Bv) * psi0[i];
  solve_inhomogeneous(level, psi1_);
  const double E2 = grid_sum(grid, psi0, W_, psi1_);
  d.Dv = -E2;

  for (int i = 1; i <= N; ++i) {
    source_[i] = h2 * k * ((W_[i] - d.Bv) * psi1_[i] - E2 * psi0[i]);
  }
  solve_inhomogeneous(level, psi2_);
  d.Hv = grid_sum(grid, psi0, W_, psi2_);
  return d;
}

}  // namespace velk::props
