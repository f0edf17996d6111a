// Chebyshev sums and the gamma-function factors of Temme's Bessel series.
//
// Coefficient tables follow the project's 1-based convention: c[1] .. c[m] hold the coefficients
// of T0 .. T(m-1), slot c[0] is never read, so a table of m coefficients has m + 1 slots.
#pragma once

#include <span>

#include "numlib/failure_policy.h"

namespace velk {

// Sum of the Chebyshev series c[1]/2 + sum over j = 2..m of c[j]·T(j-1)(t), with
// t = (2y - a - b)/(b - a) mapping [a, b] onto [-1, 1], by Clenshaw's recurrence from c[m] down.
// The first coefficient enters halved, as in the usual Chebyshev-fit convention.
//
// A point y outside [a, b] is reported to on_failure as "x not in range in chebev" and the series
// is then summed at y all the same. m < 1, m beyond the table (c.size() < m + 1) or a == b throws
// std::invalid_argument: those are programming errors, not numerical failures.
double chebev(double a, double b, std::span<const double> c, int m, double y,
              const NumericalFailureHandler& on_failure);

// The four factors of Temme's series at reduced order mu, |mu| <= 1/2:
//   gam1  = (1/Gamma(1 - mu) - 1/Gamma(1 + mu)) / (2 mu)   (its limit -0.5772... at mu = 0)
//   gam2  = (1/Gamma(1 - mu) + 1/Gamma(1 + mu)) / 2
//   gampl = 1/Gamma(1 + mu)
//   gammi = 1/Gamma(1 - mu)
struct GammaFactors {
  double gam1 = 0.0;
  double gam2 = 0.0;
  double gampl = 0.0;
  double gammi = 0.0;
};

// gam1 and gam2 come from five-term Chebyshev expansions in 8 mu^2 - 1, good to a few parts in
// 1e11; |mu| > 1/2 leaves [-1, 1], which chebev reports to on_failure.
GammaFactors gamma_factors(double mu, const NumericalFailureHandler& on_failure);

}  // namespace velk
