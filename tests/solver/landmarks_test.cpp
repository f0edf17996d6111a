#include "solver/landmarks.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <vector>

namespace velk {
namespace {

// A 1-based grid array from its values at points 1..N (slot 0 unused).
std::vector<double> grid(std::initializer_list<double> values) {
  std::vector<double> V{0.0};
  V.insert(V.end(), values);
  return V;
}
int points(const std::vector<double>& V) {
  return static_cast<int>(V.size()) - 1;
}

constexpr double kNoMinimum = 9.999999778196308e+22;  // 1e23 held in single precision

TEST(LowestMinimum, PicksLowestStrictInteriorMinimum) {
  // Two wells, the second deeper; a plateau (3, 3) is no strict minimum.
  const auto V = grid({10, 4, 7, 3, 3, 8, -2, 5, 6});
  EXPECT_EQ(lowest_minimum(V, points(V)), -2.0);
}

TEST(LowestMinimum, EndPointsAreNotMinima) {
  const auto V = grid({-100, 5, 2, 6, -50});
  EXPECT_EQ(lowest_minimum(V, points(V)), 2.0);
}

TEST(LowestMinimum, MonotonicCurveKeepsSingleStartValue) {
  const auto V = grid({9, 7, 5, 3, 1, -1});
  EXPECT_EQ(lowest_minimum(V, points(V)), kNoMinimum);
}

TEST(LowestMinimum, FewerThanThreePointsHaveNoInterior) {
  const auto V = grid({5, -1});
  EXPECT_EQ(lowest_minimum(V, 2), kNoMinimum);
  EXPECT_EQ(lowest_minimum(V, 1), kNoMinimum);
  EXPECT_EQ(lowest_minimum(V, 0), kNoMinimum);
}

TEST(LowestMinimum, RejectsCountBeyondArray) {
  const auto V = grid({5, 1, 5});
  EXPECT_THROW(lowest_minimum(V, 4), std::invalid_argument);
}

TEST(HighestBarrier, MonotonicCurveGivesReference) {
  const auto V = grid({1, 2, 3, 4, 5});
  const Barrier b = highest_barrier(V, points(V), 5.0);
  EXPECT_EQ(b.Umax, 5.0);
  EXPECT_EQ(b.nbar, 0);
}

TEST(HighestBarrier, SingleBarrierBelowZeroAboveReferenceGivesZero) {
  // The maximum starts at 0.0, so a barrier top of -20 above Vref = -50 reports 0.0.
  const auto V = grid({-10, -60, -20, -40, -50});
  const Barrier b = highest_barrier(V, points(V), -50.0);
  EXPECT_EQ(b.Umax, 0.0);
  EXPECT_EQ(b.nbar, 1);
}

TEST(HighestBarrier, CountsOnlyMaximaAboveReference) {
  // Maxima at 7, 12 and 2; with Vref = 5 only the first two count.
  const auto V = grid({0, 7, 1, 12, 0, 2, 1, 5});
  const Barrier b = highest_barrier(V, points(V), 5.0);
  EXPECT_EQ(b.Umax, 12.0);
  EXPECT_EQ(b.nbar, 2);
}

TEST(HighestBarrier, FewerThanThreePointsGiveReference) {
  const auto V = grid({3, 9});
  const Barrier b = highest_barrier(V, 2, 4.5);
  EXPECT_EQ(b.Umax, 4.5);
  EXPECT_EQ(b.nbar, 0);
}

TEST(TurningPoints, TwoCrossingsLeaveDvtAndJtAlone) {
  const auto V = grid({30, 5, 0, 5, 30});
  double dVt = -7.0;
  int32_t jt = -7;
  const Crossings c = turning_points(V, 15.0, points(V), GridOrientation::forward, dVt, jt);
  EXPECT_EQ(c.k1, 2);
  EXPECT_EQ(c.k2, 5);
  EXPECT_EQ(c.k3, 0);
  EXPECT_EQ(dVt, -7.0);
  EXPECT_EQ(jt, -7);
}

TEST(TurningPoints, GridValueEqualToEnergyIsNoCrossing) {
  // 30 -> 15 -> 0: the point at exactly E makes neither of its intervals a crossing.
  const auto V = grid({30, 15, 0});
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings c = turning_points(V, 15.0, points(V), GridOrientation::forward, dVt, jt);
  EXPECT_EQ(c.k1, 0);
  EXPECT_EQ(c.k2, 0);
  EXPECT_EQ(c.k3, 0);
}

TEST(TurningPoints, FiveCrossingsReportTheFifthAsK3) {
  // Crossings of E = 15 at i = 2, 3, 4, 6, 7.
  const auto V = grid({0, 30, 0, 20, 25, 10, 18});
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings c = turning_points(V, 15.0, points(V), GridOrientation::forward, dVt, jt);
  EXPECT_EQ(c.k1, 2);
  EXPECT_EQ(c.k2, 3);
  EXPECT_EQ(c.k3, 7);
  EXPECT_EQ(dVt, 8.0);
}

// Rising from 10 to 20 across E = 15: L(50) = 20 - 50·10/100 - 15 = 0 exactly, so the scan from
// m = 100 down stops at the first m with L(m-1)·L(m) <= 0, which is m = 51.
TEST(TurningPoints, RisingIntervalStopsAtHundredthAboveExactZero) {
  const auto V = grid({0, 30, 10, 20});  // crossings at 2, 3, 4; k3 = 4 rises 10 -> 20
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings c = turning_points(V, 15.0, points(V), GridOrientation::forward, dVt, jt);
  EXPECT_EQ(c.k3, 4);
  EXPECT_EQ(dVt, 10.0);
  EXPECT_EQ(jt, 51);
}

TEST(TurningPoints, ReversedGridExchangesK1K3AndLowersJt) {
  // Mirrored order: the rising interval 10 -> 20 is the first crossing, which becomes k3.
  const auto V = grid({10, 20, 0, 20});  // crossings at 2, 3, 4
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings c = turning_points(V, 15.0, points(V), GridOrientation::reversed, dVt, jt);
  EXPECT_EQ(c.k1, 4);
  EXPECT_EQ(c.k2, 3);
  EXPECT_EQ(c.k3, 2);
  EXPECT_EQ(dVt, 10.0);
  EXPECT_EQ(jt, 50);
}

// Falling from 20 to 10 across E = 15: L(m) = 10 - m/10 - 15 is negative for every m >= 0 and
// vanishes at m = -50, so the scan ends at m = -49.
TEST(TurningPoints, FallingIntervalScansBelowZero) {
  const auto V = grid({30, 0, 20, 10});  // crossings at 2, 3, 4; k3 = 4 falls 20 -> 10
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings c = turning_points(V, 15.0, points(V), GridOrientation::forward, dVt, jt);
  EXPECT_EQ(c.k3, 4);
  EXPECT_EQ(dVt, 10.0);
  EXPECT_EQ(jt, -49);
}

// The hundredth located by the scan agrees with linear interpolation on arbitrary intervals.
TEST(TurningPoints, JtBracketsInterpolatedCrossing) {
  for (double top : {15.01, 16.3, 19.99, 40.0, 115.0}) {
    for (double E : {14.0, 10.5, 10.01, 14.99}) {
      const auto V = grid({0, 200, 10, top});
      double dVt = 0.0;
      int32_t jt = 0;
      const Crossings c = turning_points(V, E, points(V), GridOrientation::forward, dVt, jt);
      ASSERT_EQ(c.k3, 4);
      // Crossing at fraction (top - E)/(top - 10) of a step below point 4, in hundredths.
      const double mstar = 100 * (top - E) / (top - 10);
      EXPECT_GE(jt, mstar) << top << " " << E;
      EXPECT_LT(jt, mstar + 1.0 + 1e-9) << top << " " << E;
    }
  }
}

TEST(TurningPoints, RejectsCountBeyondArray) {
  const auto V = grid({0, 30, 10, 20});
  double dVt = 0.0;
  int32_t jt = 0;
  EXPECT_THROW(turning_points(V, 15.0, 5, GridOrientation::forward, dVt, jt),
               std::invalid_argument);
}

}  // namespace
}  // namespace velk
