#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "solver/landmarks.h"
#include "solver/radial_solver.h"
#include "solver_test_grids.h"

namespace velk {
namespace {

using testing_grids::driver_window;
using testing_grids::Grid;
using testing_grids::Morse;
using testing_grids::tabulate;

// Seeded random Morse curves (depth, range, position, mass) against the closed form of their
// levels. Numerov's eigenvalue error is of order E·(h·k)⁴/240, k the largest local wave number
// (k² = 2μE/ħ² with E counted from the well bottom); grids are chosen so that h·k stays near
// 0.08, and every level must lie within four times that bound (the largest share seen over these
// curves is below 3.2) plus twice the search tolerance (the search stops when the last correction,
// about half the remaining error, is below it).
TEST(RadialSolverMorse, RandomCurvesMatchClosedFormAtTheFourthPowerError) {
  testing_grids::RandomMorse curves(20261208);
  for (int trial = 0; trial < 150; ++trial) {
    const Morse m = curves.next();
    const double B = testing_grids::kHbar2Over2u / m.mu;
    const int vmax = static_cast<int>(std::sqrt(m.De / B) / m.a - 0.5);
    const int v = std::uniform_int_distribution<int>(0, std::max(0, vmax / 2))(curves.engine);
    const double E = m.level(v);
    // From where the curve is 49 De above the bottom to where the level's tail has died away.
    const double Rmin = m.Re - std::log(8.0) / m.a;
    const double Rmax = m.Re + 30.0 / m.a;
    const double kmax = std::sqrt(m.mu * constants::kTwoUOverHbar2 * m.De);
    const int N = std::min(RadialGrid::kCapacity, static_cast<int>((Rmax - Rmin) * kmax / 0.08));
    const Grid g(Rmin, Rmax, N);
    const auto V = tabulate(g, m);
    const double k = std::sqrt(m.mu * constants::kTwoUOverHbar2 * E);
    const double bound = E * std::pow(g.h * k, 4) / 240;
    const double Umin = lowest_minimum(V, g.N);
    const double Umax = highest_barrier(V, g.N, V[g.N]).Umax;
    const double toadd = (m.level(2) - m.level(1)) / 3;
    const auto w = driver_window(Umin, Umax, toadd);
    RadialSolver solver = testing_grids::forward_solver();
    const LevelSolution s = solver.solve(V, g, m.mu, {v, w.E, w.dE, 200, 1e-7});
    ASSERT_EQ(s.results.node, v) << "trial " << trial;
    ASSERT_LE(std::fabs(s.results.Dcor), 1e-7) << "trial " << trial;
    EXPECT_LE(std::fabs(s.E - E), 4 * bound + 2e-7)
        << "trial " << trial << " De=" << m.De << " a=" << m.a << " mu=" << m.mu << " v=" << v;
  }
}

}  // namespace
}  // namespace velk
