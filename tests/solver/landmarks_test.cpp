#include "solver/landmarks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "pec/curve_definition.h"
#include "pec/potential_builder.h"
#include "pec/radial_grid.h"
#include "solver/effective_potential.h"
#include "support/temp_dir.h"

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

// The scans by their definition, point by point, against the block scans, on random curves long
// enough to span several blocks: plateaus, repeated values, minima and maxima in any block and at
// block edges.
TEST(LandmarkScans, MinimumAndBarrierMatchTheirDefinitionOnRandomCurves) {
  std::mt19937 random(2027);
  std::uniform_int_distribution<int> pick_N(0, 300);
  std::uniform_int_distribution<int> pick_level(-6, 6);
  std::uniform_int_distribution<int> pick_move(0, 4);
  for (int curve = 0; curve < 2000; ++curve) {
    const int N = pick_N(random);
    std::vector<double> V(static_cast<std::size_t>(N) + 1, 0.0);
    for (int i = 1; i <= N; ++i) {
      V[i] = pick_move(random) == 0 && i > 1 ? V[i - 1] : 0.5 * pick_level(random);
    }
    double Umin = kNoMinimum;
    for (int i = 2; i <= N - 1; ++i) {
      if (V[i] < V[i - 1] && V[i] < V[i + 1] && V[i] < Umin) Umin = V[i];
    }
    const double Vref = 0.5 * pick_level(random);
    Barrier want{0.0, 0};
    for (int i = 2; i <= N - 1; ++i) {
      if (V[i] > Vref && V[i] > V[i - 1] && V[i] > V[i + 1]) {
        ++want.nbar;
        want.Umax = std::max(want.Umax, V[i]);
      }
    }
    if (want.nbar == 0) want.Umax = Vref;
    const Barrier got = highest_barrier(V, N, Vref);
    ASSERT_EQ(lowest_minimum(V, N), Umin) << "curve " << curve << " N=" << N;
    ASSERT_EQ(got.Umax, want.Umax) << "curve " << curve << " N=" << N;
    ASSERT_EQ(got.nbar, want.nbar) << "curve " << curve << " N=" << N;
  }
}

// --- crossings from the monotonic stretches against a scan of every interval ------------------

// The crossings by their definition: every interval whose ends lie strictly on opposite sides of
// E, in the order of V as given; on a reversed grid the first and the last are exchanged.
Crossings crossings_by_definition(const std::vector<double>& V, double E, int N,
                                  GridOrientation orientation) {
  std::vector<int> all;
  for (int i = 2; i <= N; ++i) {
    if ((V[i - 1] - E) * (V[i] - E) < 0.0) all.push_back(i);
  }
  Crossings c;
  if (all.size() >= 1) c.k1 = all[0];
  if (all.size() >= 2) c.k2 = all[1];
  if (all.size() >= 3) c.k3 = all.back();
  if (c.k3 > 0 && orientation == GridOrientation::reversed) std::swap(c.k1, c.k3);
  return c;
}

std::vector<double> mirrored(const std::vector<double>& V, int N) {
  std::vector<double> M(V.size(), 0.0);
  for (int i = 1; i <= N; ++i) M[i] = V[N + 1 - i];
  return M;
}

// Compares MonotoneStretches with the definition and with turning_points at E, on both
// orientations of the forward curve V.
void expect_same_crossings(const MonotoneStretches& stretches, const std::vector<double>& V,
                           const std::vector<double>& Vmirrored, int N, double E,
                           const std::string& where) {
  for (const GridOrientation orientation : {GridOrientation::forward, GridOrientation::reversed}) {
    const bool forward = orientation == GridOrientation::forward;
    const std::vector<double>& Vrun = forward ? V : Vmirrored;
    const Crossings want = crossings_by_definition(Vrun, E, N, orientation);
    double dVt_scan = -1.0, dVt = -1.0;
    int32_t jt_scan = -1000, jt = -1000;
    const Crossings scan = turning_points(Vrun, E, N, orientation, dVt_scan, jt_scan);
    const Crossings got = stretches.turning_points(Vrun, E, orientation, dVt, jt);
    const std::string at = where + " E=" + std::to_string(E) + (forward ? " forward" : " reversed");
    ASSERT_EQ(scan.k1, want.k1) << at;
    ASSERT_EQ(scan.k2, want.k2) << at;
    ASSERT_EQ(scan.k3, want.k3) << at;
    ASSERT_EQ(got.k1, want.k1) << at;
    ASSERT_EQ(got.k2, want.k2) << at;
    ASSERT_EQ(got.k3, want.k3) << at;
    ASSERT_EQ(dVt, dVt_scan) << at;
    ASSERT_EQ(jt, jt_scan) << at;
  }
}

