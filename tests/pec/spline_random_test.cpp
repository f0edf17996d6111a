// Seeded randomized check of the spline against ground truth: a cubic spline whose end second
// derivatives are the exact ones of a cubic polynomial is that polynomial (it meets every spline
// condition, and the spline with given ends is unique), so on random tables of random cubics the
// only difference left is rounding.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "pec/extension_fit.h"
#include "pec/radial_grid.h"
#include "pec/spline.h"

namespace velk {
namespace {

struct Cubic {
  long double c0, c1, c2, c3;
  long double value(long double x) const { return c0 + x * (c1 + x * (c2 + x * c3)); }
  long double second(long double x) const { return 2.0L * c2 + 6.0L * c3 * x; }
};

// Tolerance: the table values carry a rounding of eps·|y| each; the right sides of the
// tridiagonal system are differences of divided differences, which turn that into an error of
// about eps·Ymax/dmin² in the second derivatives (the system is diagonally dominant, so the
// solve adds no more than a small factor), and the value formula multiplies those by d²/6 with d
// at most dmax. So the error in a value is a few eps·Ymax·(dmax/dmin)², Ymax the largest |y| of
// table and probe. 64 of these units is far below any fault (a wrong coefficient or a wrong
// interval gives errors of the size of the cubic's own terms); measured worst over these cases:
// 1.6 units for the values and for the second derivatives (in units of eps·Ymax/dmin²).
constexpr long double kEps = std::numeric_limits<double>::epsilon();

TEST(SplineRandom, ReproducesRandomCubicsOnRandomTables) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> coefficient(-10.0, 10.0);
  std::uniform_real_distribution<double> gap(0.2, 1.0);
  std::uniform_int_distribution<int> count(2, 60);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 500; ++trial) {
    const Cubic p{coefficient(random), coefficient(random), coefficient(random),
                  coefficient(random)};
    const int n = count(random);
    std::vector<double> x(n + 1), y(n + 1), y2(n + 1, -99.0);
    x[1] = coefficient(random);
    double dmin = 1e300, dmax = 0.0;
    for (int i = 2; i <= n; ++i) {
      x[i] = x[i - 1] + gap(random);
      dmin = std::min(dmin, x[i] - x[i - 1]);
      dmax = std::max(dmax, x[i] - x[i - 1]);
    }
    if (n == 2) dmin = dmax = x[2] - x[1];
    long double Ymax = 0.0L;
    for (int i = 1; i <= n; ++i) {
      y[i] = static_cast<double>(p.value(x[i]));
      Ymax = std::max(Ymax, std::fabs(static_cast<long double>(y[i])));
    }
    spline_second_derivatives(n, x, y, y2, static_cast<double>(p.second(x[1])),
                              static_cast<double>(p.second(x[n])));
    const long double second_unit = kEps * Ymax / (static_cast<long double>(dmin) * dmin);
    for (int i = 2; i < n; ++i) {
      const long double error = std::fabs(y2[i] - p.second(x[i]));
      ASSERT_LE(error, 64.0L * second_unit) << "trial " << trial << ", point " << i;
    }
    // Probes inside the table and up to one gap beyond either end (the end cubics continued).
    for (int probe = 0; probe < 20; ++probe) {
      const double r = x[1] - dmax + unit(random) * (x[n] - x[1] + 2.0 * dmax);
      const long double want = p.value(r);
      const long double scale = std::max(Ymax, std::fabs(want));
      const long double unit_error = kEps * scale * (dmax / dmin) * (dmax / dmin);
      const long double error = std::fabs(spline_value(r, 1, n, x, y, y2) - want);
      ASSERT_LE(error, 64.0L * unit_error) << "trial " << trial << ", R = " << r;
    }
  }
}

// The tabulation steps from piece to piece along the grid instead of bisecting at each point: on
// random tables and grids (starting below the table, ending beyond it, or inside it; coarse and
// fine against the table's gaps) every value must be, bit for bit, the bisection's.
TEST(SplineRandom, TabulationGivesTheBisectionsValues) {
  std::mt19937_64 random(31);
  std::uniform_real_distribution<double> gap(0.01, 1.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> count(2, 80);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = count(random);
    std::vector<double> x(static_cast<std::size_t>(n) + 1), y(x.size()), y2(x.size());
    x[1] = 0.5 + unit(random);
    for (int i = 2; i <= n; ++i) x[i] = x[i - 1] + gap(random);
    for (int i = 1; i <= n; ++i) y[i] = 1e4 * (unit(random) - 0.5);
    spline_second_derivatives(n, x, y, y2, 1e3 * (unit(random) - 0.5), unit(random));
    const double span = x[n] - x[1];
    const double Rmin = std::max(1e-3, x[1] + span * (1.2 * unit(random) - 0.6));
    const double Rmax = Rmin + span * (0.01 + 1.5 * unit(random));
    const int N = 2 + static_cast<int>(random() % 3000);
    const RadialGrid grid(Rmin, Rmax, N);
    std::vector<double> V(static_cast<std::size_t>(N) + 1);
    tabulate_spline(V, grid, SplineTable{n, x, y, y2});
    for (int i = 1; i <= N; ++i) {
      const double want = spline_value(grid.R(i), 1, n, x, y, y2);
      ASSERT_EQ(std::bit_cast<uint64_t>(V[i]), std::bit_cast<uint64_t>(want))
          << "trial " << trial << ", point " << i << " of " << N << ", R = " << grid.R(i);
    }
  }
}

TEST(SplineRandom, TabulationRefusesATableShorterThanItsCount) {
  const std::vector<double> x{0.0, 1.0, 2.0, 3.0}, y{0.0, 1.0, 0.0, 1.0}, y2(4, 0.0);
  std::vector<double> V(11);
  const RadialGrid grid(0.5, 2.5, 10);
  EXPECT_THROW(tabulate_spline(V, grid, SplineTable{4, x, y, y2}), std::invalid_argument);
  EXPECT_THROW(tabulate_spline(V, grid, SplineTable{1, x, y, y2}), std::invalid_argument);
  EXPECT_NO_THROW(tabulate_spline(V, grid, SplineTable{3, x, y, y2}));
}

}  // namespace
}  // namespace velk
