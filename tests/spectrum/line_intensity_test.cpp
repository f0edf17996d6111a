#include "spectrum/line_intensity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "spectrum/honl_london.h"

namespace velk::spectrum {
namespace {

TEST(EinsteinA, AgainstTheHandbookConstant) {
  // A = 3.136189e-7 ν³ |M|² s⁻¹ (ν in cm-1, M in D) for a line that takes the whole strength
  // (Hilborn, Am. J. Phys. 50, 982 (1982), eq. 13 and its table). 2e-7 relative: a little more
  // than half a unit of the seventh digit given there.
  EXPECT_NEAR(einstein_A(10000.0, 1.0, 0, 1.0), 3.136189e-7 * 1e12, 2e-7 * 3.136189e5);
  // The P and R lines of one ¹Σ level together carry the whole strength (S summed over J'' is
  // 2J' + 1), so the level's total A is the handbook value for any J'.
  double total = 0.0;
  const int Jp = 20;
  for (const int Jpp : {19, 21})
    total += einstein_A(14680.0, honl_london({Jp, Jpp, 0, 0}), Jp, 6.0);
  EXPECT_NEAR(total, 3.136189e-7 * 14680.0 * 14680.0 * 14680.0 * 36.0, 1e-6 * total);
}

// Exact fractions for the squares of Clebsch–Gordan coefficients, which are rational.
struct Fraction {
  __int128 num = 0, den = 1;
};

__int128 gcd(__int128 a, __int128 b) {
  if (a < 0) a = -a;
  while (b != 0) {
    const __int128 r = a % b;
    a = b;
    b = r < 0 ? -r : r;
  }
  return a == 0 ? 1 : a;
}

Fraction reduced(__int128 num, __int128 den) {
  if (den < 0) num = -num, den = -den;
  const __int128 g = gcd(num, den);
  return {num / g, den / g};
}

Fraction operator+(Fraction a, Fraction b) {
  const __int128 g = gcd(a.den, b.den);
  return reduced(a.num * (b.den / g) + b.num * (a.den / g), a.den / g * b.den);
}

Fraction operator*(Fraction a, Fraction b) {
  const Fraction x = reduced(a.num, b.den), y = reduced(b.num, a.den);
  return {x.num * y.num, x.den * y.den};
}

__int128 factorial(int n) {
  __int128 f = 1;
  for (int k = 2; k <= n; ++k) f *= k;
  return f;
}

// ⟨j1 m1; j2 m2 | J M⟩² by Racah's formula, in exact arithmetic: the factor under the root times
// the square of the alternating sum.
Fraction clebsch_gordan_squared(int j1, int m1, int j2, int m2, int J, int M) {
  if (m1 + m2 != M || J < std::abs(j1 - j2) || J > j1 + j2 || std::abs(m1) > j1 ||
      std::abs(m2) > j2 || std::abs(M) > J) {
    return {0, 1};
  }
  Fraction root = reduced(
      (2 * J + 1) * factorial(j1 + j2 - J) * factorial(j1 - j2 + J) * factorial(-j1 + j2 + J),
      factorial(j1 + j2 + J + 1));
  root = root * Fraction{factorial(j1 + m1) * factorial(j1 - m1) * factorial(j2 + m2) *
                             factorial(j2 - m2) * factorial(J + M) * factorial(J - M),
                         1};
  Fraction sum;
  for (int k = 0; k <= j1 + j2 + J; ++k) {
    const int d[] = {k,           j1 + j2 - J - k, j1 - m1 - k,
                     j2 + m2 - k, J - j2 + m1 + k, J - j1 - m2 + k};
    if (std::any_of(std::begin(d), std::end(d), [](int x) { return x < 0; })) continue;
    __int128 denominator = 1;
    for (const int x : d) denominator *= factorial(x);
    sum = sum + Fraction{k % 2 == 0 ? 1 : -1, denominator};
  }
  return root * sum * sum;
}

// The share of the band strength that one upper level (one parity component) radiates, over
// 2J' + 1, from the Λ-components alone: a parity component is an equal mixture of the |Λ'| and
// −|Λ'| components, the lower parity components of each J'' are a complete set of its Λ''
// components, and each pair (λ', λ'') with |λ' − λ''| ≤ 1 radiates
// Σ over J'' of (2J''+1)⟨J'' λ''; 1 λ'−λ'' | J' λ'⟩².
Fraction upper_level_share(int J_upper, int Lambda_upper, int Lambda_lower) {
  const std::vector<int> upper =
      Lambda_upper == 0 ? std::vector<int>{0} : std::vector<int>{Lambda_upper, -Lambda_upper};
  const std::vector<int> lower =
      Lambda_lower == 0 ? std::vector<int>{0} : std::vector<int>{Lambda_lower, -Lambda_lower};
  Fraction total;
  for (const int lu : upper) {
    for (const int ll : lower) {
      if (std::abs(lu - ll) > 1) continue;
      for (int J = std::max(0, J_upper - 1); J <= J_upper + 1; ++J) {
        total =
            total + Fraction{2 * J + 1, 1} * clebsch_gordan_squared(J, ll, 1, lu - ll, J_upper, lu);
      }
    }
  }
  return total * Fraction{1, static_cast<__int128>(upper.size()) * (2 * J_upper + 1)};
}

struct LambdaPair {
  const char* name;
  int Lambda_upper, Lambda_lower;
  // The branches of the lines out of one upper parity component: parity allows P and R, or Q
  // alone, out of a Π level to a Σ state; every branch otherwise (Σ–Σ has no Q line at all).
  std::vector<std::vector<int>> line_sets;  // ΔJ'' = J'' − J' of each line
  double stated_strength;                   // g of the guide: 2 for Σ over Λ > 0, else 1
};

void PrintTo(const LambdaPair& pair, std::ostream* out) {
  *out << pair.name;
}

class UpperLevelSumRule : public ::testing::TestWithParam<LambdaPair> {};

TEST_P(UpperLevelSumRule, AOfOneUpperLevelAddUpToTheBandValue) {
  // The A's of the lines out of one upper level, at one ν and M, against 3.136189e-7·ν³·M² times
  // the level's share computed above; the share is also the guide's g.
  const LambdaPair& pair = GetParam();
  const double nu = 15000.0, M = 2.5;
  const double band = 3.136189e-7 * nu * nu * nu * M * M;
  for (int Jp = std::max(pair.Lambda_upper, 1); Jp <= 8; ++Jp) {
    const Fraction share = upper_level_share(Jp, pair.Lambda_upper, pair.Lambda_lower);
    EXPECT_TRUE(share.num == static_cast<__int128>(pair.stated_strength) && share.den == 1)
        << pair.name << " J' " << Jp;
    for (const std::vector<int>& lines : pair.line_sets) {
      double total = 0.0;
      for (const int step : lines) {
        const int Jpp = Jp + step;
        total +=
            einstein_A(nu, honl_london({Jp, Jpp, pair.Lambda_upper, pair.Lambda_lower}), Jp, M);
      }
      EXPECT_NEAR(total, band * static_cast<double>(share.num) / static_cast<double>(share.den),
                  2e-7 * total)
          << pair.name << " J' " << Jp;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryLambdaPair, UpperLevelSumRule,
                         ::testing::Values(LambdaPair{"SigmaSigma", 0, 0, {{-1, 1}}, 1.0},
                                           LambdaPair{"PiSigma", 1, 0, {{-1, 1}, {0}}, 1.0},
                                           LambdaPair{"SigmaPi", 0, 1, {{-1, 0, 1}}, 2.0},
                                           LambdaPair{"PiPi", 1, 1, {{-1, 0, 1}}, 1.0},
                                           LambdaPair{"DeltaPi", 2, 1, {{-1, 0, 1}}, 1.0}),
                         [](const ::testing::TestParamInfo<LambdaPair>& info) {
                           return info.param.name;
                         });

TEST(LineIntensity, AbsorptionAndEmissionForms) {
  LineFactors line{15000.0, 11.0, 11, 10, std::nullopt, 0.25, 0.01};
  const IntensityRequest absorption{SpectrumMode::Absorption, false};
  // ν · S · FCF · N''/(2J''+1)
  EXPECT_DOUBLE_EQ(*line_intensity(line, absorption), 15000.0 * 11.0 * 0.25 * 0.01 / 21.0);
  line.moment = 2.0;  // the moment, when there, replaces the FCF
  EXPECT_DOUBLE_EQ(*line_intensity(line, absorption), 15000.0 * 11.0 * 4.0 * 0.01 / 21.0);
  line.lower_fraction.reset();
  EXPECT_FALSE(line_intensity(line, absorption));
  const double nu4 = 15000.0 * 15000.0 * 15000.0 * 15000.0;
  EXPECT_DOUBLE_EQ(*line_intensity(line, {SpectrumMode::Emission, false}), nu4 * 11.0 / 23.0 * 4.0);
  EXPECT_DOUBLE_EQ(*line_intensity(line, {SpectrumMode::Emission, true}),
                   nu4 / 15000.0 * 11.0 / 23.0 * 4.0);
  line.moment.reset();
  line.FCF.reset();
  EXPECT_EQ(vibrational_factor(line), 1.0);
}

}  // namespace
}  // namespace velk::spectrum
