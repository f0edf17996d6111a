// Airy functions of a real argument, from Bessel functions of order 1/3 and 2/3 at
// z = (2/3)|x|^(3/2): I and K for x > 0, J and Y for x < 0, stored values at x = 0.
//
// The formulas use the stored constants pi = 3.1415927 and 1/sqrt(3) = 0.57735027, so the results
// differ from full-precision Airy values in about the eighth significant digit. That is kept on
// purpose: the quasi-bound start values of the radial solvers depend on it.
//
// x is dimensionless. For |x| < 1e-15 (x = 0 included) the stored values at 0 are returned:
// Ai(0) = 0.35502805, Ai'(0) = -0.2588194, and Bi(0), Bi'(0) as Ai(0), -Ai'(0) divided by the
// stored 1/sqrt(3); the order-2/3 Bessel pair cannot be formed that close to 0. Towards large |x|
// the Bessel routines' limits show: Ai underflows to 0 and Bi overflows to infinity beyond
// x = 104; below about x = -600 the first continued fraction of J exceeds its 10000 terms, which
// is reported to on_failure (the values then lose accuracy).
#pragma once

#include "numlib/failure_policy.h"

namespace velk {

struct AiryValues {
  double ai = 0.0;
  double bi = 0.0;
  double ai_prime = 0.0;
  double bi_prime = 0.0;
};

// The Bessel routines report their failures to on_failure.
AiryValues airy_functions(double x, const NumericalFailureHandler& on_failure);

}  // namespace velk
