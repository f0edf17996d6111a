#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
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
using testing_grids::Morse;
using testing_grids::reversed_solver;
using testing_grids::tabulate;
using testing_grids::take;

using testing_grids::Level;

Level solve_level(RadialSolver& solver, const std::vector<double>& V, const Grid& g, double mu,
                  int v, double toadd, double tol, int maxit = 100) {
  return testing_grids::solve_in_driver_window(solver, GridOrientation::forward, V, g, mu, v, toadd,
                                               tol, maxit);
}

// --- bound levels against closed forms -------------------------------------------------------

// The Numerov eigenvalue error is about E·(h·k)⁴/240 with k the largest local wave number; for
// v = 20 of this well on 4001 points that is about 1.5e-4 cm-1, so 5e-4 bounds every level.
TEST(ForwardSolver, HarmonicLevelsAndNodes) {
  const Harmonic ho;
  const Grid g(2.0, 4.0, 4001);
  const auto V = tabulate(g, ho);
  RadialSolver solver = forward_solver();
  for (int v = 0; v <= 20; ++v) {
    const Level L = solve_level(solver, V, g, ho.mu, v, ho.omega / 3, 1e-6);
    EXPECT_NEAR(L.E, ho.level(v), 5e-4) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    EXPECT_LE(std::abs(L.r.Dcor), 1e-6);
    EXPECT_LT(L.r.kturn, 100);
    EXPECT_EQ(L.tunnel, -1.0) << "a bound level leaves tunnel alone";
  }
}

// Two ångström of forbidden region on either side of a stiff well (2000 cm-1): the start values
// grow by about e^1360 across them, far beyond the double range, so the solutions survive only
// through the rescaling at Y² > 1e40. Step 5e-4 Å keeps the Numerov error of v <= 5 below 1e-4.
TEST(ForwardSolver, WideForbiddenRegionsAreRescaled) {
  Harmonic ho;
  ho.omega = 2000.0;
  const Grid g(1.0, 5.0, 8001);
  const auto V = tabulate(g, ho);
  RadialSolver solver = forward_solver();
  for (int v : {0, 5}) {
    const Level L = solve_level(solver, V, g, ho.mu, v, ho.omega / 3, 1e-7);
    EXPECT_NEAR(L.E, ho.level(v), 1e-4) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    const auto Y = solver.Ygrid();
    for (int i = 1; i <= g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
  }
}

// Morse levels on 2001 points (h = 3.1e-3 Å): the Numerov error of v = 20 is 1e-3 cm-1 and
// smaller for lower v; truncating the curve at 1.8 and 8 Å shifts no level by more than 1e-8.
TEST(ForwardSolver, MorseLevelsAndNodes) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto V = tabulate(g, morse);
  RadialSolver solver = forward_solver();
  const double toadd = (morse.level(2) - morse.level(1)) / 3;
  for (int v = 0; v <= 20; ++v) {
    const Level L = solve_level(solver, V, g, morse.mu, v, toadd, 1e-5, 60);
    EXPECT_NEAR(L.E, morse.level(v), 1.5e-3) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    EXPECT_LE(std::abs(L.r.Dcor), 1e-5);
    EXPECT_GT(L.r.kleft, 0) << "the wave function is flat deep inside the inner wall";
    EXPECT_GT(L.r.krigth, 0) << "and far outside the outer turning point";
  }
}

// Halving h divides the Numerov error by 16. h halves exactly from grid to grid (N - 1 doubles);
// the h⁶ term still moves the ratio by a few percent on the coarsest grid, hence 16 ± 1.
TEST(ForwardSolver, ErrorFallsAsFourthPowerOfStep) {
  const Morse morse;
  const double toadd = (morse.level(2) - morse.level(1)) / 3;
  for (int v : {5, 20}) {
    std::vector<double> error;
    for (int N : {501, 1001, 2001, 4001}) {
      const Grid g(1.8, 8.0, N);
      const auto V = tabulate(g, morse);
      RadialSolver solver = forward_solver();
      const Level L = solve_level(solver, V, g, morse.mu, v, toadd, 1e-9);
      ASSERT_LE(std::abs(L.r.Dcor), 1e-9);
      error.push_back(L.E - morse.level(v));
    }
    for (size_t i = 0; i + 1 < error.size(); ++i) {
      EXPECT_NEAR(error[i] / error[i + 1], 16.0, 1.0) << "v=" << v << " step " << i;
    }
  }
}

