#include "solver/level_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "numlib/constants.h"

namespace velk {
namespace {

// ħ²/(2u) in cm-1·Å²·u, from the program's own constant, so that closed forms and the recurrence
// share the units.
const double kB = 1.0 / constants::kTwoUOverHbar2;

struct Curve {
  std::vector<double> V;  // 1-based
  double h;
  int N;
};

template <class F>
Curve tabulate(double Rmin, double Rmax, int N, F f) {
  Curve c{std::vector<double>(static_cast<std::size_t>(N) + 1, 0.0), (Rmax - Rmin) / (N - 1), N};
  for (int i = 1; i <= N; ++i) c.V[static_cast<std::size_t>(i)] = f(Rmin + (i - 1) * c.h);
  return c;
}

std::vector<double> mirrored(const std::vector<double>& V, int N) {
  std::vector<double> M(V.size(), 0.0);
  for (int i = 1; i <= N; ++i)
    M[static_cast<std::size_t>(i)] = V[static_cast<std::size_t>(N + 1 - i)];
  return M;
}

// Harmonic oscillator, ħω = 100 cm-1 at mu = 10 u: levels at 100(n + 1/2) exactly. Midway between
// two levels (E = 100 n) the count is n; the walls at ±2 Å stand 5900 cm-1 high, so the box shifts
// none of the first twenty levels by a visible amount. Both directions of the grid count alike.
TEST(CountLevelsBelow, HarmonicOscillatorCountsEveryLevelBelowTheEnergy) {
  const double mu = 10.0, w = 100.0;
  const double k = w * w * mu / (2 * kB);
  const Curve c =
      tabulate(0.0, 4.0, 4001, [&](double R) { return 0.5 * k * (R - 2.0) * (R - 2.0); });
  for (int n = 0; n <= 20; ++n) {
    const double E = w * n;
    EXPECT_EQ(count_levels_below(c.V, 1, c.N, c.h, mu, E), n) << "E = " << E;
    EXPECT_EQ(count_levels_below(c.V, c.N, 1, c.h, mu, E), n) << "E = " << E << ", reversed";
  }
}

// Morse curve De = 6000 cm-1, a = 0.85 1/Å, Re = 3.08 Å, mu = 11.49 u: levels
// G(v) = we(v + 1/2) - wexe(v + 1/2)² with we = 2a·sqrt(B·De/mu), wexe = we²/(4De). Below
// De - 100 cm-1 lie v = 0..65 (v = 65 at 103 cm-1 below De, v = 66 at 83 below: the energy sits
// 17 cm-1 from either, far beyond what the grid of 0.0009 Å steps moves them). On the mirrored
// array, counted from its inner wall at index N, the count is the same.
TEST(CountLevelsBelow, MorseCurveMatchesTheClosedFormOnBothOrientations) {
  const double De = 6000.0, a = 0.85, Re = 3.08, mu = 11.494884641;
  const Curve c = tabulate(2.0, 20.0, 20001, [&](double R) {
    const double e = 1.0 - std::exp(-a * (R - Re));
    return De * e * e;
  });
  const double we = 2 * a * std::sqrt(kB * De / mu), wexe = we * we / (4 * De);
  for (double below : {100.0, 1000.0, 3000.0}) {
    const double E = De - below;
    int expected = 0;
    while (we * (expected + 0.5) - wexe * (expected + 0.5) * (expected + 0.5) < E) ++expected;
    EXPECT_EQ(count_levels_below(c.V, 1, c.N, c.h, mu, E), expected) << "E = " << E;
    const std::vector<double> M = mirrored(c.V, c.N);
    EXPECT_EQ(count_levels_below(M, c.N, 1, c.h, mu, E), expected) << "E = " << E << ", mirrored";
  }
  EXPECT_EQ(count_levels_below(c.V, 1, c.N, c.h, mu, 0.5 * we - 1.0), 0);
}

// A Gaussian exp(-x²/(2σ²)) of σ = 0.15 Å centred at 2 Å, the shape of a ground state, sampled on
// grids that hold it whole (its density at 2 Å from the centre is e^-178 of the peak) or cut it.
std::vector<double> gaussian(double Rmin, double Rmax, int N) {
  const double sigma = 0.15;
  std::vector<double> Y(static_cast<std::size_t>(N) + 1, 0.0);
  const double h = (Rmax - Rmin) / (N - 1);
  for (int i = 1; i <= N; ++i) {
    const double x = Rmin + (i - 1) * h - 2.0;
    Y[static_cast<std::size_t>(i)] = std::exp(-x * x / (2 * sigma * sigma));
  }
  return Y;
}

TEST(UndecayedEnds, AFunctionHeldWholeHasDiedOutAtBothEnds) {
  const GridEnds ends = undecayed_ends(gaussian(0.0, 4.0, 2001), 2001);
  EXPECT_FALSE(ends.first);
  EXPECT_FALSE(ends.last);
}

TEST(UndecayedEnds, AGridThatCutsTheFunctionFlagsThatEndOnly) {
  // Cut 0.3 Å (two σ) below the centre: the density there is e^-4 of the peak.
  const GridEnds inner = undecayed_ends(gaussian(1.7, 4.0, 2001), 2001);
  EXPECT_TRUE(inner.first);
  EXPECT_FALSE(inner.last);
  const GridEnds outer = undecayed_ends(gaussian(0.0, 2.3, 2001), 2001);
  EXPECT_FALSE(outer.first);
  EXPECT_TRUE(outer.last);
}

// The judgement is on the density: just above and just below kDecayShare of the peak's square.
// The outermost point holds a pass's tiny start value, so the next one decides.
TEST(UndecayedEnds, TheDensityShareAndTheStartValueDecide) {
  const int N = 11;
  std::vector<double> Y(N + 1, 0.0);
  for (int i = 3; i <= N - 2; ++i) Y[static_cast<std::size_t>(i)] = i == 6 ? -2.0 : 1.0;
  Y[1] = 1e-66;  // start values
  Y[N] = 1e-99;
  const double peak = 2.0;
  Y[2] = 1.1 * peak * std::sqrt(kDecayShare);
  Y[N - 1] = 0.9 * peak * std::sqrt(kDecayShare);
  GridEnds ends = undecayed_ends(Y, N);
  EXPECT_TRUE(ends.first);
  EXPECT_FALSE(ends.last);
  Y[N - 1] = -1.1 * peak * std::sqrt(kDecayShare);  // the sign does not matter
  ends = undecayed_ends(Y, N);
  EXPECT_TRUE(ends.last);
  // A function of zeros or NaN has no shape to judge.
  std::fill(Y.begin(), Y.end(), 0.0);
  ends = undecayed_ends(Y, N);
  EXPECT_FALSE(ends.first || ends.last);
  Y[5] = std::nan("");
  ends = undecayed_ends(Y, N);
  EXPECT_FALSE(ends.first || ends.last);
}

}  // namespace
}  // namespace velk
