#include "rkr/gauss_legendre.h"

#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace velk::rkr {
namespace {

struct LegendreValue {
  double P = 0.0, dP = 0.0;
};

// P_n(x) and P_n'(x) by the three-term recurrence.
LegendreValue legendre(int n, double x) {
  double previous = 1.0, current = x;
  if (n == 0) return {1.0, 0.0};
  for (int k = 2; k <= n; ++k) {
    const double next = ((2.0 * k - 1.0) * x * current - (k - 1.0) * previous) / k;
    previous = current;
    current = next;
  }
  return {current, n * (x * current - previous) / (x * x - 1.0)};
}

}  // namespace

GaussRule gauss_legendre_unit(int n) {
  if (n < 1 || n > kLargestGaussOrder) {
    throw std::invalid_argument("gauss_legendre_unit: order " + std::to_string(n) + " outside 1.." +
                                std::to_string(kLargestGaussOrder));
  }
  // Jacobi matrix of the Legendre polynomials: zero diagonal, k/sqrt(4k² - 1) beside it.
  Eigen::VectorXd diagonal = Eigen::VectorXd::Zero(n);
  Eigen::VectorXd beside(std::max(n - 1, 0));
  for (int k = 1; k < n; ++k) beside(k - 1) = k / std::sqrt(4.0 * k * k - 1.0);
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver;
  solver.computeFromTridiagonal(diagonal, beside, Eigen::EigenvaluesOnly);
  GaussRule rule;
  rule.t.resize(static_cast<std::size_t>(n));
  rule.w.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double x = solver.eigenvalues()(i);
    // The eigenvalues are good to about 1e-15 absolute; Newton on P_n restores full relative
    // accuracy near the ends, where the weights are most sensitive.
    LegendreValue value = legendre(n, x);
    for (int step = 0; step < 3 && value.dP != 0.0; ++step) {
      x -= value.P / value.dP;
      value = legendre(n, x);
    }
    const auto slot = static_cast<std::size_t>(i);
    rule.t[slot] = 0.5 * (x + 1.0);
    // The weight on [-1, 1] is 2/((1 - x²) P_n'(x)²); on [0, 1] half of it.
    rule.w[slot] = 1.0 / ((1.0 - x * x) * value.dP * value.dP);
  }
  return rule;
}

}  // namespace velk::rkr
