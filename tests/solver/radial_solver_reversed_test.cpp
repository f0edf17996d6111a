#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "io/errors.h"
#include "numlib/airy.h"
#include "solver/effective_potential.h"
#include "solver/landmarks.h"
#include "solver/radial_solver.h"
#include "solver_test_grids.h"

namespace velk {
namespace {

using testing_grids::driver_window;
using testing_grids::forward_solver;
using testing_grids::Grid;
using testing_grids::Harmonic;
using testing_grids::mirrored;
using testing_grids::Morse;
using testing_grids::reversed_solver;
using testing_grids::tabulate;
using testing_grids::take;

using testing_grids::Level;

// The asymptotic end of a mirrored array is slot 1.
Level solve_mirrored(RadialSolver& solver, const std::vector<double>& W, const Grid& g, double mu,
                     int v, double toadd, double tol, int maxit = 100) {
  return testing_grids::solve_in_driver_window(solver, GridOrientation::reversed, W, g, mu, v,
                                               toadd, tol, maxit);
}

Level solve_forward(RadialSolver& solver, const std::vector<double>& V, const Grid& g, double mu,
                    int v, double toadd, double tol, int maxit = 100) {
  return testing_grids::solve_in_driver_window(solver, GridOrientation::forward, V, g, mu, v, toadd,
                                               tol, maxit);
}

// Same tolerance reasoning as for the forward solver: 5e-4 cm-1 bounds the Numerov error of
// v <= 20 of this well on 4001 points.
TEST(ReversedSolver, HarmonicLevelsAndNodes) {
  const Harmonic ho;
  const Grid g(2.0, 4.0, 4001);
  const auto W = mirrored(tabulate(g, ho));
  RadialSolver solver = reversed_solver();
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
  RadialSolver solver = reversed_solver();
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
  effective_potential(V, U, g, morse.mu, 0, 0, GridOrientation::forward);
  effective_potential(V, W, g, morse.mu, 0, 0, GridOrientation::reversed);
  testing::internal::GetCapturedStdout();
  const double toadd = (morse.level(2) - morse.level(1)) / 3;
  const double tol = 1e-5;
  RadialSolver forward = forward_solver();
  RadialSolver reversed = reversed_solver();
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
  effective_potential(V, U, g, morse.mu, 180, 0, GridOrientation::forward);
  effective_potential(V, W, g, morse.mu, 180, 0, GridOrientation::reversed);
  testing::internal::GetCapturedStdout();
  RadialSolver forward = forward_solver();
  RadialSolver reversed = reversed_solver();
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
    effective_potential(V, W, g, morse.mu, 180, 0, GridOrientation::reversed);
    testing::internal::GetCapturedStdout();
  }
};

// On the mirrored grid index grows toward small R, so the solution from the outer turning point
// starts from Bi((R(k) - Rt)·s) at k = k3 - 1, k3, without the change of sign; later scalings are
// common factors and keep the ratio of the two start values.
TEST(ReversedSolverQuasiBound, OuterSolutionStartsFromBiAtTurningPoint) {
  MirroredRotating c;
  RadialSolver solver = reversed_solver();
  for (int v : {26, 29}) {
    const Level L = solve_mirrored(solver, c.W, c.g, c.morse.mu, v, 40.0, 1e-7);
    double dVt = 0.0;
    int32_t jt = 0;
    const Crossings x = turning_points(c.W, L.E, c.g.N, GridOrientation::reversed, dVt, jt);
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
  RadialSolver solver = reversed_solver();
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

// --- first bracket: a trial energy below Umin is put on Umin itself ---------------------------

TEST(ReversedSolverBracket, TrialBelowUminMovesOntoIt) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  const auto W = mirrored(tabulate(g, morse));
  const double Umin = lowest_minimum(W, g.N);
  const double dE = 100.0;
  for (int v : {1000, -1}) {
    RadialSolver solver = reversed_solver();
    double E = Umin - 10, tunnel = 0.0;
    SolverResults r;
    take(solver.solve(W, g, morse.mu, {v, E, dE, 1, 1e-12}), E, tunnel, r);
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
  RadialSolver solver = reversed_solver();
  double E = Emax + 50, tunnel = 0.0;
  SolverResults r;
  take(solver.solve(W, g, morse.mu, {1000, E, dE, 1, 1e-12}), E, tunnel, r);
  EXPECT_DOUBLE_EQ(E, (E0 + (E0 + dE)) / 2);
}

// --- failures ----------------------------------------------------------------------------------

TEST(ReversedSolver, CurveWithoutWellStops) {
  const Grid g(1.0, 5.0, 200);
  const auto W = mirrored(tabulate(g, [](double R) { return 1000.0 / R; }));
  RadialSolver solver = reversed_solver();
  double E = 100.0, tunnel = 0.0;
  SolverResults r;
  try {
    take(solver.solve(W, g, 10.0, {0, E, 50.0, 50, 1e-6}), E, tunnel, r);
    FAIL() << "expected a stop";
  } catch (const StopRun& stop) {
    EXPECT_EQ(std::string(stop.what()), "Umin >  Umax");
  }
}

TEST(ReversedSolver, InwardPassWithoutMaximumReportsRigthError) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto W = mirrored(tabulate(g, morse));
  RadialSolver solver = reversed_solver();
  solve_mirrored(solver, W, g, morse.mu, 3, 50.0, 1e-5);
  const int32_t kmatch = solver.kmatch();
  ASSERT_GT(kmatch, 2);

  const double Umin = lowest_minimum(W, g.N);
  double E = Umin - 5.0, tunnel = -1.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(solver.solve(W, g, morse.mu, {0, E, 1e-3, 30, 1e-6}), E, tunnel, r);
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
  RadialSolver solver = reversed_solver();
  double E = 3000.0, tunnel = 0.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(solver.solve(W, g, morse.mu, {5, E, 2900.0, 30, 1e-6}), E, tunnel, r);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(r.kturn, 30);
}

// --- the joint of a quasi-bound level behind the outer turning point
// ------------------------------ An MLJ curve (De = 3000 cm-1, Re = 1.5 Å, beta0 = 2, C6 tail) with
// J = 24 and mu = 1 u: the well bottom lies above the asymptote, so every trial energy has a third
// turning point. On the mirrored grid the pass from the outer turning point starts above the joint
// (the innermost maximum), and the values that survive from the pass from the inner wall lie below
// it.

struct MirroredResonance {
  Grid g{0.9, 8.0, 1500};
  double mu = 1.0;
  std::vector<double> W;
  MirroredResonance() : W(g.N + 1, 0.0) {
    const double De = 3000.0, Re = 1.5, beta0 = 2.0, C6 = 3e5, delta = 1.0, Rx = 4.0;
    const double Re6 = Re * Re * Re * Re * Re * Re;
    const double beta_inf = std::log(2 * De * Re6 / C6);
    const auto V = tabulate(g, [&](double R) {
      const double y = (R - Re) / (R + Re);
      const double f = 1 / (1 + std::exp(delta * (R - Rx)));
      const double beta = (beta0 - beta_inf) * f + beta_inf;
      const double x = Re / R;
      const double u = x * x * x * x * x * x;
      const double e = 1 - u * std::exp(-beta * y);
      return De * e * e;
    });
    testing::internal::CaptureStdout();
    effective_potential(V, W, g, mu, 24, 0, GridOrientation::reversed);
    testing::internal::GetCapturedStdout();
  }
};

// The first correction written out step by step from the description of the method, without the
// solver's fused sweeps: T over the whole grid, the pass from the inner wall divided by its maximum
// at once, the pass from the outer turning point (Bi start) with its own rescaling, the norm from
// k3 - 1 up, and the residual at the joint.
struct FirstCorrection {
  double Dcor = 0.0;
  int kmatch = 0, k3 = 0;
};
FirstCorrection reference_first_correction(const MirroredResonance& c, double E) {
  const Grid& g = c.g;
  const int N = g.N;
  const double cc = g.h * g.h * c.mu * 0.059320315048355776;
  std::vector<double> T(N + 1), Y(N + 1);
  for (int i = 1; i <= N; ++i) T[i] = cc * (c.W[i] - E) / 12;
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings x = turning_points(c.W, E, N, GridOrientation::reversed, dVt, jt);
  FirstCorrection out;
  out.k3 = x.k3;
  Y[N] = 1e-99;
  Y[N - 1] = 1e-66;
  for (int i = N - 2; i >= 1; --i) {
    Y[i] = ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i]);
    if (Y[i] * Y[i] > 1e40) {
      const double by = Y[i];
      for (int j = i; j <= N; ++j) Y[j] /= by;
    }
    if (Y[i] <= Y[i + 1] && Y[i + 1] > Y[i + 2]) {
      const double by = Y[i + 1];
      for (int j = i + 1; j <= N; ++j) Y[j] /= by;
      out.kmatch = i + 1;
      break;
    }
  }
  const int k3 = x.k3;
  const double s = std::pow(dVt / g.h, 0.3333333432674408);
  const double Rt = g.R(k3) - jt * g.h / 100;
  Y[k3] = airy_functions((g.R(k3) - Rt) * s, throw_on_numerical_failure).bi;
  Y[k3 - 1] = airy_functions((g.R(k3 - 1) - Rt) * s, throw_on_numerical_failure).bi;
  for (int j = k3 + 1; j <= N; ++j) {
    Y[j] = ((10 * T[j - 1] + 2) * Y[j - 1] - (1 - T[j - 2]) * Y[j - 2]) / (1 - T[j]);
    if (Y[j] * Y[j] > 1e40) {
      const double by = Y[j];
      for (int i = k3 - 1; i <= j; ++i) Y[i] /= by;
    }
  }
  double S = 0.0;
  for (int i = k3 - 1; i <= N; ++i) S += Y[i] * Y[i];
  const int k = out.kmatch;
  out.Dcor = ((10 * T[k] + 2) - (1 - T[k - 1]) * Y[k - 1] - (1 - T[k + 1]) * Y[k + 1]) /
             (S * (g.h * g.h)) / (2 * c.mu * 0.059320315048355776);
  return out;
}

