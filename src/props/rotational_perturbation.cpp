#include "props/rotational_perturbation.h"

#include <algorithm>
#include <cmath>

#include "numlib/constants.h"

namespace velk::props {
namespace {

double grid_sum(const RadialGrid& grid, int lo, int hi, std::span<const double> a,
                std::span<const double> b, std::span<const double> c) {
  double sum = 0.0;
  for (int i = lo; i <= hi; ++i) sum += a[i] * b[i] * c[i];
  return sum * grid.h;
}

// Removes the component along the normalised psi0, which is zero outside lo..hi.
void orthogonalise(const RadialGrid& grid, int lo, int hi, std::span<const double> psi0,
                   std::span<double> y) {
  double overlap = 0.0;
  for (int i = lo; i <= hi; ++i) overlap += psi0[i] * y[i];
  overlap *= grid.h;
  for (int i = lo; i <= hi; ++i) y[i] -= overlap * psi0[i];
}

}  // namespace

RotationalPerturbation::RotationalPerturbation()
    : T_(RadialGrid::kSlots + 1),
      W_(RadialGrid::kSlots + 1),
      source_(RadialGrid::kSlots + 1),
      psi1_(RadialGrid::kSlots + 1),
      psi2_(RadialGrid::kSlots + 1),
      left_(RadialGrid::kSlots + 1) {}

// Integrates over lo_..hi_, where psi0 and the source are zero at both ends and beyond: y is zero
// up to lo_ and from hi_ on, as the recurrence from the grid ends would leave it.
void RotationalPerturbation::solve_inhomogeneous(const RadialGrid& grid,
                                                 std::span<const double> psi0,
                                                 std::span<double> y) {
  const int lo = lo_, hi = hi_;
  // source_ holds h²·s/12; the points beyond lo..hi stand for the zero outside.
  const auto Q = [&](int i) { return (i < lo || i > hi) ? 0.0 : source_[i]; };
  int m = lo;
  for (int i = lo; i <= hi; ++i) {
    if (std::fabs(psi0[i]) > std::fabs(psi0[m])) m = i;
  }
  // Outward: y(lo - 1) = y(lo) = 0, rows lo..m give y up to m + 1.
  left_[lo - 1] = 0.0;
  left_[lo] = 0.0;
  for (int i = lo; i <= m && i < hi; ++i) {
    const double previous = i > lo ? (1.0 - T_[i - 1]) * left_[i - 1] : 0.0;
    left_[i + 1] =
        (2.0 * (1.0 + 5.0 * T_[i]) * left_[i] - previous + (Q(i + 1) + 10.0 * Q(i) + Q(i - 1))) /
        (1.0 - T_[i + 1]);
  }
  // Inward: y(hi + 1) = y(hi) = 0, rows hi..m+1 give y down to m.
  y[hi] = 0.0;
  for (int i = hi; i > m; --i) {
    const double next = i < hi ? (1.0 - T_[i + 1]) * y[i + 1] : 0.0;
    y[i - 1] = (2.0 * (1.0 + 5.0 * T_[i]) * y[i] - next + (Q(i - 1) + 10.0 * Q(i) + Q(i + 1))) /
               (1.0 - T_[i - 1]);
  }
  const double c = (y[m] - left_[m]) / psi0[m];
  for (int i = lo; i <= m; ++i) y[i] = left_[i] + c * psi0[i];
  orthogonalise(grid, lo, hi, psi0, y);
}

DistortionConstants RotationalPerturbation::solve(const LevelOnGrid& level) {
  const RadialGrid& grid = *level.grid;
  const int N = grid.N;
  // One point of zero beyond each end of the live points, where the integrations start.
  const LivePoints live = level.live.value_or(whole_grid(grid));
  const int lo = std::max(1, live.first - 1), hi = std::min(N, live.last + 1);
  // What the last solve left outside the new points goes back to zero.
  for (int i = lo_; i <= std::min(hi_, lo - 1); ++i) psi1_[i] = psi2_[i] = 0.0;
  for (int i = std::max(lo_, hi + 1); i <= hi_; ++i) psi1_[i] = psi2_[i] = 0.0;
  lo_ = lo;
  hi_ = hi;

  const double k = level.mu * constants::kTwoUOverHbar2;
  const double h2 = grid.h * grid.h / 12.0;
  const double centrifugal = constants::kHbar2Over2u / level.mu;
  std::span<const double> psi0 = level.psi;
  for (int i = lo; i <= hi; ++i) {
    const double R = grid.R(i);
    T_[i] = h2 * k * (level.Ueff[i] - level.E);
    W_[i] = centrifugal / (R * R);
  }
  DistortionConstants d;
  d.Bv = grid_sum(grid, lo, hi, psi0, W_, psi0);

  for (int i = lo; i <= hi; ++i) source_[i] = h2 * k * (W_[i] - d.Bv) * psi0[i];
  solve_inhomogeneous(grid, psi0, psi1_);
  const double E2 = grid_sum(grid, lo, hi, psi0, W_, psi1_);
  d.Dv = -E2;

  for (int i = lo; i <= hi; ++i) {
    source_[i] = h2 * k * ((W_[i] - d.Bv) * psi1_[i] - E2 * psi0[i]);
  }
  solve_inhomogeneous(grid, psi0, psi2_);
  d.Hv = grid_sum(grid, lo, hi, psi0, W_, psi2_);
  return d;
}

}  // namespace velk::props
