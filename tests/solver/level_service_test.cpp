// The level service: the window of a J, the first solve in it, toadd, the exact search with its
// one retry, and the verdict on a finished level. Closed forms from solver_test_grids.h.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "pec/potential_header.h"
#include "solver/effective_potential.h"
#include "solver/exact_level.h"
#include "solver/level_verdict.h"
#include "solver/level_window.h"
#include "solver/solver_test_grids.h"
#include "solver/toadd.h"
#include "solver/wave_function.h"
#include "support/console_capture.h"

namespace velk {
namespace {

using namespace testing_grids;

const Grid kGrid(1.5, 6.0, 2000);

// A Morse well reaches its barrier nowhere inside the grid: Umax is the outer end, Umin 0.
TEST(LevelWindow, IsTheSameOnBothOrientationsAndTakesTheBuildersAsymptote) {
  const std::vector<double> V = tabulate(kGrid, Morse{});
  const LevelWindow forward = level_window(V, kGrid.N, GridOrientation::forward, kUinfUnset);
  const LevelWindow reversed =
      level_window(mirrored(V), kGrid.N, GridOrientation::reversed, kUinfUnset);
  EXPECT_EQ(forward.Ulim, V[kGrid.N]);
  EXPECT_EQ(forward.Umax, V[kGrid.N]);
  EXPECT_LT(forward.Umin, 1e-3);
  EXPECT_EQ(reversed.Ulim, forward.Ulim);
  EXPECT_EQ(reversed.Umax, forward.Umax);
  EXPECT_EQ(reversed.Umin, forward.Umin);
  EXPECT_TRUE(forward.has_well());
  // An asymptote the builder knows, even 0, replaces the grid end as the limit.
  EXPECT_EQ(level_window(V, kGrid.N, GridOrientation::forward, 0.0).Ulim, 0.0);
  const std::vector<double> falling = tabulate(kGrid, [](double R) { return 100.0 / R; });
  EXPECT_FALSE(level_window(falling, kGrid.N, GridOrientation::forward, kUinfUnset).has_well());
}

TEST(LevelWindow, FirstSolveEntersTheMiddleOfTheWindowAboveToadd) {
  const LevelWindow w{100.0, 900.0, 900.0};
  const SolveRequest r = first_solve(w, 50.0, 3, {1e-6, 60});
  // Single-precision 1e-6 is the margin at both ends of [Umin + toadd, Umax].
  EXPECT_DOUBLE_EQ(r.E - r.dE, 150.0 + 9.999999974752427e-07);
  EXPECT_DOUBLE_EQ(r.E + r.dE, 900.0 - 9.999999974752427e-07);
  EXPECT_EQ(r.v, 3);
  EXPECT_EQ(r.maxit, 60);
  EXPECT_EQ(r.tol, 1e-6);
}

// toadd is a third of the spacing of v = 1 and 2: omega/3 for a harmonic well.
TEST(Toadd, IsAThirdOfTheSpacingOfTheFirstLevelsWithItsConsoleLine) {
  const Harmonic well;
  const std::vector<double> V = tabulate(kGrid, well);
  std::vector<double> Ueff(kGrid.N + 1);
  RadialSolver solver = forward_solver();
  test::ConsoleCapture console;
  const double toadd = solve_toadd(solver, Ueff, kGrid, toadd_search(V, Ueff, kGrid, well.mu, 0));
  // E1 and E2 are rough (20 iterations, 0.1 cm-1): 0.5 cm-1 is 0.3 % of toadd, still far below
  // the spacing's dependence on any wrong node count (omega/3 = 167 cm-1 per node).
  EXPECT_NEAR(toadd, well.omega / 3.0, 0.5);
  EXPECT_NE(console.text().find(" toadd \n"), std::string::npos);
}

TEST(Toadd, ACurveWithoutWellStops) {
  const std::vector<double> V = tabulate(kGrid, [](double R) { return 100.0 / R; });
  std::vector<double> Ueff(kGrid.N + 1);
  test::ConsoleCapture console;
  EXPECT_THROW(toadd_search(V, Ueff, kGrid, 1.0, 0), StopRun);
}

struct RetryCase {
  int maxit;
  int solves;
};
class ExactLevelTest : public ::testing::TestWithParam<RetryCase> {};

// A search stopped short is announced and retried once; either way the harmonic level is found
// where the closed form puts it (to the grid's h² error), with a normalised wave function.
TEST_P(ExactLevelTest, RetriesOnceWhenTheCorrectionIsTooLarge) {
  const Harmonic well;
  const std::vector<double> V = tabulate(kGrid, well);
  const LevelWindow w = level_window(V, kGrid.N, GridOrientation::forward, kUinfUnset);
  RadialSolver solver = forward_solver();
  test::ConsoleCapture console;
  const ExactLevel level =
      solve_exact_level(solver, V, kGrid, well.mu, first_solve(w, well.omega / 3, 2, {1e-6, 60}));
  const ExactLevel retried = solve_exact_level(
      solver, V, kGrid, well.mu, first_solve(w, well.omega / 3, 2, {1e-6, GetParam().maxit}));
  EXPECT_EQ(level.solves, 1);
  EXPECT_NEAR(level.E, well.level(2), 0.01);
  EXPECT_EQ(retried.solves, GetParam().solves);
  const bool announced = console.text().find("perhaps better...") != std::string::npos;
  EXPECT_EQ(announced, GetParam().solves == 2);
  EXPECT_EQ(retried.Ein, level.Ein);
  EXPECT_EQ(retried.delE, level.delE);
  std::vector<double> psi(kGrid.N + 1);
  forward_wave_function(solver.Ygrid(), kGrid.N, GridOrientation::forward, psi);
  ASSERT_TRUE(normalise(kGrid, psi));
  double norm = 0.0;
  for (int i = 1; i <= kGrid.N; ++i) norm += psi[i] * psi[i] * kGrid.h;
  EXPECT_NEAR(norm, 1.0, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Limits, ExactLevelTest,
                         ::testing::Values(RetryCase{60, 1}, RetryCase{2, 2}));

TEST(LevelVerdict, FoundNeedsConvergenceTheNodeCountAndAWellBehindTheLimit) {
  const LevelWindow behind_barrier{0.0, 500.0, 400.0}, open{0.0, 400.0, 400.0};
  const SolverResults good{1e-8, 5, 3, 0, 0}, loose{1e-3, 60, 3, 0, 0}, wrong{1e-8, 5, 2, 0, 0};
  EXPECT_TRUE(judge_level(300.0, 3, good, open, 1e-6).found);
  EXPECT_FALSE(judge_level(300.0, 3, loose, open, 1e-6).found);
  EXPECT_FALSE(judge_level(300.0, 3, wrong, open, 1e-6).found);
  const LevelVerdict quasi = judge_level(450.0, 3, good, behind_barrier, 1e-6);
  EXPECT_TRUE(quasi.quasi_bound && quasi.found && !quasi.in_box);
  const LevelVerdict box = judge_level(450.0, 3, good, open, 1e-6);
  EXPECT_TRUE(box.quasi_bound && box.in_box && !box.found);
  // At the limit itself a level is bound.
  EXPECT_FALSE(judge_level(400.0, 3, good, open, 1e-6).quasi_bound);
}

TEST(LevelVerdict, LambdaDoublingShiftsByParityInSinglePrecision) {
  const float q1 = 0.1f, q2 = -0.3f;
  EXPECT_EQ(listed_energy(1000.0, 1, q1, q2, 4, 1), 1000.0 + double{q1} * 20.0);
  EXPECT_EQ(listed_energy(1000.0, 1, q1, q2, 4, 2), 1000.0 + double{q2} * 20.0);
  EXPECT_EQ(listed_energy(1000.0, 0, q1, q2, 4, 1), 1000.0);
  EXPECT_EQ(listed_energy(1000.0, 2, q1, q2, 4, 2), 1000.0);
}

}  // namespace
}  // namespace velk