// --- the first bracket -------------------------------------------------------------------------
// With maxit = 1 the returned energy is the first bisection of the first bracket: v far above any
// node count moves E to the middle of [E, Ehi], v = -1 to the middle of [Elo, E].

struct BracketCase {
  Grid g{1.8, 8.0, 1001};
  Morse morse;
  std::vector<double> V = tabulate(g, morse);
  double Umin = lowest_minimum(V, g.N);
  double Emax = std::max(highest_barrier(V, g.N, V[g.N]).Umax, V[g.N]);
  double first_step(double E, double dE, int v) {
    RadialSolver solver = forward_solver();
    double tunnel = 0.0;
    SolverResults r;
    take(solver.solve(V, g, morse.mu, {v, E, dE, 1, 1e-12}), E, tunnel, r);
    EXPECT_EQ(r.kturn, 1);
    return E;
  }
};

TEST(ForwardSolverBracket, TrialAboveEmaxMovesBelowIt) {
  BracketCase c;
  const double dE = 100.0;
  const double E0 = c.Emax - dE;  // bracket [E0 - dE, E0 + dE]
  EXPECT_DOUBLE_EQ(c.first_step(c.Emax + 50, dE, 1000), (E0 + (E0 + dE)) / 2);
  EXPECT_DOUBLE_EQ(c.first_step(c.Emax + 50, dE, -1), ((E0 - dE) + E0) / 2);
}

TEST(ForwardSolverBracket, TrialBelowUminMovesAboveIt) {
  BracketCase c;
  const double dE = 100.0;
  const double E0 = c.Umin + 0.20000000298023224 * dE;  // 0.2 in single precision
  EXPECT_DOUBLE_EQ(c.first_step(c.Umin - 10, dE, 1000), (E0 + (c.Umin + dE)) / 2);
  EXPECT_DOUBLE_EQ(c.first_step(c.Umin - 10, dE, -1), (c.Umin + E0) / 2);
}

TEST(ForwardSolverBracket, WindowReachingEmaxIsCutThere) {
  BracketCase c;
  const double E = c.Emax - 30, dE = 100.0;  // E + dE >= Emax: bracket [E - dE, Emax]
  EXPECT_DOUBLE_EQ(c.first_step(E, dE, 1000), (E + c.Emax) / 2);
}

// A v above every node count reachable below Emax keeps raising Elo: the energy climbs toward
// Emax, never past it, until the iteration limit.
TEST(ForwardSolver, UnreachableVibrationalNumberStopsAtIterationLimit) {
  BracketCase c;
  RadialSolver solver = forward_solver();
  double E = 3000.0, tunnel = 0.0;
  SolverResults r;
  take(solver.solve(c.V, c.g, c.morse.mu, {200, E, 2900.0, 40, 1e-6}), E, tunnel, r);
  EXPECT_EQ(r.kturn, 40);
  EXPECT_LT(r.node, 200);
  EXPECT_LE(E, c.Emax);
  EXPECT_GT(E, c.Emax - 1.0);
}

// --- failures ----------------------------------------------------------------------------------

TEST(ForwardSolver, CurveWithoutWellStops) {
  const Grid g(1.0, 5.0, 200);
  const auto V = tabulate(g, [](double R) { return 1000.0 / R; });  // no interior minimum
  RadialSolver solver = forward_solver();
  double E = 100.0, tunnel = 0.0;
  SolverResults r;
  try {
    take(solver.solve(V, g, 10.0, {0, E, 50.0, 50, 1e-6}), E, tunnel, r);
    FAIL() << "expected a stop";
  } catch (const StopRun& stop) {
    EXPECT_EQ(std::string(stop.what()), "Umin >  Umax");
  }
}

TEST(ForwardSolver, TooFewPointsStop) {
  const std::vector<double> V{0.0, 5.0, 1.0};
  RadialSolver solver = forward_solver();
  const double E = 2.0;
  EXPECT_THROW(
      solver.solve(V, testing_grids::grid_from_origin(0.0, 0.1, 2), 10.0, {0, E, 1.0, 50, 1e-6}),
      StopRun);
}

