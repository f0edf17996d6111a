#include "spectrum/populations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spectrum/physical_constants.h"

namespace velk::spectrum {
namespace {

std::vector<LevelLine> rigid_rotor(double B, int Jmax) {
  std::vector<LevelLine> levels;
  for (int J = 0; J <= Jmax; ++J) levels.push_back({J + 1, 0, J, 1000.0 + B * J * (J + 1), 1});
  return levels;
}

TEST(Populations, RigidRotorPartitionFunctionAgainstItsHighTemperatureSeries) {
  // Q = kT/(hcB) + 1/3 + hcB/(15 kT) + ... (Mulholland's expansion; the next term is of order
  // (hcB/kT)², here below 1e-6 of Q). Na2 X: B = 0.1547 cm-1 at 500 K; J up to 300 holds
  // everything (the Boltzmann factor of J = 300 is e^-40). The energies carry an offset of
  // 1000 cm-1, which the fractions do not see.
  const double B = 0.1547, T = 500.0;
  const std::vector<LevelLine> levels = rigid_rotor(B, 300);
  const Populations populations(levels, T, {});
  const double x = kSecondRadiation * B / T;
  EXPECT_NEAR(populations.partition_function(), 1.0 / x + 1.0 / 3.0 + x / 15.0, 1e-6 * (1.0 / x));
  double total = 0.0;
  for (const LevelLine& level : levels) total += *populations.fraction(level.v, level.J, level.p);
  EXPECT_NEAR(total, 1.0, 1e-12);
  // The most populated J of a rigid rotor: sqrt(kT/(2hcB)) − 1/2, 27.9 here.
  int best = 0;
  for (int J = 1; J <= 300; ++J) {
    if (*populations.fraction(0, J, 1) > *populations.fraction(0, best, 1)) best = J;
  }
  EXPECT_EQ(best, static_cast<int>(std::lround(std::sqrt(1.0 / (2.0 * x)) - 0.5)));
}

TEST(Populations, SpinWeightsOfEvenAndOddLevels) {
  // Weights 5 and 3 (23Na2, I = 3/2: g_even/g_odd = (I+1)/I for a ¹Σg⁺ ground state, times 3
  // here): the even-J share of the population is 5/8 of the sum at high T, to 1/Q.
  const std::vector<LevelLine> levels = rigid_rotor(0.1547, 300);
  const Populations populations(levels, 500.0, {5.0, 3.0});
  double even = 0.0;
  for (const LevelLine& level : levels) {
    if (level.J % 2 == 0) even += *populations.fraction(0, level.J, 1);
  }
  EXPECT_NEAR(even, 5.0 / 8.0, 1e-3);
  const Populations plain(levels, 500.0, {});
  EXPECT_NEAR(*populations.fraction(0, 20, 1) / *populations.fraction(0, 21, 1),
              5.0 / 3.0 * *plain.fraction(0, 20, 1) / *plain.fraction(0, 21, 1), 1e-12);
}

TEST(Populations, ALambdaDoubledStateCountsBothComponentsOfEveryLevel) {
  // A ¹Π state has two parity components of degeneracy 2J+1 at every J (J ≥ 1), so its
  // rigid-rotor Q is twice Σ over J ≥ 1 of (2J+1)·exp(−x J(J+1)), summed here in closed form,
  // whether the level file lists one component per J or both; and each listed component holds
  // its own share, the same in both files.
  const double B = 0.1547, T = 500.0, x = kSecondRadiation * B / T;
  std::vector<LevelLine> one, both;
  double expected = 0.0;
  for (int J = 1; J <= 300; ++J) {
    const double E = 1000.0 + B * J * (J + 1);
    one.push_back({J, 0, J, E, 1});
    both.push_back({2 * J, 0, J, E, 1});
    both.push_back({2 * J + 1, 0, J, E, 0});
    expected += 2.0 * (2 * J + 1) * std::exp(-x * (J * (J + 1) - 2));
  }
  const Populations from_one(one, T, {}, 1), from_both(both, T, {}, 1);
  EXPECT_NEAR(from_one.partition_function(), expected, 1e-12 * expected);
  EXPECT_NEAR(from_both.partition_function(), expected, 1e-12 * expected);
  EXPECT_NEAR(*from_one.fraction(0, 30, 1), *from_both.fraction(0, 30, 1),
              1e-13 * *from_one.fraction(0, 30, 1));
  EXPECT_DOUBLE_EQ(*from_both.fraction(0, 30, 0), *from_both.fraction(0, 30, 1));
  // A Σ state's listed levels are all there is.
  const Populations sigma(one, T, {});
  EXPECT_NEAR(sigma.partition_function(), 0.5 * expected, 1e-12 * expected);
}

TEST(Populations, LevelsFoundByVJAndParity) {
  const std::vector<LevelLine> levels = {{1, 0, 1, 0.0, 1}, {2, 0, 1, 0.0, 0}, {3, 1, 1, 100.0, 1}};
  const Populations populations(levels, 300.0, {});
  EXPECT_FALSE(populations.fraction(2, 1, 1));
  EXPECT_FALSE(populations.fraction(0, 1, 5));
  EXPECT_DOUBLE_EQ(*populations.fraction(0, 1, std::nullopt), *populations.fraction(0, 1, 1));
  EXPECT_NEAR(*populations.fraction(1, 1, 1) / *populations.fraction(0, 1, 0),
              std::exp(-kSecondRadiation * 100.0 / 300.0), 1e-15);
  EXPECT_THROW(Populations({}, 300.0, {}), std::invalid_argument);
  EXPECT_THROW(Populations(levels, 0.0, {}), std::invalid_argument);
}

}  // namespace
}  // namespace velk::spectrum
