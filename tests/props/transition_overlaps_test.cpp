// Franck-Condon factors of harmonic curves against the Poisson law and against the analytic
// Hermite functions, the sum rule over a complete set of upper levels, and how two grids join.
#include "props/transition_overlaps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "props_test_support.h"

namespace velk::props {
namespace {

using test::CurveLevels;

constexpr double kMu = 11.5;

// V = (k·ω²/4)·(R − Re)²: levels ω(v+½), ψ0 ∝ exp(−α(R−Re)²/2) with α = k·ω/2.
std::function<double(double)> oscillator(double omega, double Re) {
  const double force = test::radial_scale(kMu) * omega * omega / 4.0;
  return [=](double R) { return force * (R - Re) * (R - Re); };
}

// Normalised Hermite function n of exponent α at x, with the sign convention of velk-props (the
// innermost lobe positive: H_n of a large negative argument has the sign (−1)^n).
double hermite_function(int n, double alpha, double x) {
  const double xi = std::sqrt(alpha) * x;
  double previous = 0.0;
  double current = std::pow(alpha / M_PI, 0.25) * std::exp(-xi * xi / 2.0);
  for (int k = 0; k < n; ++k) {
    const double next = std::sqrt(2.0 / (k + 1)) * xi * current -
                        std::sqrt(static_cast<double>(k) / (k + 1)) * previous;
    previous = current;
    current = next;
  }
  return (n % 2 == 0 ? 1.0 : -1.0) * current;
}

TEST(TransitionOverlaps, EqualFrequenciesGiveThePoissonLaw) {
  // Displaced by d = 0.3 Å, the Huang-Rhys factor is S = α·d²/2 and FCF(0 → n) = e^−S·Sⁿ/n!
  // (the displaced ground state is a coherent state of the other oscillator).
  const double omega = 159.0, d = 0.3;
  const RadialGrid grid(1.6, 5.0, 6801);
  CurveLevels lower(grid, kMu, oscillator(omega, 3.08));
  CurveLevels upper(grid, kMu, oscillator(omega, 3.08 + d));
  const double S = test::radial_scale(kMu) * omega / 2.0 * d * d / 2.0;
  const test::CurveLevel ground = lower.level(0);
  double term = std::exp(-S);
  for (int n = 0; n <= 10; ++n) {
    const test::CurveLevel level = upper.level(n);
    ASSERT_EQ(level.node, n);
    const OverlapFigures f = overlap_figures(grid, level.psi, ground.psi, nullptr);
    // Numerov's error in the wave functions (h = 5e-4 Å) is of order 1e-9 of their size.
    EXPECT_NEAR(f.FCF, term, 1e-8) << "n=" << n;
    term *= S / (n + 1);
  }
}

TEST(TransitionOverlaps, DifferentFrequenciesMatchTheHermiteFunctionsAndSumToOne) {
  const double w1 = 159.0, R1 = 3.08, w2 = 117.0, R2 = 3.35;
  const double k = test::radial_scale(kMu);
  const double a1 = k * w1 / 2.0, a2 = k * w2 / 2.0;
  const RadialGrid grid(1.3, 5.5, 8401);
  CurveLevels lower(grid, kMu, oscillator(w1, R1));
  CurveLevels upper(grid, kMu, oscillator(w2, R2));
  std::vector<test::CurveLevel> uppers;
  for (int v = 0; v <= 40; ++v) uppers.push_back(upper.level(v));

  for (int vl = 0; vl <= 2; ++vl) {
    const test::CurveLevel low = lower.level(vl);
    double sum = 0.0, moment = 0.0;
    for (int vu = 0; vu <= 40; ++vu) {
      ASSERT_EQ(uppers[vu].node, vu);
      const OverlapFigures f = overlap_figures(grid, uppers[vu].psi, low.psi, nullptr);
      sum += f.FCF;
      if (vu <= 6) {
        // The closed form: the same overlap of the analytic functions, summed on a grid 20
        // times finer (the integrand is a Gaussian times polynomials: the sum converges faster
        // than any power of the step).
        double exact = 0.0;
        const double step = grid.h / 20.0;
        for (double R = 1.0; R <= 6.0; R += step) {
          exact += hermite_function(vu, a2, R - R2) * hermite_function(vl, a1, R - R1);
        }
        exact *= step;
        EXPECT_NEAR(f.overlap, exact, 1e-8) << "v'=" << vu << " v''=" << vl;
      }
      // Σ over v' of ⟨v'|R|v''⟩⟨v'|v''⟩ is ⟨v''|R|v''⟩ = R1 (closure); r̄·overlap² =
      // ⟨v'|R|v''⟩·overlap.
      moment += f.r_centroid * f.FCF;
    }
    // The 41 upper levels hold all but an exponentially small share of ψ(v'' <= 2), and the
    // upper curve's levels form a complete set on the grid to Numerov's accuracy.
    EXPECT_NEAR(sum, 1.0, 1e-8) << "v''=" << vl;
    EXPECT_NEAR(moment, R1, 1e-7) << "v''=" << vl;
  }
}

TEST(TransitionOverlaps, TheCommonGridSpansBothRangesWithTheFinerStep) {
  const RadialGrid same(2.2, 12.0, 10000);
  const RadialGrid joined_same = common_grid(same, same);
  EXPECT_EQ(joined_same.R0, same.R0);
  EXPECT_EQ(joined_same.h, same.h);
  EXPECT_EQ(joined_same.N, same.N);

  // 1..5 Å by 0.01 and 2..10 Å by 0.005: 1..10 Å by 0.005, 1801 points.
  const RadialGrid a(1.0, 5.0, 401), b(2.0, 10.0, 1601);
  const RadialGrid j = common_grid(a, b);
  EXPECT_EQ(j.Rmin, 1.0);
  EXPECT_EQ(j.Rmax, 10.0);
  EXPECT_EQ(j.N, 1801);
  EXPECT_LE(j.h, b.h * (1 + 1e-15));

  // A step count that is not whole is rounded up: the step never exceeds the finer one.
  const RadialGrid c(1.0, 4.0, 301), d(1.5, 4.3, 1001);  // h = 0.01 and 0.0028
  const RadialGrid k = common_grid(c, d);
  EXPECT_EQ(k.Rmin, 1.0);
  EXPECT_EQ(k.Rmax, 4.3);
  EXPECT_LE(k.h, d.h);
  EXPECT_EQ(k.N, 1180);  // 3.3/0.0028 = 1178.6 steps -> 1179 steps

  // The union at the finer step would need more points than a grid holds: the largest grid.
  const RadialGrid e(1.0, 50.0, 50000), f(0.5, 60.0, 50000);
  const RadialGrid m = common_grid(e, f);
  EXPECT_EQ(m.N, RadialGrid::kCapacity);
  EXPECT_EQ(m.Rmin, 0.5);
  EXPECT_EQ(m.Rmax, 60.0);
}

}  // namespace
}  // namespace velk::props
