#include "pec/spline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace velk {
namespace {

// A cubic is its own spline when the end second derivatives are exact: it meets every spline
// condition, and the spline with given ends is unique.
double cubic(double x) {
  return 1.0 - 2.0 * x + 0.5 * x * x + 0.25 * x * x * x;
}
double cubic_second(double x) {
  return 1.0 + 1.5 * x;
}

// Only the rounding of the tridiagonal solve separates the spline from the cubic; the system is
// diagonally dominant, so a few ulps of the largest value involved.
void expect_close(double actual, double expected) {
  EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::abs(expected)))
      << "expected " << expected;
}

class SplineOfCubic : public ::testing::TestWithParam<int> {};

TEST_P(SplineOfCubic, ReproducesTheCubicInsideAndBeyondTheTable) {
  // Unevenly spaced radii; the first n of them are used.
  const std::array<double, 8> all{0.0, 0.5, 0.8, 1.5, 1.75, 2.6, 3.0, 4.2};
  const int n = GetParam();
  std::vector<double> x(n + 1, 0.0), y(n + 1, 0.0), y2(n + 1, -99.0);
  for (int i = 1; i <= n; ++i) {
    x[i] = all[i];
    y[i] = cubic(x[i]);
  }
  spline_second_derivatives(n, x, y, y2, cubic_second(x[1]), cubic_second(x[n]));
  EXPECT_EQ(y2[1], cubic_second(x[1]));
  EXPECT_EQ(y2[n], cubic_second(x[n]));
  for (int i = 2; i < n; ++i) expect_close(y2[i], cubic_second(x[i]));

  const std::array<double, 9> probes{-1.5, 0.0, 0.5, 0.61, 1.1, 1.7, 2.0, 4.0, 6.5};
  for (double r : probes) expect_close(spline_value(r, 1, n, x, y, y2), cubic(r));
}

INSTANTIATE_TEST_SUITE_P(TableSizes, SplineOfCubic, ::testing::Values(2, 3, 4, 7));

TEST(SplineSecondDerivatives, NaturalSplineOfThreePoints) {
  // Hand solution: row 2 has diag 2/3 and right side (0 - 1) - (1 - 0) = -2, so y2[2] = -3.
  const std::array<double, 4> x{0.0, 0.0, 1.0, 2.0};
  const std::array<double, 4> y{0.0, 0.0, 1.0, 0.0};
  std::array<double, 4> y2{};
  spline_second_derivatives(3, x, y, y2, 0.0, 0.0);
  EXPECT_EQ(y2[1], 0.0);
  EXPECT_EQ(y2[2], -3.0);
  EXPECT_EQ(y2[3], 0.0);
  // At the midpoints A = B = 1/2: 1/2 + (1/8 - 1/2)/6 * (-3) = 0.6875.
  EXPECT_EQ(spline_value(0.5, 1, 3, x, y, y2), 0.6875);
  EXPECT_EQ(spline_value(1.5, 1, 3, x, y, y2), 0.6875);
  // Beyond the ends the end pieces continue: at -1, A = 2, B = -1, B^3 - B = 0, value -1;
  // at 3 likewise by symmetry.
  EXPECT_EQ(spline_value(-1.0, 1, 3, x, y, y2), -1.0);
  EXPECT_EQ(spline_value(3.0, 1, 3, x, y, y2), -1.0);
}

