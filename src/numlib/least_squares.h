// General linear least squares with a mask of held coefficients, solved by Gauss-Jordan
// elimination with full pivoting.
//
// The model is y(x) = sum over j = 1..M of a_j * X_j(x); the caller supplies the basis X_j as a
// routine. Coefficients whose fit flag is 0 keep the value they have on entry and their share is
// taken off the data before the normal equations are formed; the others are fitted.
//
// Array conventions:
//   - Vectors are 1-based, slot 0 unused: x, y, sig need n + 1 slots, a and fit_flags M + 1,
//     and the basis routine fills basis[1..M] of a span of M + 1 slots.
//   - Matrices are square, stored column by column with a declared leading dimension d:
//     element (j, k), 1 <= j, k <= d, is held at index (k - 1) * d + (j - 1). Only the leading
//     block of the used size is read or written.
//
// Capacity: at most 50 coefficients (the working vectors of both routines are fixed at 50).
// A count above that, a declared size smaller than the block in use, or a span too short for
// what the routine would touch is refused with std::invalid_argument before anything is written.
//
// Numerical failures are handed to the caller's failure handler; when it returns, the routine goes
// on with the values at hand (see gaussj).
#pragma once

#include <span>

#include "numlib/failure_policy.h"

namespace velk {

inline constexpr int kLeastSquaresCapacity = 50;

// Basis routine: fills basis[1..M] with X_1(x) .. X_M(x). p1, p2, p3 are handed through by lfit
// unchanged (the extension fit passes alpha, gamma and rho).
using BasisFunction = void (*)(double x, std::span<double> basis, int M, double p1, double p2,
                               double p3);

// Fits the coefficients a[j] whose fit_flags[j] is nonzero to the points (x[i], y[i]) with
// standard deviations sig[i], i = 1..n.
//
// On return:
//   - the fitted coefficients hold the least-squares values, the held ones are unchanged;
//   - covar holds, in its leading F x F block (F = number of fitted coefficients), the inverse of
//     the normal matrix in the order of the fitted coefficients (compressed, not expanded to M);
//   - chisq = sum over i of ((y[i] - sum over all j of a[j] X_j(x[i])) / sig[i])^2.
//
// The basis routine is called exactly 2n times: once per point for the normal equations, then
// once per point for chi-square. With no coefficient to fit, on_failure receives
// "lfit: no parameters to be fitted" and chi-square is computed for the coefficients as given. A
// singular normal matrix is reported by gaussj.
//
// Refused with std::invalid_argument: M outside 0..50, n < 0, a span shorter than its count,
// a declared size below F (or below 1), a null basis routine, a zero standard deviation.
void lfit(std::span<const double> x, std::span<const double> y, std::span<const double> sig, int n,
          std::span<double> a, std::span<const int> fit_flags, int M, std::span<double> covar,
          int declared_size, double& chisq, BasisFunction basis, double p1, double p2, double p3,
          const NumericalFailureHandler& on_failure);

// Solves A X = B in place for the leading m x m block of a and the first nrhs columns of b
// (both of leading dimension declared_size): a is replaced by its inverse, b by the solutions.
//
// Full pivoting: in each step the largest remaining element is taken; among equal magnitudes the
// one met last in a row-by-row, column-by-column scan wins. An exactly zero pivot, or a column
// chosen as pivot a second time (possible only when no element qualifies, e.g. all NaN), is
// reported to on_failure as "singular matrix in gaussj"; elimination then goes on and the results
// carry no meaning (a zero pivot turns into infinities, as IEEE division makes it).
//
// Refused with std::invalid_argument: m outside 0..50, nrhs < 0, declared_size < max(m, 1),
// a span too short for the leading block.
void gaussj(std::span<double> a, int m, int declared_size, std::span<double> b, int nrhs,
            const NumericalFailureHandler& on_failure);

}  // namespace velk
