// Cubic spline of a table of points with prescribed second derivatives at both ends.
//
// Tables are 1-based, slot 0 unused: x[1..n], y[1..n], y2[1..n] (the project's array convention).
// The abscissae must be strictly increasing. At most 500 points (the size of a pointwise
// potential's table), at least 2.
//
// Bad tables are refused with std::invalid_argument: spline_second_derivatives checks the count
// (2..500), the span lengths and that the abscissae strictly increase; spline_value checks that
// its search indices lie inside the spans (it is called once per grid point, so the order of the
// radii is left to the earlier check). A file reader is expected to have rejected such input with
// its own message first.
#pragma once

#include <span>

namespace velk {

inline constexpr int kSplineCapacity = 500;

// Fills y2[1..n] with the second derivatives of the cubic spline through (x[i], y[i]) whose
// second derivatives at the first and last point are y2first and y2last. With both zero this is
// the natural spline; with n = 2 there is nothing to solve and y2 holds the two end values.
void spline_second_derivatives(int n, std::span<const double> x, std::span<const double> y,
                               std::span<double> y2, double y2first, double y2last);

// Value at x of the spline of the table (Rpts, Upts, Y2pts), the interval found by bisection
// between point indices ilo and ihi (callers pass 1 and the number of points). Below the first
// point the first cubic piece is continued, at or above the last point the last one, so the
// spline is defined on the whole real line.
double spline_value(double x, int ilo, int ihi, std::span<const double> Rpts,
                    std::span<const double> Upts, std::span<const double> Y2pts);

// Value at x of the cubic piece between points ilo and ilo + 1, which the caller has found and
// checked against the spans; spline_value is the bisection around it.
inline double spline_piece(double x, int ilo, std::span<const double> Rpts,
                           std::span<const double> Upts, std::span<const double> Y2pts) {
  const int ihi = ilo + 1;
  const double d = Rpts[ihi] - Rpts[ilo];
  const double A = (Rpts[ihi] - x) / d;
  const double B = (x - Rpts[ilo]) / d;
  // The cubic terms are formed in this order on purpose: the tabulated curve is reproduced to
  // the last bit only with it.
  return A * Upts[ilo] + B * Upts[ihi] + d * (d * A * (A * A - 1.0) / 6.0) * Y2pts[ilo] +
         d * (d * B * (B * B - 1.0) / 6.0) * Y2pts[ihi];
}

}  // namespace velk
