#include "pec/spline.h"

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace velk {

void spline_second_derivatives(int n, std::span<const double> x, std::span<const double> y,
                               std::span<double> y2, double y2first, double y2last) {
  if (n < 2 || n > kSplineCapacity) {
    throw std::invalid_argument("spline_second_derivatives: " + std::to_string(n) +
                                " points, expected 2.." + std::to_string(kSplineCapacity));
  }
  const auto slots = static_cast<std::size_t>(n) + 1;
  if (x.size() < slots || y.size() < slots || y2.size() < slots) {
    throw std::invalid_argument("spline_second_derivatives: tables shorter than " +
                                std::to_string(n) + " points plus unused slot 0");
  }
  for (int i = 2; i <= n; ++i) {
    // Written so that a NaN radius is refused as well.
    if (!(x[i] > x[i - 1])) {
      throw std::invalid_argument("spline_second_derivatives: radius of point " +
                                  std::to_string(i) + " does not exceed that of point " +
                                  std::to_string(i - 1));
    }
  }

  y2[1] = y2first;
  y2[n] = y2last;
  if (n == 2) return;

  // Rows 2..n-1 of the tridiagonal system; slots 0 and 1 unused.
  std::array<double, kSplineCapacity + 1> sub;
  std::array<double, kSplineCapacity + 1> diag;
  std::array<double, kSplineCapacity + 1> sup;
  std::array<double, kSplineCapacity + 1> r;
  for (int i = 2; i <= n - 1; ++i) {
    sub[i] = (x[i] - x[i - 1]) / 6.0;
    diag[i] = (x[i + 1] - x[i - 1]) / 3.0;
    sup[i] = (x[i + 1] - x[i]) / 6.0;
    r[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
  }
  r[2] -= (x[2] - x[1]) * y2[1] / 6.0;
  r[n - 1] -= (x[n] - x[n - 1]) * y2[n] / 6.0;

  // The system is diagonally dominant for increasing abscissae, so no pivoting is needed.
  for (int i = 2; i <= n - 2; ++i) {
    const double m = sub[i + 1] / diag[i];
    diag[i + 1] -= m * sup[i];
    r[i + 1] -= m * r[i];
  }
  y2[n - 1] = r[n - 1] / diag[n - 1];
  for (int i = n - 2; i >= 2; --i) y2[i] = (r[i] - sup[i] * y2[i + 1]) / diag[i];
}

double spline_value(double x, int ilo, int ihi, std::span<const double> Rpts,
                    std::span<const double> Upts, std::span<const double> Y2pts) {
  if (ilo < 1 || ihi <= ilo || static_cast<std::size_t>(ihi) >= Rpts.size() ||
      static_cast<std::size_t>(ihi) >= Upts.size() ||
      static_cast<std::size_t>(ihi) >= Y2pts.size()) {
    throw std::invalid_argument("spline_value: search interval " + std::to_string(ilo) + ".." +
                                std::to_string(ihi) + " outside the table");
  }
  // Points outside the table end in the first or last interval, so the end cubics are continued.
  while (ihi - ilo != 1) {
    const int k = (ilo + ihi) / 2;
    if (Rpts[k] > x) {
      ihi = k;
    } else {
      ilo = k;
    }
  }
  return spline_piece(x, ilo, Rpts, Upts, Y2pts);
}

}  // namespace velk
