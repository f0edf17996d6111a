#include "run/level_limits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace velk {
namespace {

LevelRanges one_J(int32_t J) {
  return LevelRanges{0, 0, J, J, 1, 1};
}

// The bound is the one of the product itself, formed here in 64 bits: J(J+1) must not exceed
// 2^31 - 1. Every J in a window around both ends is checked against it.
TEST(LevelLimitsTest, JIsRefusedExactlyWhenJTimesJPlusOneLeaves32Bits) {
  for (int64_t J = -46400; J <= 46400; J += (J > -46300 && J < 46300) ? 997 : 1) {
    const bool fits = J * (J + 1) <= std::numeric_limits<int32_t>::max();
    const auto problem = level_request_problem(one_J(static_cast<int32_t>(J)));
    EXPECT_EQ(!problem.has_value(), fits) << "J = " << J;
  }
  EXPECT_FALSE(level_request_problem(one_J(kLargestJ)));
  EXPECT_FALSE(level_request_problem(one_J(kSmallestJ)));
  EXPECT_EQ(*level_request_problem(LevelRanges{0, 2, 46000, 46341, 0, 1}),
            "J = 46341 is requested; J(J+1) is formed in 32-bit integers, which hold J = -46341 "
            "to 46340");
  EXPECT_NE(level_request_problem(LevelRanges{0, 0, -46342, 0, 1, 1})->find("J = -46342"),
            std::string::npos);
}

TEST(LevelLimitsTest, JOfARequestWithoutLevelsIsNotFormedAndNotRefused) {
  // An empty v range: the driver forms no J(J+1), and the file announces 0 levels.
  EXPECT_FALSE(level_request_problem(LevelRanges{1, 0, 50000, 50000, 1, 1}));
  EXPECT_FALSE(level_request_problem(LevelRanges{0, 0, 50000, 50000, 2, 1}));
}

TEST(LevelLimitsTest, CountMustFitTheFiveColumnsOfTheLevelFile) {
  // 99999 = 3 * 33333 levels fit; 100000 = 100 * 1000 do not.
  EXPECT_FALSE(level_request_problem(LevelRanges{0, 2, 0, 33332, 1, 1}));
  EXPECT_EQ(*level_request_problem(LevelRanges{0, 99, 0, 999, 1, 1}),
            "100000 levels are requested; a level file holds at most 99999");
  // A reversed range announces a negative product (v from 0 to -10000: size -9999), which still
  // fits I5; a size of -10000 does not.
  EXPECT_FALSE(level_request_problem(LevelRanges{0, -10000, 0, 0, 1, 1}));
  EXPECT_NE(level_request_problem(LevelRanges{0, -10001, 0, 0, 1, 1})->find("-10000"),
            std::string::npos);
  // Two reversed ranges: (-999) * (-999) = 998001 announced, no level line.
  EXPECT_TRUE(level_request_problem(LevelRanges{0, -1000, 0, -1000, 1, 1}));
}

TEST(LevelLimitsTest, CountsBeyond32BitsAreRefusedNotWrapped) {
  // 65536 * 65536 = 2^32 wraps to 0 in 32 bits, which would announce an empty file.
  const auto wraps = level_request_problem(LevelRanges{0, 65535, 0, 65535, 1, 1});
  ASSERT_TRUE(wraps);
  EXPECT_NE(wraps->find("overflows a 32-bit integer"), std::string::npos);
  // The three largest ranges: each size 2^32, a product beyond 64 bits.
  const int32_t lo = std::numeric_limits<int32_t>::min();
  const int32_t hi = std::numeric_limits<int32_t>::max();
  EXPECT_TRUE(level_request_problem(LevelRanges{lo, hi, lo, hi, lo, hi}));
}

}  // namespace
}  // namespace velk
