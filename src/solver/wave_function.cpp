#include "solver/wave_function.h"

#include <algorithm>
#include <cmath>

namespace velk {

void forward_wave_function(std::span<const double> Y, int N, GridOrientation orientation,
                           std::span<double> psi) {
  const bool forward = orientation == GridOrientation::forward;
  for (int i = 1; i <= N; ++i) psi[i] = forward ? Y[i] : Y[N + 1 - i];
  psi[0] = 0.0;
}

std::optional<double> normalising_scale(const RadialGrid& grid, std::span<const double> psi,
                                        int first, int last) {
  double sum = 0.0, largest = 0.0;
  for (int i = first; i <= last; ++i) {
    sum += psi[i] * psi[i];
    // As std::fmax for every psi (largest is never NaN), without its call per point.
    largest = std::max(largest, std::fabs(psi[i]));
  }
  if (!(sum > 0.0) || !std::isfinite(sum)) return std::nullopt;
  double scale = 1.0 / std::sqrt(sum * grid.h);
  for (int i = first; i <= last; ++i) {
    if (std::fabs(psi[i]) > 1e-3 * largest) {
      if (psi[i] < 0.0) scale = -scale;
      break;
    }
  }
  return scale;
}

bool normalise(const RadialGrid& grid, std::span<double> psi) {
  const std::optional<double> scale = normalising_scale(grid, psi, 1, grid.N);
  if (!scale) return false;
  for (int i = 1; i <= grid.N; ++i) psi[i] *= *scale;
  return true;
}

}  // namespace velk
