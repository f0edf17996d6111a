// The figures of a level found by the fast search are worked out on the points where its wave
// function lives: they must be the very numbers (bit for bit, as velk-props prints every digit)
// that the same wave function gives on the whole grid, and the perturbation functions must be zero
// outside those points whatever a wider solve left there before.
#include "props/level_figures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "io/console.h"
#include "props/state_wave_functions.h"

namespace velk::props {
namespace {

struct Case {
  int v, J;
};

class LivePointsFigures : public ::testing::TestWithParam<Case> {};

TEST_P(LivePointsFigures, AreTheWholeGridFiguresBitForBit) {
  set_console_quiet(true);
  StateInput state;
  state.file = VELK_KRATZER_POT;
  state.kind = 'p';
  state.mass_index = 1;
  // The Kratzer levels of v <= 8 live inside 1.45..3.1 Å: a third or more of 1..8 Å is tail
  // beyond e^-36 (the 1/R tail of the curve is long).
  const RadialGrid grid(1.0, 8.0, 20001);
  StateWaveFunctions levels(state, 'B', SolveSettings{60, 1e-6, GridOrientation::forward}, grid);
  const SolvedLevel level = levels.solve_listed_level(GetParam().v, GetParam().J, 1);
  ASSERT_TRUE(level.found);
  ASSERT_TRUE(level.fast);
  const LivePoints live = level.live;
  ASSERT_GE(live.first, 1);
  ASSERT_LE(live.last, grid.N);
  // A restriction worth having, or the test would compare the whole grid with itself.
  EXPECT_LT(live.last - live.first + 1, 2 * grid.N / 3);
  for (int i = 1; i <= grid.N; ++i) {
    if (i < live.first || i > live.last) {
      ASSERT_EQ(level.psi[i], 0.0) << "point " << i;
    }
  }

  SolvedLevel whole = level;
  whole.live = whole_grid(grid);
  RotationalPerturbation perturbation;
  // The whole grid first, so that the restricted solve must clear what it left outside.
  const LevelFigures reference = level_figures(whole, grid, levels.mu(), perturbation);
  const std::vector<double> psi1(perturbation.first_order().begin(),
                                 perturbation.first_order().begin() + grid.N + 1);
  const std::vector<double> psi2(perturbation.second_order().begin(),
                                 perturbation.second_order().begin() + grid.N + 1);
  const LevelFigures figures = level_figures(level, grid, levels.mu(), perturbation);

  EXPECT_EQ(figures.expectations.R_mean, reference.expectations.R_mean);
  EXPECT_EQ(figures.expectations.R2_mean, reference.expectations.R2_mean);
  EXPECT_EQ(figures.expectations.Rinv2_mean, reference.expectations.Rinv2_mean);
  EXPECT_EQ(figures.expectations.Bv, reference.expectations.Bv);
  ASSERT_TRUE(figures.distortion && reference.distortion);
  EXPECT_EQ(figures.distortion->Bv, reference.distortion->Bv);
  EXPECT_EQ(figures.distortion->Dv, reference.distortion->Dv);
  EXPECT_EQ(figures.distortion->Hv, reference.distortion->Hv);
  // Kratzer: Dv > 0 and of the order 4Bv³/ωe² (here some 1e-4 cm-1): a solve that integrated
  // nothing would pass the comparisons above with zeros on both sides.
  EXPECT_GT(figures.distortion->Dv, 0.0);
  for (int i = 1; i <= grid.N; ++i) {
    const bool inside = i >= live.first - 1 && i <= live.last + 1;
    // Inside, the same numbers; outside, zero (the whole-grid solve left signed zeros there).
    ASSERT_EQ(perturbation.first_order()[i], inside ? psi1[i] : 0.0) << "point " << i;
    ASSERT_EQ(perturbation.second_order()[i], inside ? psi2[i] : 0.0) << "point " << i;
  }
}

// The ground level, a level high in the well, and both at a J where the centrifugal term moves the
// outer turning point out.
INSTANTIATE_TEST_SUITE_P(KratzerLevels, LivePointsFigures,
                         ::testing::Values(Case{0, 0}, Case{8, 0}, Case{0, 30}, Case{6, 30}));

}  // namespace
}  // namespace velk::props
