// Franck-Condon factors of harmonic curves against the Poisson law and against the recursion of
// the oscillator overlaps, the sum rule over a complete set of upper levels, and how two grids
// join.
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

// Overlaps I(m, n) = ⟨ψm|φn⟩ of the levels m of an oscillator of exponent α1 centred at 0 and n
// of one of exponent α2 centred at d, by the ladder-operator recursion (Ansbacher, Z. Naturforsch.
// 14a, 889 (1959)): x and d/dx applied to either side give, with A = 1/sqrt(2α1),
// B = 1/sqrt(2α2), a = sqrt(α1/2), b = sqrt(α2/2),
//   A·√(m+1)·I(m+1,n) − B·√(n+1)·I(m,n+1) = B·√n·I(m,n−1) + d·I(m,n) − A·√m·I(m−1,n)
//   a·√(m+1)·I(m+1,n) + b·√(n+1)·I(m,n+1) = b·√n·I(m,n−1) + a·√m·I(m−1,n)
// from I(0,0) = sqrt(2·sqrt(α1α2)/(α1+α2))·exp(−α1α2·d²/(2(α1+α2))). The Hermite functions have
// a positive leading coefficient; velk-props turns level n by (−1)^n (innermost lobe positive).
std::vector<std::vector<double>> oscillator_overlaps(double a1, double a2, double d, int size) {
  std::vector<std::vector<double>> I(size + 1, std::vector<double>(size + 1, 0.0));
  I[0][0] = std::sqrt(2.0 * std::sqrt(a1 * a2) / (a1 + a2)) *
            std::exp(-a1 * a2 * d * d / (2.0 * (a1 + a2)));
  const double A = 1.0 / std::sqrt(2.0 * a1), B = 1.0 / std::sqrt(2.0 * a2);
  const double a = std::sqrt(a1 / 2.0), b = std::sqrt(a2 / 2.0);
  const auto at = [&](int m, int n) { return m < 0 || n < 0 ? 0.0 : I[m][n]; };
  for (int sum = 0; sum < size; ++sum) {
    for (int m = 0; m <= sum; ++m) {
      const int n = sum - m;
      const double r1 =
          B * std::sqrt(n) * at(m, n - 1) + d * I[m][n] - A * std::sqrt(m) * at(m - 1, n);
      const double r2 = b * std::sqrt(n) * at(m, n - 1) + a * std::sqrt(m) * at(m - 1, n);
      const double det = A * b + B * a;
      I[m + 1][n] = (r1 * b + B * r2) / det / std::sqrt(m + 1.0);
      I[m][n + 1] = (A * r2 - a * r1) / det / std::sqrt(n + 1.0);
    }
  }
  for (int m = 0; m <= size; ++m) {
    for (int n = 0; n <= size; ++n) I[m][n] *= (m + n) % 2 == 0 ? 1.0 : -1.0;
  }
  return I;
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

TEST(TransitionOverlaps, DifferentFrequenciesFollowTheLadderRecursionAndSumToOne) {
  const double w1 = 159.0, R1 = 3.08, w2 = 117.0, R2 = 3.35;
  const double k = test::radial_scale(kMu);
  const double a1 = k * w1 / 2.0, a2 = k * w2 / 2.0;
  const RadialGrid grid(1.3, 5.5, 8401);
  CurveLevels lower(grid, kMu, oscillator(w1, R1));
  CurveLevels upper(grid, kMu, oscillator(w2, R2));
  std::vector<test::CurveLevel> uppers;
  for (int v = 0; v <= 40; ++v) uppers.push_back(upper.level(v));

  const std::vector<std::vector<double>> closed = oscillator_overlaps(a1, a2, R2 - R1, 8);
  for (int vl = 0; vl <= 2; ++vl) {
    const test::CurveLevel low = lower.level(vl);
    double sum = 0.0, moment = 0.0;
    for (int vu = 0; vu <= 40; ++vu) {
      ASSERT_EQ(uppers[vu].node, vu);
      const OverlapFigures f = overlap_figures(grid, uppers[vu].psi, low.psi, nullptr);
      sum += f.FCF;
      if (vu <= 6) {
        // Numerov's error in the wave functions (h = 5e-4 Å) is of order 1e-9 of their size.
        const double exact = closed[static_cast<std::size_t>(vl)][static_cast<std::size_t>(vu)];
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