TEST(ForwardSolver, RejectsGridBeyondArray) {
  const std::vector<double> V(11, 0.0);
  RadialSolver solver = forward_solver();
  const double E = 2.0;
  EXPECT_THROW(
      solver.solve(V, testing_grids::grid_from_origin(0.0, 0.1, 11), 10.0, {0, E, 1.0, 50, 1e-6}),
      std::invalid_argument);
  EXPECT_THROW(
      solver.solve(V, testing_grids::grid_from_origin(0.0, 0.1, 0), 10.0, {0, E, 1.0, 50, 1e-6}),
      std::invalid_argument);
}

// Just above the well bottom the whole grid is classically forbidden: the inward solution grows
// all the way to point 1 without a maximum. The solver reports it, keeps the matching index of
// the previous solve and still returns finite results.
TEST(ForwardSolver, InwardPassWithoutMaximumReportsRigthError) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto V = tabulate(g, morse);
  RadialSolver solver = forward_solver();
  solve_level(solver, V, g, morse.mu, 3, 50.0, 1e-5);
  const int32_t kmatch = solver.kmatch();
  ASSERT_GT(kmatch, 2);

  const double Umin = lowest_minimum(V, g.N);
  double E = Umin - 5.0, tunnel = -1.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(solver.solve(V, g, morse.mu, {0, E, 1e-3, 30, 1e-6}), E, tunnel, r);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(" rigth error\n"), std::string::npos);
  EXPECT_EQ(solver.kmatch(), kmatch);
  EXPECT_TRUE(std::isfinite(E));
  EXPECT_TRUE(std::isfinite(r.Dcor));
  EXPECT_GE(E, Umin);
  EXPECT_LE(E, Umin + 1e-3 + 1e-9);
  EXPECT_EQ(tunnel, -1.0);
}

// A fresh solver that fails at once has no previous matching index; the outward pass then runs
// to the end of the grid and the correction is still formed inside the arrays.
TEST(ForwardSolver, FirstSolveWithoutMaximumStaysInsideGrid) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  const auto V = tabulate(g, morse);
  RadialSolver solver = forward_solver();
  const double Umin = lowest_minimum(V, g.N);
  double E = Umin - 5.0, tunnel = -1.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(solver.solve(V, g, morse.mu, {0, E, 1e-3, 30, 1e-6}), E, tunnel, r);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(" rigth error"), std::string::npos);
  EXPECT_EQ(solver.kmatch(), 0);
  EXPECT_TRUE(std::isfinite(E));
  EXPECT_GE(r.kturn, 1);
}

// A correction that is NaN takes no branch of the energy update; the solve must still end at the
// iteration limit instead of repeating the same energy for ever.
TEST(ForwardSolver, NanCorrectionEndsAtIterationLimit) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  auto V = tabulate(g, morse);
  V[500] = std::numeric_limits<double>::quiet_NaN();
  RadialSolver solver = forward_solver();
  double E = 3000.0, tunnel = 0.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(solver.solve(V, g, morse.mu, {5, E, 2900.0, 30, 1e-6}), E, tunnel, r);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(r.kturn, 30);
  EXPECT_TRUE(std::isnan(r.Dcor));
}

// --- quasi-bound levels ------------------------------------------------------------------------
// Morse curve with J = 180: a well at 4439 cm-1, a centrifugal barrier of 6572 cm-1 at 7.56 Å and
// Ueff = 6119 cm-1 at the grid end (20 Å). Levels v = 20 .. 29 lie above that end value.

constexpr int kJ = 180;

struct Rotating {
  Morse morse;
  Grid g{1.8, 20.0, 12000};
  std::vector<double> Ueff;
  Rotating() : Ueff(g.N + 1, 0.0) {
    const auto V = tabulate(g, morse);
    testing::internal::CaptureStdout();
    effective_potential(V, Ueff, g, morse.mu, kJ, 0, GridOrientation::forward);
    testing::internal::GetCapturedStdout();
  }
  double U(double R) const {
    return morse(R) + testing_grids::kHbar2Over2u / morse.mu * kJ * (kJ + 1) / (R * R);
  }
};

