// First-order Rydberg-Klein-Rees inversion: the classical turning points R-(v), R+(v) of the curve
// whose first-order (WKB) levels are G(v) and whose classical rotational constants are B(v).
//
//   f(u) = sqrt(ħ²/2μ) ∫_0^u du' / sqrt(G(u) - G(u')),    R+ - R- = 2f,
//   g(u) = sqrt(2μ/ħ²) ∫_0^u B(u') du' / sqrt(G(u) - G(u')),    1/R- - 1/R+ = 2g,
//   R± = sqrt(f² + f/g) ± f,
//
// with u = v + 1/2 and G(0) = 0 at the well's minimum. The square-root singularity at u' = u is
// removed exactly: with u' = u(1 - t²), G(u) - G(u') = t²·Q(t), where for G = sum a_k u^k
//   Q(t) = sum_k a_k u^k (1 + y + ... + y^(k-1)),   y = 1 - t²,
// has no cancellation and no zero on [0, 1] while G rises, so
//   ∫_0^u du' / sqrt(G(u) - G(u')) = ∫_0^1 2u dt / sqrt(Q(t)),
// a smooth integrand that Gauss-Legendre quadrature integrates with exponential convergence.
// Radii in Å, energies in cm-1, reduced mass μ in u.
#pragma once

#include <cmath>
#include <span>
#include <vector>

#include "numlib/constants.h"
#include "rkr/gauss_legendre.h"
#include "rkr/rkr_constants.h"

namespace velk::rkr {

// The two integrals without their mass factors: F in cm^(1/2) (1/sqrt(cm-1)), Gamma in
// cm-1/sqrt(cm-1).
struct RkrIntegrals {
  double F = 0.0, Gamma = 0.0;
};

struct TurningPoints {
  double u = 0.0;  // v + 1/2
  double E = 0.0;  // G(u), cm-1 from the minimum
  double R_inner = 0.0, R_outer = 0.0;
};

// The integrals at u > 0 for the polynomial G (G[k], k >= 1; G[0] ignored) and any rotational
// constant B(u') (a callable), by the rule given. A G that does not rise from u' = 0 to u gives
// a non-positive Q somewhere and a NaN result.
template <class RotationalConstant>
RkrIntegrals rkr_integrals(std::span<const double> G, RotationalConstant&& B, double u,
                           const GaussRule& rule) {
  RkrIntegrals sum;
  const std::size_t n = rule.t.size();
  for (std::size_t i = 0; i < n; ++i) {
    const double t = rule.t[i];
    const double y = 1.0 - t * t;
    double Q = 0.0, partial = 0.0, upow = 1.0;
    for (std::size_t k = 1; k < G.size(); ++k) {
      partial = 1.0 + y * partial;
      upow *= u;
      Q += G[k] * upow * partial;
    }
    const double weight = rule.w[i] * 2.0 * u / std::sqrt(Q);
    sum.F += weight;
    sum.Gamma += weight * B(u * y);
  }
  return sum;
}

// R- and R+ from the integrals and the reduced mass (u).
inline TurningPoints turning_points(const RkrIntegrals& integrals, double mu) {
  const double f = std::sqrt(constants::kHbar2Over2u / mu) * integrals.F;
  const double g = std::sqrt(mu / constants::kHbar2Over2u) * integrals.Gamma;
  const double root = std::sqrt(f * f + f / g);
  return {0.0, 0.0, root - f, root + f};
}

// The equilibrium radius sqrt(ħ²/(2μ B(-1/2))), Å: the common limit of R- and R+ at u = 0.
inline double equilibrium_radius(const RkrConstants& constants, double mu) {
  return std::sqrt(constants::kHbar2Over2u / (mu * constants.rotational_constant(0.0)));
}

// The turning points at each u of `mesh` (all > 0) into `out` (resized to the mesh).
void rkr_turning_points(const RkrConstants& constants, double mu, std::span<const double> mesh,
                        const GaussRule& rule, std::vector<TurningPoints>& out);

}  // namespace velk::rkr
