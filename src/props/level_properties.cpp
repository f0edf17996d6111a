#include "props/level_properties.h"

#include <cmath>

#include "numlib/constants.h"

namespace velk::props {

Expectations expectation_values(const RadialGrid& grid, std::span<const double> psi, double mu,
                                LivePoints live) {
  double r1 = 0.0, r2 = 0.0, rm2 = 0.0;
  for (int i = live.first; i <= live.last; ++i) {
    const double R = grid.R(i);
    const double density = psi[i] * psi[i];
    r1 += density * R;
    r2 += density * R * R;
    rm2 += density / (R * R);
  }
  Expectations e;
  e.R_mean = r1 * grid.h;
  e.R2_mean = r2 * grid.h;
  e.Rinv2_mean = rm2 * grid.h;
  e.Bv = constants::kHbar2Over2u / mu * e.Rinv2_mean;
  return e;
}

Expectations expectation_values(const RadialGrid& grid, std::span<const double> psi, double mu) {
  return expectation_values(grid, psi, mu, whole_grid(grid));
}

TurningPointPair turning_points_of(const RadialGrid& grid, std::span<const double> Ueff, double E) {
  TurningPointPair points;
  const auto crossing = [&](int i) {
    // Between points i-1 and i, where Ueff - E changes sign.
    const double a = Ueff[i - 1] - E, b = Ueff[i] - E;
    return grid.R(i - 1) + grid.h * a / (a - b);
  };
  int i = 2;
  for (; i <= grid.N; ++i) {
    if (Ueff[i - 1] > E && Ueff[i] <= E) {
      points.inner = crossing(i);
      break;
    }
  }
  // A curve already below E at its first point has its wall off the grid: no inner point.
  for (++i; i <= grid.N && points.inner; ++i) {
    if (Ueff[i - 1] <= E && Ueff[i] > E) {
      points.outer = crossing(i);
      break;
    }
  }
  return points;
}

}  // namespace velk::props
