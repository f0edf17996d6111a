// Figures of a finished solution: the energy normalisation and tunnelling figure of a quasi-bound
// level, and the flat-step counts at the grid ends.
//
// Arrays are raw pointers to 1-based grid arrays. Energies in cm-1, h in Å, mu in u.
#pragma once

#include <cmath>
#include <cstdint>

#include "numlib/constants.h"

namespace velk::numerov {

// Slope below which a step of the scaled wave function counts as flat (per Å).
inline constexpr double kFlatSlope = 0.001;

// Scales a quasi-bound wave function to the energy normalisation of a continuum function,
// Y·f/Ymax with f = sqrt(q/(π·E)). f is real only for E > 0 (energies counted from the
// dissociation limit); for E <= 0, a non-finite f or Ymax = 0 the wave function keeps the scaling
// it had at the joint rather than being filled with NaN.
inline void scale_quasibound(double* Y, int N, double E, double mu, double Ymax) {
  if (!(E > 0) || Ymax == 0.0) return;
  const double q = std::sqrt(mu / constants::kHbar2Over2uSingle);
  const double f = std::sqrt(q / (constants::kPiNormalisation * E));
  if (!std::isfinite(f)) return;
  for (int i = 1; i <= N; ++i) Y[i] = Y[i] * f / Ymax;
}

// Tunnelling figure G/τ: τ = h·q·Σ 1/sqrt|E - V| over the well (tau_from .. tau_to), and
// G = exp(-2·q·h·B) with B = Σ sqrt|V - E| over the barrier (b_from .. b_to). B is accumulated in
// single precision and G rounded to single precision: the printed figure depends on both.
inline double tunnel_figure(const double* V, double E, double h, double mu, int tau_from,
                            int tau_to, int b_from, int b_to) {
  const double q = std::sqrt(mu / constants::kHbar2Over2uSingle);
  double sum = 0.0;
  for (int m = tau_from; m <= tau_to; ++m) sum += 1 / std::sqrt(std::abs(E - V[m]));
  const double tau = h * q * sum;
  float B = 0.0f;
  for (int m = b_from; m <= b_to; ++m) {
    B = static_cast<float>(static_cast<double>(B) + std::sqrt(std::abs(V[m] - E)));
  }
  const float G = static_cast<float>(std::exp(-(2 * q * h * static_cast<double>(B))));
  return static_cast<double>(G) / tau;
}

// Consecutive flat steps from the start of the grid upward (j = 2, 3, ...) and from point n
// downward; a function flat over the whole range gives n - 1.
inline int32_t flat_steps_from_first(const double* Y, int n, double h) {
  int32_t count = 0;
  for (int j = 2; j <= n && std::abs(Y[j] - Y[j - 1]) / h < kFlatSlope; ++j) ++count;
  return count;
}
inline int32_t flat_steps_from_last(const double* Y, int n, double h) {
  int32_t count = 0;
  for (int m = n; m >= 2 && std::abs(Y[m] - Y[m - 1]) / h < kFlatSlope; --m) ++count;
  return count;
}

}  // namespace velk::numerov
