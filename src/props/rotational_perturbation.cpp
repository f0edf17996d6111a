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
  // source_ holds h²·s/12; the points just beyond lo..hi stand for the zero outside.
  const double* T = T_.data();
  double* Q = source_.data();
  Q[lo - 1] = 0.0;
  Q[hi + 1] = 0.0;
  int m = lo;
  for (int i = lo; i <= hi; ++i) {
    if (std::fabs(psi0[i]) > std::fabs(psi0[m])) m = i;
  }
  // Outward: y(lo - 1) = y(lo) = 0, rows lo..m give y up to m + 1. Inward: y(hi + 1) = y(hi) = 0,
  // rows hi..m+1 give y down to m. Each row waits on its division: the two recurrences advance
  // side by side so that one's division runs while the other's waits.
  double* left = left_.data();
  double* right = y.data();
  left[lo] = 0.0;
  right[hi] = 0.0;
  const int out_last = std::min(m, hi - 1);
  int i = lo, j = hi;
  const auto outward_row = [&](int r) {
    const double previous = r > lo ? (1.0 - T[r - 1]) * left[r - 1] : 0.0;
    left[r + 1] =
        (2.0 * (1.0 + 5.0 * T[r]) * left[r] - previous + (Q[r + 1] + 10.0 * Q[r] + Q[r - 1])) /
        (1.0 - T[r + 1]);
  };
  const auto inward_row = [&](int r) {
    const double next = r < hi ? (1.0 - T[r + 1]) * right[r + 1] : 0.0;
    right[r - 1] =
        (2.0 * (1.0 + 5.0 * T[r]) * right[r] - next + (Q[r - 1] + 10.0 * Q[r] + Q[r + 1])) /
        (1.0 - T[r - 1]);
  };
  for (; i <= out_last && j > m; ++i, --j) {
    outward_row(i);
    inward_row(j);
  }
  for (; i <= out_last; ++i) outward_row(i);
  for (; j > m; --j) inward_row(j);
  const double c = (y[m] - left_[m]) / psi0[m];
  for (int i = lo; i <= m; ++i) y[i] = left_[i] + c * psi0[i];
  orthogonalise(grid, lo, hi, psi0, y);
}

DistortionConstants RotationalPerturbation::solve(const LevelOnGrid& level) {
  return solve(level, whole_grid(*level.grid));
}

DistortionConstants RotationalPerturbation::solve(const LevelOnGrid& level, LivePoints live) {
  const RadialGrid& grid = *level.grid;
  const int N = grid.N;
  // One point of zero beyond each end of the live points, where the integrations start.
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
  // W depends on the grid and the mass alone: formed once for the levels that share them.
  if (W_grid_.N != grid.N || W_grid_.R0 != grid.R0 || W_grid_.h != grid.h || W_mu_ != level.mu) {
    for (int i = 1; i <= N; ++i) {
      const double R = grid.R(i);
      W_[i] = centrifugal / (R * R);
    }
    W_grid_ = grid;
    W_mu_ = level.mu;
  }
  for (int i = lo; i <= hi; ++i) T_[i] = h2 * k * (level.Ueff[i] - level.E);
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
