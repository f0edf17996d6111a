#include "solver/wave_function.h"

#include <cmath>

namespace velk {

void forward_wave_function(std::span<const double> Y, int N, GridOrientation orientation,
                           std::span<double> psi) {
  const bool forward = orientation == GridOrientation::forward;
  for (int i = 1; i <= N; ++i) psi[i] = forward ? Y[i] : Y[N + 1 - i];
  psi[0] = 0.0;
}

bool normalise(const RadialGrid& grid, std::span<double> psi) {
  const int N = grid.N;
  double sum = 0.0, largest = 0.0;
  for (int i = 1; i <= N; ++i) {
    sum += psi[i] * psi[i];
    largest = std::fmax(largest, std::fabs(psi[i]));
  }
  if (!(sum > 0.0) || !std::isfinite(sum)) return false;
  double scale = 1.0 / std::sqrt(sum * grid.h);
  for (int i = 1; i <= N; ++i) {
    if (std::fabs(psi[i]) > 1e-3 * largest) {
      if (psi[i] < 0.0) scale = -scale;
      break;
    }
  }
  for (int i = 1; i <= N; ++i) psi[i] *= scale;
  return true;
}

}  // namespace velk