// The Na2 X table with its fitted long-range tail at h = 0.002 Å: for random J from 0 to 220 (a
// single well, then a barrier, then no well) and random energies from below the minimum to above
// the barrier, and at the grid values themselves, the stretches give the scan's crossings.
class MonotoneStretchesOnTable : public test::ScratchDirectoryTest,
                                 public testing::WithParamInterface<unsigned> {};

TEST_P(MonotoneStretchesOnTable, GiveTheScansCrossingsAtEveryEnergyAndJ) {
  std::ifstream in(std::string(VELK_EXAMPLES_DIR) + "/na2-x-points-ext/na2xext.pot");
  ASSERT_TRUE(in) << "the example curve";
  test::write_file("na2xext.pot", std::string(std::istreambuf_iterator<char>(in), {}));
  const RadialGrid grid(1.8, 50.0, 24101);
  const int N = grid.N;
  std::vector<double> V(static_cast<std::size_t>(N) + 1, 0.0), Ueff(V.size(), 0.0);
  PotentialBuilder builder;
  builder.build(read_curve_definition("na2xext.pot"), V, grid, {});
  std::mt19937 random(GetParam());
  std::uniform_int_distribution<int> pick_J(0, 220);
  std::uniform_int_distribution<int> pick_point(1, N);
  MonotoneStretches stretches;
  for (int trial = 0; trial < 12; ++trial) {
    const int J = pick_J(random);
    effective_potential(V, Ueff, grid, 22.98977 / 2, J, 0, GridOrientation::forward);
    stretches.find(Ueff, N);
    const std::vector<double> Umirrored = mirrored(Ueff, N);
    const double Umin = lowest_minimum(Ueff, N);
    const double top = highest_barrier(Ueff, N, Ueff[N]).Umax;
    const double low = std::min(Umin, Ueff[N]) - 100.0;
    const double high = std::max(top, Ueff[N]) + 100.0;
    std::uniform_real_distribution<double> pick_E(low, high);
    const std::string where = "J=" + std::to_string(J);
    for (int k = 0; k < 200; ++k) {
      expect_same_crossings(stretches, Ueff, Umirrored, N, pick_E(random), where);
      // On a grid value the point is no crossing and its intervals are none either.
      expect_same_crossings(stretches, Ueff, Umirrored, N, Ueff[pick_point(random)], where);
    }
    // Just below and just above the barrier top, where the outer crossings close in on it.
    for (const double E : {std::nextafter(top, low), top, std::nextafter(top, high)})
      expect_same_crossings(stretches, Ueff, Umirrored, N, E, where);
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, MonotoneStretchesOnTable, testing::Values(3u, 41u, 2026u));

// Random rough curves: plateaus, repeated values, steps, many small wiggles and values that equal
// E.
TEST(MonotoneStretches, GiveTheScansCrossingsOnRoughCurves) {
  std::mt19937 random(77);
  std::uniform_int_distribution<int> pick_N(1, 200);
  std::uniform_int_distribution<int> pick_level(-4, 4);
  std::uniform_int_distribution<int> pick_move(0, 3);
  MonotoneStretches stretches;
  for (int curve = 0; curve < 400; ++curve) {
    const int N = pick_N(random);
    std::vector<double> V(static_cast<std::size_t>(N) + 1, 0.0);
    for (int i = 1; i <= N; ++i) {
      // Small integer levels make plateaus and exact equality with E common.
      V[i] = pick_move(random) == 0 && i > 1 ? V[i - 1] : 0.5 * pick_level(random);
    }
    stretches.find(V, N);
    const std::vector<double> Vmirrored = mirrored(V, N);
    const std::string where = "curve " + std::to_string(curve) + " N=" + std::to_string(N);
    for (int k = -10; k <= 10; ++k) {
      expect_same_crossings(stretches, V, Vmirrored, N, 0.25 * k, where);
    }
  }
}

// A value that is not finite breaks the ordering a bisection relies on: such a curve keeps the
// scan, and gives its crossings.
TEST(MonotoneStretches, CurveWithANonFiniteValueGivesTheScansCrossings) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const double bad : {nan, inf, -inf}) {
    const auto V = grid({30, 10, 0, bad, 0, 20, 25, 10, 18});
    const int N = points(V);
    MonotoneStretches stretches;
    stretches.find(V, N);
    const std::vector<double> Vmirrored = mirrored(V, N);
    for (const double E : {-1.0, 5.0, 15.0, 22.0, 40.0})
      expect_same_crossings(stretches, V, Vmirrored, N, E, "bad value " + std::to_string(bad));
  }
}

}  // namespace
}  // namespace velk
