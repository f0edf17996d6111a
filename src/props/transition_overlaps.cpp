#include "props/transition_overlaps.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velk::props {

RadialGrid common_grid(const RadialGrid& a, const RadialGrid& b) {
  if (a.Rmin == b.Rmin && a.Rmax == b.Rmax && a.N == b.N) return a;
  const double Rmin = std::min(a.Rmin, b.Rmin);
  const double Rmax = std::max(a.Rmax, b.Rmax);
  const double h = std::min(a.h, b.h);
  const double steps = (Rmax - Rmin) / h;
  // A step count within rounding of a whole number is that number, not one more.
  const double whole = std::round(steps);
  const double needed = std::fabs(steps - whole) <= 1e-9 * whole ? whole : std::ceil(steps);
  const double N = std::min(needed + 1.0, static_cast<double>(RadialGrid::kCapacity));
  return RadialGrid(Rmin, Rmax, static_cast<int32_t>(N));
}

OverlapFigures overlap_figures(const RadialGrid& grid, std::span<const double> upper,
                               std::span<const double> lower, const MomentTable* moment) {
  double overlap = 0.0, centroid = 0.0, element = 0.0;
  for (int i = 1; i <= grid.N; ++i) {
    const double product = upper[i] * lower[i];
    const double R = grid.R(i);
    overlap += product;
    centroid += product * R;
    if (moment) element += product * (*moment)(R);
  }
  OverlapFigures f;
  f.overlap = overlap * grid.h;
  f.FCF = f.overlap * f.overlap;
  f.r_centroid = overlap != 0.0 ? centroid / overlap : std::numeric_limits<double>::quiet_NaN();
  if (moment) f.moment = element * grid.h;
  return f;
}

}  // namespace velk::props
