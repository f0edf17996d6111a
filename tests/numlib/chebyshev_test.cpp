#include "numlib/chebyshev.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "support/failure_recorder.h"

namespace velk {
namespace {

using test::FailureRecorder;
using Messages = std::vector<std::string>;

// T0 .. T4 written out, independent of any recurrence.
double t_poly(int k, double t) {
  switch (k) {
    case 0:
      return 1.0;
    case 1:
      return t;
    case 2:
      return 2.0 * t * t - 1.0;
    case 3:
      return 4.0 * t * t * t - 3.0 * t;
    case 4:
      return 8.0 * t * t * t * t - 8.0 * t * t + 1.0;
    default:
      return std::cos(k * std::acos(t));
  }
}

// Slot 0 unused; c[1] .. c[5] are the coefficients of T0 .. T4.
constexpr std::array<double, 6> kCoefficients = {0.0, 0.7, -1.3, 0.25, 2.0, -0.5};

double hand_sum(double t) {
  double s = kCoefficients[1] / 2.0;
  for (int j = 2; j <= 5; ++j) s += kCoefficients[j] * t_poly(j - 1, t);
  return s;
}

TEST(Chebev, FirstCoefficientEntersHalved) {
  const std::array<double, 2> c = {0.0, 2.0};
  for (const double y : {-1.0, -0.3, 0.0, 0.8, 1.0})
    EXPECT_EQ(chebev(-1.0, 1.0, c, 1, y, throw_on_numerical_failure), 1.0);
}

TEST(Chebev, MatchesAHandSumOnAShiftedInterval) {
  const double a = -1.5;
  const double b = 3.0;
  for (const double y : {-1.5, -0.2, 0.6, 2.25, 3.0}) {
    const double t = (2.0 * y - a - b) / (b - a);
    FailureRecorder failures;
    EXPECT_NEAR(chebev(a, b, kCoefficients, 5, y, failures.handler()), hand_sum(t), 1e-14)
        << "y = " << y;
    EXPECT_EQ(failures.messages(), Messages{}) << "the ends belong to the interval";
  }
}

TEST(Chebev, UsesExactlyTheFirstMCoefficients) {
  std::array<double, 8> c{};
  for (int j = 1; j <= 5; ++j) c[j] = kCoefficients[j];
  c[6] = 1e6;
  c[7] = -3e5;
  EXPECT_NEAR(chebev(-1.0, 1.0, c, 5, 0.37, throw_on_numerical_failure), hand_sum(0.37), 1e-14);
}

TEST(Chebev, OutsideTheIntervalIsReportedAndStillSummed) {
  FailureRecorder failures;
  // t = 2: T0 .. T4 are 1, 2, 7, 26, 97.
  const double expected = 0.7 / 2.0 - 1.3 * 2.0 + 0.25 * 7.0 + 2.0 * 26.0 - 0.5 * 97.0;
  EXPECT_NEAR(chebev(-1.0, 1.0, kCoefficients, 5, 2.0, failures.handler()), expected, 1e-12);
  EXPECT_EQ(failures.messages(), Messages{"x not in range in chebev"});
}

TEST(Chebev, RejectsACountBeyondTheTable) {
  EXPECT_THROW(chebev(-1.0, 1.0, kCoefficients, 6, 0.0, throw_on_numerical_failure),
               std::invalid_argument);
  EXPECT_THROW(chebev(-1.0, 1.0, kCoefficients, 0, 0.0, throw_on_numerical_failure),
               std::invalid_argument);
  EXPECT_THROW(chebev(1.0, 1.0, kCoefficients, 5, 1.0, throw_on_numerical_failure),
               std::invalid_argument);
}

struct GammaRow {
  double mu, gam1, gam2, gampl, gammi;
};

// python3 mpmath 1.3.0, 40 digits: gam1 = (1/gamma(1-mu) - 1/gamma(1+mu))/(2 mu) (-euler at
// mu = 0), gam2 = (1/gamma(1-mu) + 1/gamma(1+mu))/2, gampl = 1/gamma(1+mu), gammi = 1/gamma(1-mu).
constexpr GammaRow kGamma[] = {
    {-0.5, -0.56418958354775628, 0.84628437532163447, 0.56418958354775628, 1.1283791670955126},
    {-0.3, -0.57309887446789309, 0.9423128462069339, 0.77038318386656601, 1.1142425085473018},
    {0.0, -0.57721566490153287, 1.0, 1.0, 1.0},
    {1e-06, -0.5772156649014909, 0.99999999999934408, 1.0000005772150091, 0.99999942278367926},
    {0.25, -0.5744274244451486, 0.95965579520955013, 1.1032626513208372, 0.81604893909826293},
    {0.3333333333333333, -0.57203761515080609, 0.92916731667191699, 1.1198465217221856,
     0.73848811162164829},
    {0.5, -0.56418958354775628, 0.84628437532163447, 1.1283791670955126, 0.56418958354775628},
};

// The tails of the two expansions (terms 6.. that are stored but not summed).
double gam1_tail(double y) {
  return 3.67795e-11 * t_poly(5, y) - 1.356e-13 * t_poly(6, y);
}
double gam2_tail(double y) {
  return 2.423096e-10 * t_poly(5, y) - 1.702e-13 * t_poly(6, y) - 1.49e-15 * t_poly(7, y);
}

// Five terms leave gam2 off by up to 2.4e-10 (the first omitted coefficient): 3e-10.
TEST(GammaFactors, AgreeWithTheGammaFunction) {
  for (const GammaRow& r : kGamma) {
    FailureRecorder failures;
    const GammaFactors g = gamma_factors(r.mu, failures.handler());
    EXPECT_EQ(failures.messages(), Messages{}) << "mu = " << r.mu;
    EXPECT_NEAR(g.gam1, r.gam1, 3e-10) << "mu = " << r.mu;
    EXPECT_NEAR(g.gam2, r.gam2, 3e-10) << "mu = " << r.mu;
    EXPECT_NEAR(g.gampl, r.gampl, 3e-10) << "mu = " << r.mu;
    EXPECT_NEAR(g.gammi, r.gammi, 3e-10) << "mu = " << r.mu;
  }
}

// Adding back the unsummed tail recovers the gamma function to rounding (the full eight-term
// expansion matches mpmath to 2e-16): the routine sums the first five terms and no others.
TEST(GammaFactors, SumExactlyFiveTerms) {
  for (const GammaRow& r : kGamma) {
    const GammaFactors g = gamma_factors(r.mu, throw_on_numerical_failure);
    const double y = 8.0 * r.mu * r.mu - 1.0;
    EXPECT_NEAR(g.gam1 + gam1_tail(y), r.gam1, 2e-15) << "mu = " << r.mu;
    EXPECT_NEAR(g.gam2 + gam2_tail(y), r.gam2, 2e-15) << "mu = " << r.mu;
  }
}

// |mu| > 1/2 maps outside [-1, 1]: chebev reports it, once per expansion.
TEST(GammaFactors, OrderBeyondOneHalfIsReported) {
  FailureRecorder failures;
  gamma_factors(0.6, failures.handler());
  EXPECT_EQ(failures.messages(),
            (Messages{"x not in range in chebev", "x not in range in chebev"}));
}

}  // namespace
}  // namespace velk