// Root of U(R) - E between lo and hi by bisection on the analytic curve.
double crossing(const Rotating& c, double lo, double hi, double E) {
  const bool low_negative = c.U(lo) - E < 0;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    if ((c.U(mid) - E < 0) == low_negative) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

// ∫ g dR over [r1, r2] with R = r1 + (r2 - r1)(1 - cos t)/2, which removes the inverse square
// root singularities at turning points; Simpson's rule in t.
double turning_point_integral(double r1, double r2, const std::function<double(double)>& f) {
  const int n = 20000;
  double sum = 0.0;
  for (int i = 1; i < n; ++i) {
    const double t = std::numbers::pi * i / n;
    const double R = r1 + (r2 - r1) * (1 - std::cos(t)) / 2;
    sum += (i % 2 ? 4 : 2) * f(R) * (r2 - r1) / 2 * std::sin(t);
  }
  return sum * (std::numbers::pi / n) / 3;
}

TEST(ForwardSolverQuasiBound, LevelsBehindBarrierGetTunnellingFigure) {
  Rotating c;
  RadialSolver solver = forward_solver();
  const double q = std::sqrt(c.morse.mu / testing_grids::kHbar2Over2u);
  for (int v : {24, 26, 28, 29}) {
    const Level L = solve_level(solver, c.Ueff, c.g, c.morse.mu, v, 40.0, 1e-6);
    EXPECT_GT(L.E, c.Ueff[c.g.N]) << "v=" << v << " lies above the asymptote";
    EXPECT_LT(L.E, 6572.27);
    EXPECT_EQ(L.r.node, v);
    EXPECT_LE(std::abs(L.r.Dcor), 1e-6);
    ASSERT_TRUE(std::isfinite(L.tunnel));
    EXPECT_GT(L.tunnel, 0.0);

    // Independent WKB figure exp(-2·q∫barrier sqrt(U - E))/(q∫well dR/sqrt(E - U)) on the analytic
    // curve. The solver's well sum is a grid sum over an integrand with inverse square root ends,
    // good to a few percent at this step; 5% bounds it.
    const double r1 = crossing(c, 2.0, 3.52, L.E);
    const double r2 = crossing(c, 3.52, 7.56, L.E);
    const double r3 = crossing(c, 7.56, 20.0, L.E);
    const double tau =
        q * turning_point_integral(r1, r2, [&](double R) { return 1 / std::sqrt(L.E - c.U(R)); });
    const double theta =
        q * turning_point_integral(r2, r3, [&](double R) { return std::sqrt(c.U(R) - L.E); });
    EXPECT_NEAR(L.tunnel / (std::exp(-2 * theta) / tau), 1.0, 0.05) << "v=" << v;
  }
}

// Deep below the barrier top the level hardly feels what lies beyond the barrier: cutting the grid
// at the barrier top turns it into a bound level with (to about 1e-5 cm-1) the same energy.
TEST(ForwardSolverQuasiBound, DeepResonanceMatchesLevelOfTruncatedGrid) {
  Rotating c;
  RadialSolver solver = forward_solver();
  const Level qb = solve_level(solver, c.Ueff, c.g, c.morse.mu, 25, 40.0, 1e-7);
  ASSERT_GT(qb.E, c.Ueff[c.g.N]);

  const Grid cut(1.8, 7.563, 4000);
  std::vector<double> U(cut.N + 1);
  for (int i = 1; i <= cut.N; ++i) U[i] = c.U(cut.R(i));
  RadialSolver bound_solver = forward_solver();
  const Level b = solve_level(bound_solver, U, cut, c.morse.mu, 25, 40.0, 1e-7);
  ASSERT_LT(b.E, U[cut.N]);
  EXPECT_EQ(b.tunnel, -1.0);
  // The two grids differ in step (3.1e-3 and 1.5e-3 Å), worth about 2e-5 cm-1 here.
  EXPECT_NEAR(qb.E, b.E, 1e-4);
}

// After a quasi-bound solve the wave function is normalised so that its outermost maximum equals
// sqrt(q/(pi·E)), the amplitude of an energy-normalised continuum function.
TEST(ForwardSolverQuasiBound, OuterAmplitudeIsEnergyNormalised) {
  Rotating c;
  RadialSolver solver = forward_solver();
  const Level L = solve_level(solver, c.Ueff, c.g, c.morse.mu, 28, 40.0, 1e-6);
  const auto Y = solver.Ygrid();
  double outer_max = 0.0;
  for (int m = c.g.N - 1; m >= 2; --m) {
    if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
      outer_max = Y[m];
      break;
    }
  }
  const double q = std::sqrt(c.morse.mu / 16.857629776000977);
  EXPECT_NEAR(outer_max, std::sqrt(q / (3.1415926536 * L.E)), 1e-15);
  for (int i = 1; i <= c.g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
}

// The inward solution of a quasi-bound level starts at the outer crossing k3 from Bi, the
// solution that decays toward large R: Y(k) = Bi(-(R(k) - Rt)·s) for k = k3 - 1, k3, with
// s = (dVt/h)^(1/3) and Rt = R(k3) - jt·h/100. The continuation through the barrier starts from
// these two values and the later scalings are common factors, so their ratio survives the solve.
TEST(ForwardSolverQuasiBound, InwardSolutionStartsFromBiAtOuterTurningPoint) {
  Rotating c;
  RadialSolver solver = forward_solver();
  for (int v : {26, 29}) {
    const Level L = solve_level(solver, c.Ueff, c.g, c.morse.mu, v, 40.0, 1e-7);
    double dVt = 0.0;
    int32_t jt = 0;
    const Crossings x = turning_points(c.Ueff, L.E, c.g.N, GridOrientation::forward, dVt, jt);
    ASSERT_GT(x.k3, 0);
    const double s = std::pow(dVt / c.g.h, 0.3333333432674408);
    const double Rt = c.g.R(x.k3) - jt * c.g.h / 100;
    // The curve falls across the outer crossing, so the hundredth scan ends at m <= 0 and Rt
    // lies up to one step beyond R(k3).
    ASSERT_LE(jt, 0);
    ASSERT_GE(Rt, c.g.R(x.k3));
    const double expected =
        airy_functions(-(c.g.R(x.k3) - Rt) * s, throw_on_numerical_failure).bi /
        airy_functions(-(c.g.R(x.k3 - 1) - Rt) * s, throw_on_numerical_failure).bi;
    const auto Y = solver.Ygrid();
    EXPECT_NEAR(Y[x.k3] / Y[x.k3 - 1], expected, 1e-12 * std::abs(expected)) << "v=" << v;
  }
}

// Far below the barrier top the penetration factor exp(-2θ) falls below the smallest
// single-precision number (1.4e-45); the figure is formed in single precision, so it is exactly 0.
TEST(ForwardSolverQuasiBound, PenetrationBelowSinglePrecisionRangeGivesZero) {
  Rotating c;
  RadialSolver solver = forward_solver();
  const Level L = solve_level(solver, c.Ueff, c.g, c.morse.mu, 22, 40.0, 1e-6);
  ASSERT_GT(L.E, c.Ueff[c.g.N]);
  const double q = std::sqrt(c.morse.mu / testing_grids::kHbar2Over2u);
  const double r2 = crossing(c, 3.52, 7.56, L.E);
  const double r3 = crossing(c, 7.56, 20.0, L.E);
  const double theta =
      q * turning_point_integral(r2, r3, [&](double R) { return std::sqrt(c.U(R) - L.E); });
  ASSERT_LT(std::exp(-2 * theta), 1e-46);
  ASSERT_GT(std::exp(-2 * theta), 0.0) << "still representable in double precision";
  EXPECT_EQ(L.tunnel, 0.0);
}

// With the zero of energy below the quasi-bound levels' energies (E <= 0 for a resonance) the
// continuum scaling has no real factor: the wave function keeps its matching-point scaling, and
// energy and tunnelling figure are those of the unshifted curve.
TEST(ForwardSolverQuasiBound, NonPositiveEnergyKeepsResultsFinite) {
  Rotating c;
  const double shift = 7000.0;
  std::vector<double> lowered(c.Ueff);
  for (int i = 1; i <= c.g.N; ++i) lowered[i] -= shift;
  RadialSolver solver = forward_solver();
  const Level up = solve_level(solver, c.Ueff, c.g, c.morse.mu, 27, 40.0, 1e-7);
  const Level down = solve_level(solver, lowered, c.g, c.morse.mu, 27, 40.0, 1e-7);
  ASSERT_LT(down.E, 0.0);
  EXPECT_GT(down.E, lowered[c.g.N]);
  EXPECT_NEAR(down.E + shift, up.E, 1e-5);
  ASSERT_TRUE(std::isfinite(down.tunnel));
  EXPECT_NEAR(down.tunnel / up.tunnel, 1.0, 1e-3);
  const auto Y = solver.Ygrid();
  for (int i = 1; i <= c.g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
  EXPECT_GE(down.r.kleft, 0);
  EXPECT_LE(down.r.kleft, c.g.N - 1);
}

}  // namespace
}  // namespace velk
