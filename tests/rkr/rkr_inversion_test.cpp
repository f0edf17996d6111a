// The RKR inversion against oscillators whose classical turning points are known in closed form,
// and the convergence of its quadrature.
//
// Morse, V = De(1 - exp(-a(R - Re)))²: the classical action gives G(u) = ωe u - ωexe u² exactly,
// ωe = 2a·sqrt(K·De), ωexe = a²K, K = ħ²/(2μ) (cm-1 Å²); R± = Re - ln(1 ∓ sqrt(E/De))/a. Its
// classical B(E) = K<R^-2> over the orbit is computed here independently of the inversion, as an
// average over the orbit's phase: with y = exp(-a(R - Re)) = 1 + s·cos θ, s = sqrt(E/De),
// dR/sqrt(E - V) ∝ dθ/y, an analytic periodic integrand that the trapezium rule resolves to
// rounding.
// Kratzer, V = De(1 - Re/R)²: G(u) = De(1 - (1 + x)^-2), B(u) = Be(1 + x)^-3, x = u/sqrt(De/Be),
// Be = K/Re² (the classical action of a Coulomb term with a 1/R² term), R± = Re/(1 ∓ s); both
// given to the inversion as their Dunham series (k <= 50), which converge for x < 1.
#include "rkr/rkr_inversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "numlib/constants.h"
#include "numlib/ipow.h"
#include "rkr/rkr_test_support.h"

namespace velk::rkr {
namespace {

struct Morse {
  double De, a, Re, mu;
  double K() const { return constants::kHbar2Over2u / mu; }
  double we() const { return 2.0 * a * std::sqrt(K() * De); }
  double wexe() const { return a * a * K(); }
  double inner(double E) const { return Re - std::log1p(std::sqrt(E / De)) / a; }
  double outer(double E) const { return Re - std::log1p(-std::sqrt(E / De)) / a; }
  // K<1/R²> over the classical orbit at energy E.
  double classical_B(double E) const {
    const double s = std::sqrt(E / De);
    constexpr int kPhases = 2000;
    double weighted = 0.0, total = 0.0;
    for (int i = 0; i < kPhases; ++i) {
      const double theta = std::numbers::pi * (i + 0.5) / kPhases;
      const double y = 1.0 + s * std::cos(theta);
      const double R = Re - std::log(y) / a;
      weighted += 1.0 / (y * R * R);
      total += 1.0 / y;
    }
    return K() * weighted / total;
  }
};

// Random Morse oscillators from light hydrides to heavy dimers, 40 levels or more up to 90 % of
// the well; every turning point within 1e-8 Å.
TEST(RkrInversion, MorseTurningPointsUpToNinetyPercentOfTheWell) {
  std::mt19937_64 random(20260432);
  std::uniform_real_distribution<double> depth(3000.0, 40000.0), range(0.8, 2.2), radius(1.0, 4.0),
      mass(0.9, 60.0);
  const GaussRule rule = gauss_legendre_unit(64);
  for (int trial = 0; trial < 12; ++trial) {
    const Morse m{depth(random), range(random), radius(random), mass(random)};
    const std::vector<double> G = {0.0, m.we(), -m.wexe()};
    const double u_top =
        (m.we() - std::sqrt(m.we() * m.we() - 4.0 * m.wexe() * 0.9 * m.De)) / (2.0 * m.wexe());
    for (double share : {0.001, 0.05, 0.3, 0.6, 0.85, 1.0}) {
      const double u = share * u_top;
      const double E = m.we() * u - m.wexe() * u * u;
      const auto B = [&](double w) { return m.classical_B(m.we() * w - m.wexe() * w * w); };
      const TurningPoints p = turning_points(rkr_integrals(G, B, u, rule), m.mu);
      EXPECT_NEAR(p.R_inner, m.inner(E), 1e-8) << "trial " << trial << ", E/De = " << E / m.De;
      EXPECT_NEAR(p.R_outer, m.outer(E), 1e-8) << "trial " << trial << ", E/De = " << E / m.De;
    }
  }
}

// Random Kratzer oscillators up to half the well, as Dunham coefficients.
TEST(RkrInversion, KratzerTurningPointsFromItsDunhamSeries) {
  std::mt19937_64 random(4320);
  std::uniform_real_distribution<double> depth(2000.0, 60000.0), radius(0.9, 4.0), mass(0.9, 60.0);
  const GaussRule rule = gauss_legendre_unit(64);
  for (int trial = 0; trial < 12; ++trial) {
    const double De = depth(random), Re = radius(random), mu = mass(random);
    const double Be = constants::kHbar2Over2u / (mu * Re * Re);
    const double uc = std::sqrt(De / Be);
    RkrConstants c;
    c.G.assign(DunhamCoefficients::kRows, 0.0);
    c.B.assign(DunhamCoefficients::kRows, 0.0);
    for (int k = 0; k < DunhamCoefficients::kRows; ++k) {
      const double sign = k % 2 == 0 ? 1.0 : -1.0;
      if (k > 0) c.G[k] = -sign * De * (k + 1) / ipow(uc, k);
      c.B[k] = sign * Be * (k + 1) * (k + 2) / 2.0 / ipow(uc, k);
    }
    EXPECT_NEAR(equilibrium_radius(c, mu), Re, 1e-12 * Re);
    for (double x : {0.002, 0.05, 0.2, 0.35, 0.41}) {
      const double u = x * uc;
      std::vector<TurningPoints> points;
      rkr_turning_points(c, mu, std::vector<double>{u}, rule, points);
      const double E = De * (1.0 - 1.0 / ((1.0 + x) * (1.0 + x)));
      const double s = std::sqrt(E / De);
      EXPECT_NEAR(points[0].E, E, 1e-9 * De);
      EXPECT_NEAR(points[0].R_inner, Re / (1.0 + s), 1e-8) << "trial " << trial << ", x " << x;
      EXPECT_NEAR(points[0].R_outer, Re / (1.0 - s), 1e-8) << "trial " << trial << ", x " << x;
    }
  }
}

// The quadrature converges: on the Na2 X constants at v = 0, 20 and 40 the turning points of
// successive orders approach those of order 200 and agree with them to 1e-10 relative from
// order 24 on, while order 2 is still off by 1e-9 or more (the integrand is smooth, not
// polynomial).
TEST(RkrInversion, QuadratureConvergesToTenDigitsAsTheOrderGrows) {
  const RkrConstants c = na2x_constants();
  const double mu = kNa2ReducedMass;
  const GaussRule reference_rule = gauss_legendre_unit(200);
  for (const double u : {0.5, 20.5, 40.5}) {
    std::vector<TurningPoints> reference, trial;
    rkr_turning_points(c, mu, std::vector<double>{u}, reference_rule, reference);
    const auto error = [&](int order) {
      rkr_turning_points(c, mu, std::vector<double>{u}, gauss_legendre_unit(order), trial);
      return std::max(std::fabs(trial[0].R_inner / reference[0].R_inner - 1.0),
                      std::fabs(trial[0].R_outer / reference[0].R_outer - 1.0));
    };
    EXPECT_GT(error(2), 1e-9) << "u = " << u;
    for (const int order : {24, 32, 64, 128}) EXPECT_LT(error(order), 1e-10) << "u = " << u;
  }
}

}  // namespace
}  // namespace velk::rkr
