#include "solver/reversed_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "io/errors.h"
#include "numlib/airy.h"
#include "solver/effective_potential.h"
#include "solver/forward_solver.h"
#include "solver/landmarks.h"
#include "solver_test_grids.h"

namespace velk {
namespace {

using testing_grids::driver_window;
using testing_grids::Grid;
using testing_grids::Harmonic;
using testing_grids::mirrored;
using testing_grids::Morse;
using testing_grids::tabulate;

struct Level {
  double E;
  double tunnel;
  SolverResults r;
};

// Solves level v on a mirrored array with the driver's window; the asymptotic end is slot 1.
Level solve_mirrored(ReversedSolver& solver, const std::vector<double>& W, const Grid& g, double mu,
                     int v, double toadd, double tol, char revflag = 'y', int maxit = 100) {
  const double Umin = lowest_minimum(W, g.N);
  const double Umax = highest_barrier(W, g.N, W[1]).Umax;
  const auto w = driver_window(Umin, Umax, toadd);
  Level level{w.E, -1.0, {}};
  level.r.revflag = revflag;
  solver.solve(W, g.R0, g.h, mu, v, level.E, level.tunnel, w.dE, g.N, maxit, tol, level.r);
  return level;
}

Level solve_forward(ForwardSolver& solver, const std::vector<double>& V, const Grid& g, double mu,
                    int v, double toadd, double tol, int maxit = 100) {
  const double Umin = lowest_minimum(V, g.N);
  const double Umax = highest_barrier(V, g.N, V[g.N]).Umax;
  const auto w = driver_window(Umin, Umax, toadd);
  Level level{w.E, -1.0, {}};
  solver.solve(V, g.R0, g.h, mu, v, level.E, level.tunnel, w.dE, g.N, maxit, tol, level.r);
  return level;
}

// Same tolerance reasoning as for the forward solver: 5e-4 cm-1 bounds the Numerov error of
// v <= 20 of this well on 4001 points.
TEST(ReversedSolver, HarmonicLevelsAndNodes) {
  const Harmonic ho;
  const Grid g(2.0, 4.0, 4001);
  const auto W = mirrored(tabulate(g, ho));
  ReversedSolver solver;
  for (int v = 0; v <= 20; ++v) {
    const Level L = solve_mirrored(solver, W, g, ho.mu, v, ho.omega / 3, 1e-6);
    EXPECT_NEAR(L.E, ho.level(v), 5e-4) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    EXPECT_LE(std::abs(L.r.Dcor), 1e-6);
    EXPECT_EQ(L.tunnel, -1.0);
  }
}

// Two ångström of forbidden region on either side of a stiff well (2000 cm-1): the start values
// grow by about e^1360 across them, far beyond the double range, so the solutions survive only
// through the rescaling at Y² > 1e40. Step 5e-4 Å keeps the Numerov error of v <= 5 below 1e-4.
TEST(ReversedSolver, WideForbiddenRegionsAreRescaled) {
  Harmonic ho;
  ho.omega = 2000.0;
  const Grid g(1.0, 5.0, 8001);
  const auto V = mirrored(tabulate(g, ho));
  ReversedSolver solver;
  for (int v : {0, 5}) {
    const Level L = solve_mirrored(solver, V, g, ho.mu, v, ho.omega / 3, 1e-7);
    EXPECT_NEAR(L.E, ho.level(v), 1e-4) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    const auto Y = solver.Ygrid();
    for (int i = 1; i <= g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
  }
}

// Bound Morse levels from the mirrored grid equal those of the forward solver on the same grid to
// within the convergence tolerance (both stop once |Dcor| <= tol; the second-order remainder of
// the last correction is far smaller), and both match the closed form to Numerov accuracy.
TEST(ReversedSolver, AgreesWithForwardSolverOnBoundLevels) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto V = tabulate(g, morse);
  std::vector<double> U(g.N + 1), W(g.N + 1);
  testing::internal::CaptureStdout();
  effective_potential(V, U, morse.mu, g.R0, g.h, g.N, 0, 0, 'n');
  effective_potential(V, W, morse.mu, g.R0, g.h, g.N, 0, 0, 'y');
  testing::internal::GetCapturedStdout();
  const double toadd = (morse.level(2) - morse.level(1)) / 3;
  const double tol = 1e-5;
  ForwardSolver forward;
  ReversedSolver reversed;
  for (int v = 0; v <= 20; ++v) {
    const Level f = solve_forward(forward, U, g, morse.mu, v, toadd, tol);
    const Level r = solve_mirrored(reversed, W, g, morse.mu, v, toadd, tol);
    EXPECT_NEAR(r.E, f.E, tol) << "v=" << v;
    EXPECT_NEAR(r.E, morse.level(v), 1.5e-3) << "v=" << v;
    EXPECT_EQ(r.r.node, v);
    // kleft always describes the small-radius end, which on this curve is the steep inner wall.
    EXPECT_NEAR(r.r.kleft, f.r.kleft, 15) << "v=" << v;
    EXPECT_NEAR(r.r.krigth, f.r.krigth, 30) << "v=" << v;
    EXPECT_LT(r.r.kleft, r.r.krigth);
  }
}

// Rotating Morse curve of the forward tests (J = 180): levels v = 24 .. 29 are held behind the
// centrifugal barrier. With revflag 'y' the outer turning point has the low index, the crossings
// are exchanged, and energy and tunnelling figure equal the forward solver's.
TEST(ReversedSolverQuasiBound, MatchesForwardSolverBehindBarrier) {
  const Morse morse;
  const Grid g(1.8, 20.0, 12000);
  const auto V = tabulate(g, morse);
  std::vector<double> U(g.N + 1), W(g.N + 1);
  testing::internal::CaptureStdout();
  effective_potential(V, U, morse.mu, g.R0, g.h, g.N, 180, 0, 'n');
  effective_potential(V, W, morse.mu, g.R0, g.h, g.N, 180, 0, 'y');
  testing::internal::GetCapturedStdout();
  ForwardSolver forward;
  ReversedSolver reversed;
  for (int v : {24, 27, 29}) {
    const Level f = solve_forward(forward, U, g, morse.mu, v, 40.0, 1e-6);
    const Level r = solve_mirrored(reversed, W, g, morse.mu, v, 40.0, 1e-6);
    EXPECT_GT(r.E, W[1]) << "v=" << v << " lies above the asymptote";
    EXPECT_EQ(r.r.node, v);
    EXPECT_LE(std::abs(r.r.Dcor), 1e-6);
    ASSERT_TRUE(std::isfinite(r.tunnel));
    EXPECT_GT(r.tunnel, 0.0);
    // v = 29 lies 18 cm-1 under the barrier top, where the Airy start values matter; a sign or
    // side error there would move the energy by far more than 1e-4 cm-1.
    EXPECT_NEAR(r.E, f.E, 1e-4) << "v=" << v;
    EXPECT_NEAR(r.tunnel / f.tunnel, 1.0, 1e-4) << "v=" << v;
  }
}

struct MirroredRotating {
  Morse morse;
  Grid g{1.8, 20.0, 12000};
  std::vector<double> W;
  MirroredRotating() : W(g.N + 1, 0.0) {
    const auto V = tabulate(g, morse);
    testing::internal::CaptureStdout();
    effective_potential(V, W, morse.mu, g.R0, g.h, g.N, 180, 0, 'y');
    testing::internal::GetCapturedStdout();
  }
};

// On the mirrored grid index grows toward small R, so the solution from the outer turning point
// starts from Bi((R(k) - Rt)·s) at k = k3 - 1, k3, without the change of sign; later scalings are
// common factors and keep the ratio of the two start values.
TEST(ReversedSolverQuasiBound, OuterSolutionStartsFromBiAtTurningPoint) {
  MirroredRotating c;
  ReversedSolver solver;
  for (int v : {26, 29}) {
    const Level L = solve_mirrored(solver, c.W, c.g, c.morse.mu, v, 40.0, 1e-7);
    double dVt = 0.0;
    int32_t jt = 0;
    const Crossings x = turning_points(c.W, L.E, c.g.N, 'y', dVt, jt);
    ASSERT_GT(x.k3, 1);
    ASSERT_LT(x.k3, x.k1) << "k3 is the large-radius (low index) crossing after the exchange";
    const double s = std::pow(dVt / c.g.h, 0.3333333432674408);
    const double Rt = c.g.R(x.k3) - jt * c.g.h / 100;
    const double expected =
        airy_functions((c.g.R(x.k3) - Rt) * s, throw_on_numerical_failure).bi /
        airy_functions((c.g.R(x.k3 - 1) - Rt) * s, throw_on_numerical_failure).bi;
    const auto Y = solver.Ygrid();
    EXPECT_NEAR(Y[x.k3] / Y[x.k3 - 1], expected, 1e-12 * std::abs(expected)) << "v=" << v;
  }
}

// The outermost maximum (the first one from index 2 on the mirrored grid) is scaled to the
// continuum amplitude sqrt(q/(pi·E)).
TEST(ReversedSolverQuasiBound, OuterAmplitudeIsEnergyNormalised) {
  MirroredRotating c;
  ReversedSolver solver;
  const Level L = solve_mirrored(solver, c.W, c.g, c.morse.mu, 28, 40.0, 1e-6);
  ASSERT_GT(L.E, c.W[1]);
  const auto Y = solver.Ygrid();
  double outer_max = 0.0;
  for (int m = 2; m <= c.g.N - 1; ++m) {
    if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
      outer_max = Y[m];
      break;
    }
  }
  const double q = std::sqrt(c.morse.mu / 16.857629776000977);
  EXPECT_NEAR(outer_max, std::sqrt(q / (3.1415926536 * L.E)), 1e-15);
  for (int i = 1; i <= c.g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
}

// A flag other than 'n' and 'y' runs this solver on an unmirrored grid without exchanging the
// crossings: the well sum of the tunnelling figure is then empty, which gives +inf, never NaN.
TEST(ReversedSolverQuasiBound, UnknownFlagGivesNoNan) {
  MirroredRotating c;
  ReversedSolver solver;
  const Level L = solve_mirrored(solver, c.W, c.g, c.morse.mu, 27, 40.0, 1e-6, 'x');
  EXPECT_FALSE(std::isnan(L.E));
  EXPECT_FALSE(std::isnan(L.tunnel));
}

// --- first bracket: a trial energy below Umin is put on Umin itself ---------------------------

TEST(ReversedSolverBracket, TrialBelowUminMovesOntoIt) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  const auto W = mirrored(tabulate(g, morse));
  const double Umin = lowest_minimum(W, g.N);
  const double dE = 100.0;
  for (int v : {1000, -1}) {
    ReversedSolver solver;
    double E = Umin - 10, tunnel = 0.0;
    SolverResults r;
    r.revflag = 'y';
    solver.solve(W, g.R0, g.h, morse.mu, v, E, tunnel, dE, g.N, 1, 1e-12, r);
    EXPECT_EQ(r.kturn, 1);
    // Bracket [Umin, Umin + dE] around E = Umin: one bisection up, or none to be had downward.
    EXPECT_DOUBLE_EQ(E, v > 0 ? (Umin + (Umin + dE)) / 2 : (Umin + Umin) / 2);
  }
}

TEST(ReversedSolverBracket, TrialAboveEmaxMovesBelowIt) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  const auto W = mirrored(tabulate(g, morse));
  const double Emax = std::max(highest_barrier(W, g.N, W[1]).Umax, W[1]);
  const double dE = 100.0, E0 = Emax - dE;
  ReversedSolver solver;
  double E = Emax + 50, tunnel = 0.0;
  SolverResults r;
  r.revflag = 'y';
  solver.solve(W, g.R0, g.h, morse.mu, 1000, E, tunnel, dE, g.N, 1, 1e-12, r);
  EXPECT_DOUBLE_EQ(E, (E0 + (E0 + dE)) / 2);
}

