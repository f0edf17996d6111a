#include "solver/landmarks.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "numlib/constants.h"
#include "pec/radial_grid.h"

namespace velk {

namespace {}  // namespace

double lowest_minimum(std::span<const double> V, int N) {
  require_grid_slots(V.size(), N, "lowest_minimum");
  const double* v = V.data();
  double Umin = constants::kNoMinimum;
  for (int i = 2; i <= N - 1; ++i) {
    if (v[i] < v[i - 1] && v[i] < v[i + 1] && v[i] < Umin) Umin = v[i];
  }
  return Umin;
}

Barrier highest_barrier(std::span<const double> V, int N, double Vref) {
  require_grid_slots(V.size(), N, "highest_barrier");
  const double* v = V.data();
  Barrier b{0.0, 0};
  for (int i = 2; i <= N - 1; ++i) {
    if (v[i] > Vref && v[i] > v[i - 1] && v[i] > v[i + 1]) {
      ++b.nbar;
      if (v[i] > b.Umax) b.Umax = v[i];
    }
  }
  if (b.nbar == 0) b.Umax = Vref;
  return b;
}

Crossings turning_points(std::span<const double> V, double E, int N, GridOrientation orientation,
                         double& dVt, int32_t& jt) {
  require_grid_slots(V.size(), N, "turning_points");
  const double* v = V.data();
  Crossings c;
  for (int i = 2; i <= N; ++i) {
    if ((v[i - 1] - E) * (v[i] - E) < 0.0) {
      if (c.k1 > 0 && c.k2 > 0) {
        c.k3 = i;
      } else if (c.k1 > 0) {
        c.k2 = i;
      } else {
        c.k1 = i;
      }
    }
  }
  if (c.k3 == 0) return c;
  if (orientation == GridOrientation::reversed) std::swap(c.k1, c.k3);

  const double top = v[c.k3];
  const double d = std::abs(top - v[c.k3 - 1]);
  dVt = d;
  const auto L = [&](int m) { return (top - static_cast<double>(m) * d / 100) - E; };
  // A crossing lies within one step of point k3, so the sign change appears between m = 100 and
  // m = -100. The bound only matters when rounding at the very end of the interval (or a
  // non-finite value) hides it; the end of the interval on the crossing's side is then taken.
  int m = 100;
  while (m > -100 && L(m - 1) * L(m) > 0.0) --m;
  if (m == -100 && !(L(m - 1) * L(m) <= 0.0) && top > v[c.k3 - 1]) m = 100;
  jt = orientation == GridOrientation::reversed ? m - 1 : m;
  return c;
}

}  // namespace velk
