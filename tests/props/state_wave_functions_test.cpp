// The levels of a level file solved again J by J: every key answered once, in any order, against
// the closed form of the Kratzer curve, whose levels are known for every v and J.
#include "props/state_wave_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "io/console.h"
#include "numlib/constants.h"

namespace velk::props {
namespace {

// V = De (1 - Rm/R)² with the centrifugal term is a Coulomb problem of angular momentum l,
// l(l+1) = J(J+1) + De·Rm²/b with b = ħ²/(2μ):  E(v, J) = De − (De·Rm)² / (b·(v + l + 1)²).
// De = 10000 cm-1, Rm = 2 Å, μ = 7.5 u: the curve of kratzer.pot.
double kratzer_energy(int v, int J) {
  const double De = 10000.0, Rm = 2.0;
  const double b = constants::kHbar2Over2u / 7.5;
  const double l = -0.5 + std::sqrt(0.25 + J * (J + 1.0) + De * Rm * Rm / b);
  const double n = v + l + 1.0;
  return De - (De * Rm) * (De * Rm) / (b * n * n);
}

TEST(StateWaveFunctions, AnswersEveryKeyOnceInAnyOrderWithTheClosedFormEnergies) {
  set_console_quiet(true);
  StateInput state;
  state.file = VELK_KRATZER_POT;
  state.kind = 'p';
  state.mass_index = 1;
  // v <= 8 lies below 1300 cm-1, inside 1.45..3.1 Å: the grid holds every tail.
  const RadialGrid grid(1.0, 8.0, 20001);
  const double tol = 1e-6;
  StateWaveFunctions levels(state, 'B', SolveSettings{60, tol, GridOrientation::forward}, grid);
  // A level file's rows in no particular order: J falling and rising, v skipped, one level in
  // both parities, and one v that the grid cannot hold (the levels accumulate below De, but the
  // grid's end at 8 Å, where U = 5625 cm-1, closes the well above v ≈ 67).
  const std::vector<LevelKey> keys = {{3, 2, 1}, {0, 0, 1}, {8, 5, 1}, {200, 2, 1}, {1, 2, 0},
                                      {1, 2, 1}, {0, 5, 1}, {2, 0, 1}, {7, 0, 1},   {0, 2, 1}};
  std::vector<int> answered(keys.size(), 0);
  std::vector<double> energy(keys.size(), 0.0);
  std::vector<std::vector<double>> psi(keys.size());
  levels.solve_listed_levels(keys, [&](std::size_t k, const SolvedLevel& level) {
    ASSERT_LT(k, keys.size());
    ++answered[k];
    EXPECT_EQ(level.v, keys[k].v);
    EXPECT_EQ(level.J, keys[k].J);
    EXPECT_EQ(level.p, keys[k].p);
    if (!level.found) return;
    energy[k] = level.E;
    psi[k].assign(level.psi.begin(), level.psi.begin() + grid.N + 1);
    double norm = 0.0;
    for (int i = 1; i <= grid.N; ++i) norm += level.psi[i] * level.psi[i];
    EXPECT_NEAR(norm * grid.h, 1.0, 1e-12) << "v=" << level.v << " J=" << level.J;
  });
  for (std::size_t k = 0; k < keys.size(); ++k) {
    EXPECT_EQ(answered[k], 1) << "key " << k;
    if (keys[k].v == 200) {
      EXPECT_EQ(energy[k], 0.0) << "v=200 is not a level of the grid";
      continue;
    }
    // Measured at most 5.5e-9 cm-1 (v = 8, J = 5): the Numerov error of the step 3.5e-4 Å and
    // what the fast search leaves after its last Newton step (about its square over the
    // spacing). Held to 5e-8, far inside the tolerance of 1e-6 cm-1 that a search stopping at
    // the tolerance (the plain one, half a Newton step a time) would use up.
    EXPECT_NEAR(energy[k], kratzer_energy(keys[k].v, keys[k].J), 5e-8)
        << "v=" << keys[k].v << " J=" << keys[k].J;
  }
  // Rows that differ only in parity share one solve (Lambda = 0: no doubling term).
  EXPECT_EQ(energy[4], energy[5]);
  EXPECT_EQ(psi[4], psi[5]);
  // A level asked for alone, with no neighbours to start from, is the same level within the
  // tolerance of both searches.
  const SolvedLevel alone = levels.solve_listed_level(3, 2, 1);
  ASSERT_TRUE(alone.found);
  EXPECT_NEAR(alone.E, energy[0], 2 * tol);
}

}  // namespace
}  // namespace velk::props
