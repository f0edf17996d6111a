// The Gauss-Legendre rules against the exact integrals of monomials on [0, 1].
#include "rkr/gauss_legendre.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "numlib/ipow.h"

namespace velk::rkr {
namespace {

class GaussRuleTest : public testing::TestWithParam<int> {};

// An n-point rule is exact for degree 2n - 1: ∫_0^1 t^k dt = 1/(k + 1). The tolerance is a few
// units of rounding of sums of n terms near 1.
TEST_P(GaussRuleTest, IntegratesPolynomialsOfDegreeTwoNMinusOneExactly) {
  const int n = GetParam();
  const GaussRule rule = gauss_legendre_unit(n);
  ASSERT_EQ(rule.t.size(), static_cast<std::size_t>(n));
  for (int k = 0; k <= 2 * n - 1; ++k) {
    double sum = 0.0;
    for (std::size_t i = 0; i < rule.t.size(); ++i) sum += rule.w[i] * ipow(rule.t[i], k);
    EXPECT_NEAR(sum, 1.0 / (k + 1), 2e-15 * (n + 1)) << "k = " << k;
  }
  // ... and not for degree 2n: ∫ t^(2n) differs from the rule's sum.
  double sum = 0.0;
  for (std::size_t i = 0; i < rule.t.size(); ++i) sum += rule.w[i] * ipow(rule.t[i], 2 * n);
  if (n < 12) {
    EXPECT_GT(std::abs(sum - 1.0 / (2 * n + 1)), 1e-13);
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, GaussRuleTest, testing::Values(1, 2, 3, 7, 20, 64, 200));

TEST(GaussRule, RefusesOrdersOutsideItsRange) {
  EXPECT_THROW(gauss_legendre_unit(0), std::invalid_argument);
  EXPECT_THROW(gauss_legendre_unit(kLargestGaussOrder + 1), std::invalid_argument);
}

}  // namespace
}  // namespace velk::rkr