TEST(SplineSecondDerivatives, NaturalSplineOfFourPoints) {
  // Hand solution: rows 2 and 3 read (2/3) M2 + (1/6) M3 = -2 and (1/6) M2 + (2/3) M3 = 2,
  // so M3 = -M2 and M2 = -4. Midpoint values: 1/2 + (-3/8)/6 * (-4) = 0.75 on [0, 1],
  // 1/2 + (-1/16)(-4) + (-1/16)(4) = 0.5 on [1, 2], 1/2 + (-1/16)(4) = 0.25 on [2, 3].
  const std::array<double, 5> x{0.0, 0.0, 1.0, 2.0, 3.0};
  const std::array<double, 5> y{0.0, 0.0, 1.0, 0.0, 1.0};
  std::array<double, 5> y2{};
  spline_second_derivatives(4, x, y, y2, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(y2[2], -4.0);
  EXPECT_DOUBLE_EQ(y2[3], 4.0);
  EXPECT_DOUBLE_EQ(spline_value(0.5, 1, 4, x, y, y2), 0.75);
  EXPECT_DOUBLE_EQ(spline_value(1.5, 1, 4, x, y, y2), 0.5);
  EXPECT_DOUBLE_EQ(spline_value(2.5, 1, 4, x, y, y2), 0.25);
}

TEST(SplineSecondDerivatives, TwoPointsSolveNothing) {
  const std::array<double, 3> x{0.0, 1.0, 3.0};
  const std::array<double, 3> y{0.0, 2.0, 6.0};
  std::array<double, 3> y2{7.0, 7.0, 7.0};
  spline_second_derivatives(2, x, y, y2, 0.0, 0.0);
  EXPECT_EQ(y2[0], 7.0);  // slot 0 is not the spline's
  EXPECT_EQ(y2[1], 0.0);
  EXPECT_EQ(y2[2], 0.0);
  // A straight line, continued on both sides.
  EXPECT_DOUBLE_EQ(spline_value(2.0, 1, 2, x, y, y2), 4.0);
  EXPECT_DOUBLE_EQ(spline_value(-1.0, 1, 2, x, y, y2), -2.0);
  EXPECT_DOUBLE_EQ(spline_value(5.0, 1, 2, x, y, y2), 10.0);
}

TEST(SplineValue, TabulatedPointsAreReproducedExactly) {
  const std::array<double, 7> x{0.0, 1.1, 1.3, 2.0, 2.9, 4.4, 5.0};
  const std::array<double, 7> y{0.0, 310.5, -12.25, -840.0, -402.125, -17.5, -3.0};
  std::array<double, 7> y2{};
  spline_second_derivatives(6, x, y, y2, 2500.0, 1.5);
  // At a tabulated radius one of A, B is exactly 0 and the other exactly 1.
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(spline_value(x[i], 1, 6, x, y, y2), y[i]) << i;
}

TEST(SplineValue, SearchStaysInsideTheGivenIndexRange) {
  // With the search limited to points 2..4, a radius below point 2 continues the piece 2-3.
  const std::array<double, 6> x{0.0, 0.0, 1.0, 2.0, 3.0, 4.0};
  std::array<double, 6> y{};
  for (int i = 1; i <= 5; ++i) y[i] = cubic(x[i]);
  std::array<double, 6> y2{};
  for (int i = 1; i <= 5; ++i) y2[i] = cubic_second(x[i]);
  expect_close(spline_value(-0.5, 2, 4, x, y, y2), cubic(-0.5));
  expect_close(spline_value(7.0, 2, 4, x, y, y2), cubic(7.0));
}

TEST(Spline, RefusesBadTables) {
  std::vector<double> x(502), y(502), y2(502);
  for (int i = 0; i < 502; ++i) x[i] = i;
  EXPECT_THROW(spline_second_derivatives(1, x, y, y2, 0.0, 0.0), std::invalid_argument);
  EXPECT_THROW(spline_second_derivatives(501, x, y, y2, 0.0, 0.0), std::invalid_argument);
  EXPECT_NO_THROW(spline_second_derivatives(500, x, y, y2, 0.0, 0.0));
  EXPECT_THROW(spline_second_derivatives(5, std::span<const double>(x).first(5), y, y2, 0.0, 0.0),
               std::invalid_argument);
  x[3] = x[2];
  EXPECT_THROW(spline_second_derivatives(5, x, y, y2, 0.0, 0.0), std::invalid_argument);
  x[3] = 1.5;
  EXPECT_THROW(spline_second_derivatives(5, x, y, y2, 0.0, 0.0), std::invalid_argument);
  x[3] = 3.0;

  EXPECT_THROW(spline_value(1.0, 0, 4, x, y, y2), std::invalid_argument);
  EXPECT_THROW(spline_value(1.0, 3, 3, x, y, y2), std::invalid_argument);
  EXPECT_THROW(spline_value(1.0, 1, 502, x, y, y2), std::invalid_argument);
  EXPECT_THROW(spline_value(1.0, 1, 4, x, y, std::span<const double>(y2).first(4)),
               std::invalid_argument);
}

}  // namespace
}  // namespace velk
