#include "spectrum/honl_london.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velk::spectrum {
namespace {

double log_factorial(int n) {
  return std::lgamma(n + 1.0);
}

// The Wigner 3j symbol (j1 j2 j3; m1 m2 m3) by Racah's sum formula with log-factorials: an
// independent route to the same numbers as the closed forms under test, good to about 1e-13 for
// the small J used here.
double wigner_3j(int j1, int j2, int j3, int m1, int m2, int m3) {
  if (m1 + m2 + m3 != 0 || j3 < std::abs(j1 - j2) || j3 > j1 + j2 || std::abs(m1) > j1 ||
      std::abs(m2) > j2 || std::abs(m3) > j3) {
    return 0.0;
  }
  const double triangle = log_factorial(j1 + j2 - j3) + log_factorial(j1 - j2 + j3) +
                          log_factorial(-j1 + j2 + j3) - log_factorial(j1 + j2 + j3 + 1);
  const double front =
      0.5 * (triangle + log_factorial(j1 + m1) + log_factorial(j1 - m1) + log_factorial(j2 + m2) +
             log_factorial(j2 - m2) + log_factorial(j3 + m3) + log_factorial(j3 - m3));
  double sum = 0.0;
  for (int k = 0; k <= j1 + j2 + j3; ++k) {
    const int d[] = {k,           j1 + j2 - j3 - k, j1 - m1 - k,
                     j2 + m2 - k, j3 - j2 + m1 + k, j3 - j1 - m2 + k};
    bool valid = true;
    for (const int x : d) valid = valid && x >= 0;
    if (!valid) continue;
    double denominator = 0.0;
    for (const int x : d) denominator += log_factorial(x);
    sum += (k % 2 == 0 ? 1.0 : -1.0) * std::exp(front - denominator);
  }
  return ((j1 - j2 - m3) % 2 == 0 ? 1.0 : -1.0) * sum;
}

// The normalisation stated in the header, from the 3j symbol.
double reference(int J_upper, int Lambda_upper, int J_lower, int Lambda_lower) {
  const double three_j =
      wigner_3j(J_upper, 1, J_lower, -Lambda_upper, Lambda_upper - Lambda_lower, Lambda_lower);
  const double factor = (Lambda_upper == 0) != (Lambda_lower == 0) ? 2.0 : 1.0;
  return factor * (2.0 * J_upper + 1.0) * (2.0 * J_lower + 1.0) * three_j * three_j;
}

TEST(HonlLondon, SigmaSigmaGivesJPlusOneAndJ) {
  // The normalisation the factors are defined in: R(J'') = J'' + 1, P(J'') = J'', no Q line.
  for (int J = 0; J <= 60; ++J) {
    EXPECT_DOUBLE_EQ(honl_london({J + 1, J, 0, 0}), J + 1.0) << J;
    EXPECT_EQ(honl_london({J, J, 0, 0}), 0.0) << J;
    if (J > 0) {
      EXPECT_DOUBLE_EQ(honl_london({J - 1, J, 0, 0}), static_cast<double>(J)) << J;
    }
  }
}

TEST(HonlLondon, PiSigmaAgainstTheTabulatedBranchRatios) {
  // Herzberg, Spectra of Diatomic Molecules (1950), table 13, ¹Π–¹Σ with the lower level ¹Σ:
  // R : Q : P = (J''+2) : (2J''+1) : (J''−1), here each with the factor 2/2 of the normalisation
  // (both Λ-components counted, halves of the 3j value). And ¹Σ–¹Π, lower level ¹Π:
  // R : Q : P = J'' : (2J''+1) : (J''+1).
  for (int J = 1; J <= 40; ++J) {
    EXPECT_NEAR(honl_london({J + 1, J, 1, 0}), J + 2.0, 1e-12 * J);
    EXPECT_NEAR(honl_london({J, J, 1, 0}), 2.0 * J + 1.0, 1e-12 * J);
    EXPECT_NEAR(honl_london({J - 1, J, 1, 0}), J - 1.0, 1e-12 * J);
    EXPECT_NEAR(honl_london({J + 1, J, 0, 1}), static_cast<double>(J), 1e-12 * J);
    EXPECT_NEAR(honl_london({J, J, 0, 1}), 2.0 * J + 1.0, 1e-12 * J);
    EXPECT_NEAR(honl_london({J - 1, J, 0, 1}), J + 1.0, 1e-12 * J);
  }
  // Π–Π (Herzberg, same table): R = (J''+2)J''/(J''+1), Q = (2J''+1)/(J''(J''+1)), P =
  // (J''+1)(J''−1)/J'' for one listed line, which joins one parity component of each level (the
  // unresolved Λ-doublet is two such lines). Spot values at J'' = 3: 15/4, 7/12 and 8/3.
  EXPECT_NEAR(honl_london({4, 3, 1, 1}), 15.0 / 4.0, 1e-13);
  EXPECT_NEAR(honl_london({3, 3, 1, 1}), 7.0 / 12.0, 1e-13);
  EXPECT_NEAR(honl_london({2, 3, 1, 1}), 8.0 / 3.0, 1e-13);
}

TEST(HonlLondon, FluorescenceFromPiToSigmaInClosedForm) {
  // Na2 B ¹Πu (6, 27) → X ¹Σg⁺, the lines of examples/na2-lif: R(26) and P(28) out of one
  // parity component of J' = 27, S_R = J' + 1 = J'' + 2 and S_P = J' = J'' − 1, which together
  // are the 2J' + 1 of the one level.
  EXPECT_NEAR(honl_london({27, 26, 1, 0}), 28.0, 1e-12);
  EXPECT_NEAR(honl_london({27, 28, 1, 0}), 27.0, 1e-12);
}

TEST(HonlLondon, AgreesWithTheThreeJSymbolForEveryAllowedLine) {
  // Λ up to 3 (Φ), J'' up to 30, all three branches: the closed forms against Racah's formula.
  // 1e-11 relative: lgamma of arguments up to 64 in the reference loses a few digits.
  for (int Lambda_lower = 0; Lambda_lower <= 3; ++Lambda_lower) {
    for (int q = -1; q <= 1; ++q) {
      const int Lambda_upper = Lambda_lower + q;
      if (Lambda_upper < 0) continue;
      for (int J = Lambda_lower; J <= 30; ++J) {
        for (int dJ = -1; dJ <= 1; ++dJ) {
          const int Jp = J + dJ;
          if (Jp < Lambda_upper || (Jp == 0 && J == 0)) continue;
          const double expected = reference(Jp, Lambda_upper, J, Lambda_lower);
          EXPECT_NEAR(honl_london({Jp, J, Lambda_upper, Lambda_lower}), expected,
                      1e-11 * (1.0 + expected))
              << "L'' " << Lambda_lower << " L' " << Lambda_upper << " J'' " << J << " J' " << Jp;
        }
      }
    }
  }
}

TEST(HonlLondon, LinesOnePhotonCannotMakeHaveNone) {
  EXPECT_EQ(honl_london({12, 10, 0, 0}), 0.0);  // ΔJ = 2
  EXPECT_EQ(honl_london({11, 10, 2, 0}), 0.0);  // ΔΛ = 2
  EXPECT_EQ(honl_london({0, 0, 1, 0}), 0.0);    // J' below Λ'
  EXPECT_EQ(honl_london({1, 0, 0, 1}), 0.0);    // J'' below Λ''
  EXPECT_EQ(honl_london({0, 0, 0, 0}), 0.0);    // 0 – 0
}

}  // namespace
}  // namespace velk::spectrum
