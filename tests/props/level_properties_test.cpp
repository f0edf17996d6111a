// Expectation values and turning points of harmonic-oscillator levels in R against their closed
// forms.
#include "props/level_properties.h"

#include <gtest/gtest.h>

#include <cmath>

#include "props_test_support.h"

namespace velk::props {
namespace {

using test::CurveLevels;

// A Na2-like oscillator: ωe = 159 cm-1, μ = 11.5 u, Re = 3.08 Å. With k = 2μu/ħ², the curve
// V = (k·ωe²/4)·(R − Re)² has the levels ωe(v + ½) and ψ0 ∝ exp(−α x²/2), α = k·ωe/2, so that
// ⟨x²⟩ = σ²(2v+1), ⟨x⁴⟩ = 3σ⁴(2v²+2v+1), ⟨x⁶⟩ = 5σ⁶(4v³+6v²+8v+3) with σ² = 1/(2α).
constexpr double kOmega = 159.0, kMu = 11.5, kRe = 3.08;

struct Oscillator {
  double k = test::radial_scale(kMu);
  double alpha = k * kOmega / 2.0;
  double sigma2 = 1.0 / (2.0 * alpha);
  double force = k * kOmega * kOmega / 4.0;  // V = force·x²
};

TEST(LevelProperties, HarmonicOscillatorExpectationsMatchTheMomentSeries) {
  const Oscillator o;
  const RadialGrid grid(kRe - 1.2, kRe + 1.2, 4801);  // about ±12σ, h = 5e-4 Å
  CurveLevels levels(grid, kMu, [&](double R) { return o.force * (R - kRe) * (R - kRe); });
  for (int v = 0; v <= 3; ++v) {
    const test::CurveLevel level = levels.level(v);
    ASSERT_EQ(level.node, v);
    // Numerov's error in the eigenvalue is of order h⁴·k²·ωe³ ~ 1e-8 cm-1.
    EXPECT_NEAR(level.E, kOmega * (v + 0.5), 1e-6);
    const Expectations e = expectation_values(grid, level.psi, kMu);
    const double s2 = o.sigma2, vv = v;
    const double x2 = s2 * (2 * vv + 1);
    const double x4 = 3 * s2 * s2 * (2 * vv * vv + 2 * vv + 1);
    const double x6 = 5 * s2 * s2 * s2 * (4 * vv * vv * vv + 6 * vv * vv + 8 * vv + 3);
    const double x8 =
        s2 * s2 * s2 * s2 *
        (70 * vv * vv * vv * vv + 140 * vv * vv * vv + 350 * vv * vv + 280 * vv + 105);
    const double Re2 = kRe * kRe;
    // The odd moments vanish: ⟨R⟩ = Re, ⟨R²⟩ = Re² + ⟨x²⟩ exactly.
    EXPECT_NEAR(e.R_mean, kRe, 1e-10);
    EXPECT_NEAR(e.R2_mean, Re2 + x2, 1e-10);
    // 1/(Re+x)² = Re⁻²·Σ (n+1)(−x/Re)^n, with ⟨x⁸⟩ = σ⁸(70v⁴+140v³+350v²+280v+105); the first
    // term left out, 11⟨x¹⁰⟩/Re¹⁰, is below 5e-9 of the sum for v <= 3 (σ²/Re² = 9.7e-4).
    const double Re4 = Re2 * Re2;
    const double series =
        (1 + 3 * x2 / Re2 + 5 * x4 / Re4 + 7 * x6 / (Re4 * Re2) + 9 * x8 / (Re4 * Re4)) / Re2;
    EXPECT_NEAR(e.Rinv2_mean / series - 1.0, 0.0, 1e-8) << "v=" << v;
    EXPECT_NEAR(e.Bv, constants::kHbar2Over2u / kMu * e.Rinv2_mean, 1e-15);

    // Turning points at x = ±sqrt(E/force); the linear interpolation of a parabola between grid
    // points is off by at most h²·V''/(8·V') ~ 1e-7 Å here.
    const TurningPointPair t = turning_points_of(grid, levels.Ueff(), level.E);
    const double xt = std::sqrt(level.E / o.force);
    ASSERT_TRUE(t.inner && t.outer);
    EXPECT_NEAR(*t.inner, kRe - xt, 1e-6);
    EXPECT_NEAR(*t.outer, kRe + xt, 1e-6);
  }
}

TEST(LevelProperties, TurningPointsOfALevelBehindABarrierStopAtTheBarrier) {
  // U rises from a well to a barrier of 10 at R = 3 and falls to 0 beyond: a level at 5 has its
  // outer point on the inner side of the barrier, where 10·(1 − (R−3)²) = 5, R = 3 − sqrt(0.5).
  const RadialGrid grid(1.0, 5.0, 40001);
  std::vector<double> U(40002, 0.0);
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    U[i] = R < 2.0 ? 100.0 * (2.0 - R) : 10.0 * (1.0 - (R - 3.0) * (R - 3.0));
  }
  const TurningPointPair t = turning_points_of(grid, U, 5.0);
  ASSERT_TRUE(t.inner && t.outer);
  EXPECT_NEAR(*t.inner, 1.95, 1e-9);  // linear there: exact
  EXPECT_NEAR(*t.outer, 3.0 - std::sqrt(0.5), 1e-8);
  // No wall on the grid: no inner point, and then no outer one either.
  EXPECT_FALSE(turning_points_of(grid, U, 200.0).inner);
}

}  // namespace
}  // namespace velk::props
