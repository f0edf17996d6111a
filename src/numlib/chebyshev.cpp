#include "numlib/chebyshev.h"

#include <stdexcept>
#include <string>

namespace velk {

namespace {

// Chebyshev coefficients of gam1 and gam2 in 8 mu^2 - 1, 1-based (slot 0 unused). Only the first
// five of each are summed, which sets the accuracy of Temme's series (about 2.4e-10 in gam2) and
// with it printed digits; the further terms are listed so that the tables read as the complete
// expansions, but summing them would change those digits.
// clang-format off
constexpr double kGam1Coefficients[] = {
    0.0,
    -1.142022680371168, 0.0065165112670737, 0.0003087090173086, -3.4706269649e-06,
    6.9437664e-09,      3.67795e-11,        -1.356e-13};
constexpr double kGam2Coefficients[] = {
    0.0,
    1.843740587300905,  -0.0768528408447867, 0.0012719271366546, -4.9717367042e-06,
    -3.31261198e-08,    2.423096e-10,        -1.702e-13,         -1.49e-15};
// clang-format on
constexpr int kTermsUsed = 5;

}  // namespace

double chebev(double a, double b, std::span<const double> c, int m, double y,
              const NumericalFailureHandler& on_failure) {
  if (m < 1 || c.size() < static_cast<std::size_t>(m) + 1) {
    throw std::invalid_argument("chebev: " + std::to_string(m) +
                                " coefficients asked, table holds " +
                                std::to_string(c.empty() ? 0 : c.size() - 1));
  }
  if (a == b) throw std::invalid_argument("chebev: empty interval, a == b");
  if ((y - a) * (y - b) > 0.0) on_failure("x not in range in chebev");

  double d1 = 0.0;
  double d2 = 0.0;
  const double t = (2.0 * y - a - b) / (b - a);
  const double t2 = 2.0 * t;
  for (int j = m; j >= 2; --j) {
    const double saved = d1;
    d1 = t2 * d1 - d2 + c[j];
    d2 = saved;
  }
  return t * d1 - d2 + 0.5 * c[1];
}

GammaFactors gamma_factors(double mu, const NumericalFailureHandler& on_failure) {
  const double y = 8.0 * mu * mu - 1.0;
  GammaFactors g;
  g.gam1 = chebev(-1.0, 1.0, kGam1Coefficients, kTermsUsed, y, on_failure);
  g.gam2 = chebev(-1.0, 1.0, kGam2Coefficients, kTermsUsed, y, on_failure);
  g.gampl = g.gam2 - mu * g.gam1;
  g.gammi = g.gam2 + mu * g.gam1;
  return g;
}

}  // namespace velk
