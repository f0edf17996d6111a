// Bv, Dv and Hv by rotational perturbation theory against the closed forms of the Morse
// oscillator and the Wigner form of the third-order energy. The fit of the levels of J = 0..30,
// the second route, is held against the Na2 curve (na2_rotational_fit_test.cpp).
#include "props/rotational_perturbation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "props/level_properties.h"
#include "props_test_support.h"

namespace velk::props {
namespace {

using test::CurveLevels;

// A Na2-like Morse curve V = De·(1 − exp(−a(R − Re)))² with ωe = 159 cm-1: with k = 2μu/ħ²,
// ωe = 2a·sqrt(De/k) and ωe·xe = a²/k exactly; its J = 0 levels are ωe(v+½) − ωexe(v+½)².
constexpr double kMu = 11.5, kRe = 3.08, kDe = 6000.0, kOmega = 159.0;

struct Morse {
  double k = test::radial_scale(kMu);
  double a = kOmega / (2.0 * std::sqrt(kDe / k));
  double wexe = a * a / k;
  double Be = constants::kHbar2Over2u / (kMu * kRe * kRe);
  double operator()(double R) const {
    const double e = 1.0 - std::exp(-a * (R - kRe));
    return kDe * e * e;
  }
};

RadialGrid morse_grid() {
  return RadialGrid(2.2, 8.0, 11601);  // h = 5e-4 Å
}

DistortionConstants constants_of(CurveLevels& levels, int v, test::CurveLevel& level) {
  level = levels.level(v, 1e-10);
  RotationalPerturbation perturbation;
  return perturbation.solve(
      LevelOnGrid{&levels.grid(), levels.Ueff(), level.psi, level.E, levels.mu()});
}

TEST(RotationalPerturbation, MorseConstantsFollowThePekerisExpansion) {
  const Morse m;
  CurveLevels levels(morse_grid(), kMu, m);
  // Pekeris (Phys. Rev. 45, 98 (1934)) for the Morse curve:
  //   αe = 6·sqrt(ωexe·Be³)/ωe − 6Be²/ωe,   De = 4Be³/ωe²,
  //   βe = De·(8ωexe/ωe − 5αe/Be − αe²ωe/(24Be³)),
  //   Bv = Be − αe(v+½) + γe(v+½)² + ...,   Dv = De + βe(v+½) + δe(v+½)² + ...
  const double alpha =
      6.0 * std::sqrt(m.wexe * m.Be * m.Be * m.Be) / kOmega - 6.0 * m.Be * m.Be / kOmega;
  const double De = 4.0 * m.Be * m.Be * m.Be / (kOmega * kOmega);
  const double beta = De * (8.0 * m.wexe / kOmega - 5.0 * alpha / m.Be -
                            alpha * alpha * kOmega / (24.0 * m.Be * m.Be * m.Be));
  // What Pekeris leaves out is γe(v+½)² in Bv: the residuals of v = 1..10 must be that one
  // term (a wrong Be or αe would leave a constant or linear part), here −1.55e-5·Be·(v+½)².
  std::optional<double> gamma;
  for (const int v : {0, 1, 3, 6, 10}) {
    test::CurveLevel level;
    const DistortionConstants d = constants_of(levels, v, level);
    ASSERT_EQ(level.node, v);
    const double n = v + 0.5;
    EXPECT_NEAR(level.E, kOmega * n - m.wexe * n * n, 1e-6);
    const double residual = (d.Bv - (m.Be - alpha * n)) / (n * n);
    // At v = 0 the term is 4e-6 of Bv: a test of Be itself.
    if (v == 0) {
      EXPECT_NEAR(d.Bv / (m.Be - alpha * n) - 1.0, 0.0, 1e-5);
    }
    if (v > 0) {
      if (!gamma) gamma = residual;
      EXPECT_NEAR(residual / *gamma - 1.0, 0.0, 5e-2) << "v=" << v;
      EXPECT_LT(std::fabs(residual), 2e-5 * m.Be);
    }
    // Dv: the next term, δe(v+½)², is about 5e-5·De·(v+½)² here; v <= 1 leaves it below 1.2e-4.
    if (v <= 1) {
      EXPECT_NEAR(d.Dv / (De + beta * n) - 1.0, 0.0, 2e-4) << "v=" << v;
    }
  }
}

TEST(RotationalPerturbation, HvAgreesWithTheWignerFormOfTheFirstOrderFunction) {
  // Third-order energy two ways: ⟨ψ0|W|ψ2⟩ from the second-order function, and ⟨ψ1|W − Bv|ψ1⟩
  // (Wigner's 2n+1 rule) from the first-order one alone; they differ only by the error of the
  // second inhomogeneous solve.
  const Morse m;
  CurveLevels levels(morse_grid(), kMu, m);
  RotationalPerturbation perturbation;
  for (const int v : {0, 12}) {
    const test::CurveLevel level = levels.level(v, 1e-10);
    const RadialGrid& grid = levels.grid();
    const DistortionConstants d =
        perturbation.solve(LevelOnGrid{&grid, levels.Ueff(), level.psi, level.E, levels.mu()});
    const std::span<const double> psi1 = perturbation.first_order();
    double wigner = 0.0, orthogonality = 0.0;
    for (int i = 1; i <= grid.N; ++i) {
      const double W = constants::kHbar2Over2u / (kMu * grid.R(i) * grid.R(i));
      wigner += psi1[i] * (W - d.Bv) * psi1[i];
      orthogonality += psi1[i] * level.psi[i];
    }
    EXPECT_NEAR(orthogonality * grid.h, 0.0, 1e-12);
    EXPECT_NEAR(wigner * grid.h / d.Hv - 1.0, 0.0, 1e-6) << "v=" << v;
  }
}

}  // namespace
}  // namespace velk::props