TEST(ReversedSolverQuasiBound, JointBelowTheOuterTurningPointIsScaledToOne) {
  MirroredResonance c;
  const double Umin = lowest_minimum(c.W, c.g.N);
  const double Umax = highest_barrier(c.W, c.g.N, c.W[1]).Umax;
  const double E = (Umin + Umax) * 0.5;
  const FirstCorrection expected = reference_first_correction(c, E);
  ASSERT_GT(expected.k3, 0) << "the trial energy must have a third turning point";
  ASSERT_LT(expected.kmatch, expected.k3 - 1) << "the joint must lie below the second pass";

  RadialSolver solver = reversed_solver();
  const LevelSolution first = solver.solve(c.W, c.g, c.mu, {0, E, (Umax - Umin) * 0.25, 1, 0.0});
  EXPECT_EQ(solver.kmatch(), expected.kmatch);
  EXPECT_EQ(first.results.kturn, 1);
  // The same operations in the same order: equal to the last bit.
  EXPECT_EQ(first.results.Dcor, expected.Dcor);
}

// On a forward grid the pass from index 1 always reaches the joint: the first correction of a
// bound level is the reference's with the pass from the top scaled at the joint.
TEST(ForwardAndReversedSolver, BoundLevelsOfTheSameCurveAgreeAfterTheJointFix) {
  const Morse morse;
  const Grid g(1.8, 8.0, 3001);
  const auto V = tabulate(g, morse);
  const auto W = mirrored(V);
  RadialSolver forward = forward_solver();
  RadialSolver reversed = reversed_solver();
  for (int v : {0, 7, 15}) {
    const Level f = solve_forward(forward, V, g, morse.mu, v, 50.0, 1e-8);
    const Level r = solve_mirrored(reversed, W, g, morse.mu, v, 50.0, 1e-8);
    // Both converge to 1e-8 on the same grid; the Numerov eigenvalue does not depend on the
    // direction of integration beyond rounding.
    EXPECT_NEAR(f.E, r.E, 1e-7) << v;
    EXPECT_NEAR(f.E, morse.level(v), 2e-3) << v;
  }
}

}  // namespace
}  // namespace velk