// --- failures ----------------------------------------------------------------------------------

TEST(ReversedSolver, CurveWithoutWellStops) {
  const Grid g(1.0, 5.0, 200);
  const auto W = mirrored(tabulate(g, [](double R) { return 1000.0 / R; }));
  ReversedSolver solver;
  double E = 100.0, tunnel = 0.0;
  SolverResults r;
  r.revflag = 'y';
  try {
    solver.solve(W, g.R0, g.h, 10.0, 0, E, tunnel, 50.0, g.N, 50, 1e-6, r);
    FAIL() << "expected a stop";
  } catch (const StopRun& stop) {
    EXPECT_EQ(std::string(stop.what()), "Umin >  Umax");
  }
}

TEST(ReversedSolver, InwardPassWithoutMaximumReportsRigthError) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto W = mirrored(tabulate(g, morse));
  ReversedSolver solver;
  solve_mirrored(solver, W, g, morse.mu, 3, 50.0, 1e-5);
  const int32_t kmatch = solver.kmatch();
  ASSERT_GT(kmatch, 2);

  const double Umin = lowest_minimum(W, g.N);
  double E = Umin - 5.0, tunnel = -1.0;
  SolverResults r;
  r.revflag = 'y';
  testing::internal::CaptureStdout();
  solver.solve(W, g.R0, g.h, morse.mu, 0, E, tunnel, 1e-3, g.N, 30, 1e-6, r);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(" rigth error\n"), std::string::npos);
  EXPECT_EQ(solver.kmatch(), kmatch);
  EXPECT_TRUE(std::isfinite(E));
  EXPECT_TRUE(std::isfinite(r.Dcor));
  EXPECT_EQ(tunnel, -1.0);
}

TEST(ReversedSolver, NanCorrectionEndsAtIterationLimit) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  auto W = mirrored(tabulate(g, morse));
  W[500] = std::nan("");
  ReversedSolver solver;
  double E = 3000.0, tunnel = 0.0;
  SolverResults r;
  r.revflag = 'y';
  testing::internal::CaptureStdout();
  solver.solve(W, g.R0, g.h, morse.mu, 5, E, tunnel, 2900.0, g.N, 30, 1e-6, r);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(r.kturn, 30);
}

}  // namespace
}  // namespace velk
