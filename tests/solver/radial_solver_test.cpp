// The radial solver on both grid orientations: what both must do alike runs as one suite over the
// orientation; what only one orientation has (the Airy start's side, the first bracket's share,
// the joint of a mirrored resonance) follows in its own namespace.
#include "solver/radial_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
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
#include "solver_test_grids.h"

namespace velk {
namespace {

namespace both {

using testing_grids::Grid;
using testing_grids::Harmonic;
using testing_grids::Level;
using testing_grids::Morse;
using testing_grids::tabulate;
using testing_grids::take;

// Each test states its curve in forward order; oriented() hands it to the solver as the
// orientation under test has it.
class RadialSolverTest : public ::testing::TestWithParam<GridOrientation> {
 protected:
  bool forward() const { return GetParam() == GridOrientation::forward; }
  RadialSolver solver() const { return RadialSolver(GetParam(), throw_on_numerical_failure); }
  std::vector<double> oriented(const std::vector<double>& V) const {
    return forward() ? V : testing_grids::mirrored(V);
  }
  Level solve_level(RadialSolver& solver, const std::vector<double>& U, const Grid& g, double mu,
                    int v, double toadd, double tol, int maxit = 100) const {
    return testing_grids::solve_in_driver_window(solver, GetParam(), U, g, mu, v, toadd, tol,
                                                 maxit);
  }
};

// --- bound levels against closed forms -------------------------------------------------------

// The Numerov eigenvalue error is about E·(h·k)⁴/240 with k the largest local wave number; for
// v = 20 of this well on 4001 points that is about 1.5e-4 cm-1, so 5e-4 bounds every level.
TEST_P(RadialSolverTest, HarmonicLevelsAndNodes) {
  const Harmonic ho;
  const Grid g(2.0, 4.0, 4001);
  const auto U = oriented(tabulate(g, ho));
  RadialSolver s = solver();
  for (int v = 0; v <= 20; ++v) {
    const Level L = solve_level(s, U, g, ho.mu, v, ho.omega / 3, 1e-6);
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
TEST_P(RadialSolverTest, WideForbiddenRegionsAreRescaled) {
  Harmonic ho;
  ho.omega = 2000.0;
  const Grid g(1.0, 5.0, 8001);
  const auto U = oriented(tabulate(g, ho));
  RadialSolver s = solver();
  for (int v : {0, 5}) {
    const Level L = solve_level(s, U, g, ho.mu, v, ho.omega / 3, 1e-7);
    EXPECT_NEAR(L.E, ho.level(v), 1e-4) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    const auto Y = s.Ygrid();
    for (int i = 1; i <= g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
  }
}

// Morse levels on 2001 points (h = 3.1e-3 Å): the Numerov error of v = 20 is 1e-3 cm-1 and
// smaller for lower v; truncating the curve at 1.8 and 8 Å shifts no level by more than 1e-8.
TEST_P(RadialSolverTest, MorseLevelsAndNodes) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto U = oriented(tabulate(g, morse));
  RadialSolver s = solver();
  const double toadd = (morse.level(2) - morse.level(1)) / 3;
  for (int v = 0; v <= 20; ++v) {
    const Level L = solve_level(s, U, g, morse.mu, v, toadd, 1e-5, 60);
    EXPECT_NEAR(L.E, morse.level(v), 1.5e-3) << "v=" << v;
    EXPECT_EQ(L.r.node, v);
    EXPECT_LE(std::abs(L.r.Dcor), 1e-5);
    EXPECT_GT(L.r.kleft, 0) << "the wave function is flat deep inside the inner wall";
    EXPECT_GT(L.r.krigth, 0) << "and far outside the outer turning point";
  }
}

// --- failures ----------------------------------------------------------------------------------

TEST_P(RadialSolverTest, CurveWithoutWellStops) {
  const Grid g(1.0, 5.0, 200);
  const auto U = oriented(tabulate(g, [](double R) { return 1000.0 / R; }));  // no minimum
  RadialSolver s = solver();
  double E = 100.0, tunnel = 0.0;
  SolverResults r;
  try {
    take(s.solve(U, g, 10.0, {0, E, 50.0, 50, 1e-6}), E, tunnel, r);
    FAIL() << "expected a stop";
  } catch (const StopRun& stop) {
    EXPECT_EQ(std::string(stop.what()), "Umin >  Umax");
  }
}

// Just above the well bottom the whole grid is classically forbidden: the pass from the top grows
// all the way to its far end without a maximum. The solver reports it, keeps the matching index
// of the previous solve and still returns finite results.
TEST_P(RadialSolverTest, InwardPassWithoutMaximumReportsRigthError) {
  const Morse morse;
  const Grid g(1.8, 8.0, 2001);
  const auto U = oriented(tabulate(g, morse));
  RadialSolver s = solver();
  solve_level(s, U, g, morse.mu, 3, 50.0, 1e-5);
  const int32_t kmatch = s.kmatch();
  ASSERT_GT(kmatch, 2);

  const double Umin = lowest_minimum(U, g.N);
  double E = Umin - 5.0, tunnel = -1.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(s.solve(U, g, morse.mu, {0, E, 1e-3, 30, 1e-6}), E, tunnel, r);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(" rigth error\n"), std::string::npos);
  EXPECT_EQ(s.kmatch(), kmatch);
  EXPECT_TRUE(std::isfinite(E));
  EXPECT_TRUE(std::isfinite(r.Dcor));
  EXPECT_EQ(tunnel, -1.0);
  if (forward()) {
    // The forward grid moves a trial energy below Umin a share of the bracket above it.
    EXPECT_GE(E, Umin);
    EXPECT_LE(E, Umin + 1e-3 + 1e-9);
  }
}

// A correction that is NaN takes no branch of the energy update; the solve must still end at the
// iteration limit instead of repeating the same energy for ever.
TEST_P(RadialSolverTest, NanCorrectionEndsAtIterationLimit) {
  const Morse morse;
  const Grid g(1.8, 8.0, 1001);
  auto U = oriented(tabulate(g, morse));
  U[500] = std::numeric_limits<double>::quiet_NaN();
  RadialSolver s = solver();
  double E = 3000.0, tunnel = 0.0;
  SolverResults r;
  testing::internal::CaptureStdout();
  take(s.solve(U, g, morse.mu, {5, E, 2900.0, 30, 1e-6}), E, tunnel, r);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(r.kturn, 30);
  if (forward()) {
    EXPECT_TRUE(std::isnan(r.Dcor));
  }
}

// --- quasi-bound levels ------------------------------------------------------------------------

// After a quasi-bound solve the wave function is normalised so that its outermost maximum equals
// sqrt(q/(pi·E)), the amplitude of an energy-normalised continuum function. Morse at J = 180: v =
// 28 lies behind the centrifugal barrier, above the grid's outer end.
TEST_P(RadialSolverTest, QuasiBoundOuterAmplitudeIsEnergyNormalised) {
  const Morse morse;
  const Grid g(1.8, 20.0, 12000);
  std::vector<double> Ueff(g.N + 1, 0.0);
  testing::internal::CaptureStdout();
  effective_potential(tabulate(g, morse), Ueff, g, morse.mu, 180, 0, GetParam());
  testing::internal::GetCapturedStdout();
  RadialSolver s = solver();
  const Level L = solve_level(s, Ueff, g, morse.mu, 28, 40.0, 1e-6);
  ASSERT_GT(L.E, forward() ? Ueff[g.N] : Ueff[1]);
  const auto Y = s.Ygrid();
  // The first maximum met from the outer end inwards.
  double outer_max = 0.0;
  for (int step = 2; step <= g.N - 1; ++step) {
    const int m = forward() ? g.N + 1 - step : step;
    if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
      outer_max = Y[m];
      break;
    }
  }
  const double q = std::sqrt(morse.mu / 16.857629776000977);
  EXPECT_NEAR(outer_max, std::sqrt(q / (3.1415926536 * L.E)), 1e-15);
  for (int i = 1; i <= g.N; ++i) ASSERT_TRUE(std::isfinite(Y[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(Orientations, RadialSolverTest,
                         ::testing::Values(GridOrientation::forward, GridOrientation::reversed),
                         [](const auto& info) {
                           return info.param == GridOrientation::forward ? "forward" : "reversed";
                         });

}  // namespace both

namespace forward_only {
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

}  // namespace forward_only

namespace reversed_only {
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

}  // namespace reversed_only

}  // namespace
}  // namespace velk
