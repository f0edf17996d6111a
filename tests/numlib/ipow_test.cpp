#include "numlib/ipow.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace velk {
namespace {

// Square-and-multiply written out for n = 5 and n = 6: the grouping decides the last bit, so the
// comparisons are exact.
TEST(IpowTest, FollowsTheSquareAndMultiplyGrouping) {
  const double x = 1.1;
  const double x2 = x * x;
  const double x4 = x2 * x2;
  EXPECT_EQ(ipow(x, 5), x * x4);
  EXPECT_EQ(ipow(x, 6), x2 * x4);
  EXPECT_EQ(ipow(x, 0), 1.0);
  EXPECT_EQ(ipow(0.0, 0), 1.0);
  EXPECT_EQ(ipow(x, 1), x);
}

TEST(IpowTest, NegativePowerIsTheReciprocalOfThePositiveOne) {
  EXPECT_EQ(ipow(2.0, -3), 0.125);
  EXPECT_EQ(ipow(1.1, -5), 1.0 / ipow(1.1, 5));
  EXPECT_EQ(ipow(-2.0, -1), -0.5);
}

// The most negative int has no positive counterpart; its magnitude is taken without overflow
// (the sanitizer build reports a negation of INT_MIN). 2^31 is even, so signs drop out.
TEST(IpowTest, MostNegativeExponentHasAMagnitude) {
  EXPECT_EQ(ipow(1.0, INT_MIN), 1.0);
  EXPECT_EQ(ipow(-1.0, INT_MIN), 1.0);
  EXPECT_EQ(ipow(2.0, INT_MIN), 0.0);  // 1/2^(2^31): 2^(2^31) overflows to infinity
  EXPECT_EQ(ipow(0.5, INT_MIN), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ipow(-1.0, INT_MAX), -1.0);
}

}  // namespace
}  // namespace velk
