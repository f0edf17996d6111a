// Gauss-Legendre quadrature rules on [0, 1], for the turning-point integrals of velk-rkr.
//
// The nodes and weights come from the Golub-Welsch eigenproblem of the Legendre recurrence
// (Eigen's symmetric tridiagonal solver), each node then polished by Newton steps on P_n so that
// the rule integrates polynomials of degree 2n - 1 to within a few units of rounding.
#pragma once

#include <vector>

namespace velk::rkr {

struct GaussRule {
  std::vector<double> t;  // nodes in (0, 1), increasing
  std::vector<double> w;  // weights, summing to 1
};

// The n-point rule on [0, 1]; n must lie in 1..kLargestGaussOrder (std::invalid_argument else).
inline constexpr int kLargestGaussOrder = 400;
GaussRule gauss_legendre_unit(int n);

}  // namespace velk::rkr
