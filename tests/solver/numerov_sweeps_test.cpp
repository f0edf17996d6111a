#include "solver/numerov_sweeps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velk::numerov {
namespace {

// --- normalisation at the joint -----------------------------------------------------------------
// Hand-made arrays: the values are powers of two, so every division and sum below is exact and
// the expected numbers are worked out by hand.

// Forward grid: the pass from the bottom covers 1 .. joint, the survivors of the pass from the top
// lie above it. Both sides end at 1 at the joint and the norm covers the whole range.
TEST(NormalizeAndSum, ForwardGridScalesBothSidesOfTheJoint) {
  // slots 1..6; the pass from the bottom met the joint at 3 with Y(3) = 4, the pass from the top
  // found its maximum at 3 with Y(3) = 8 (already overwritten by the bottom pass).
  std::vector<double> Y{0.0, 1.0, 2.0, 4.0, 4.0, 2.0, 1.0};
  OutwardPass outward;
  outward.end = 3;
  outward.met_joint = true;
  outward.joint_value = 4.0;
  InwardPass inward;
  inward.joint = 3;
  inward.joint_value = 8.0;
  const double S = normalize_and_sum(Y.data(), 1, 6, outward, inward);
  const std::vector<double> expected{0.0, 0.25, 0.5, 1.0, 0.5, 0.25, 0.125};
  EXPECT_EQ(Y, expected);
  EXPECT_EQ(S, 0.0625 + 0.25 + 1.0 + 0.25 + 0.0625 + 0.015625);
}

// Reversed grid, quasi-bound: the pass from the bottom starts at the outer turning point (from =
// 5) above the joint (2) and runs to the top without meeting it. The survivors of the pass from
// the top, 2 .. 4, lie below it: they are divided by the joint value too (Y(joint) = 1, as the
// correction formed at the joint requires), but stay outside the norm.
TEST(NormalizeAndSum, SurvivorsBelowTheSecondPassAreScaledButNotSummed) {
  std::vector<double> Y{0.0, 3.0, 16.0, 8.0, 4.0, 1.0, 2.0};
  OutwardPass outward;
  outward.end = 6;
  outward.met_joint = false;
  InwardPass inward;
  inward.joint = 2;
  inward.joint_value = 16.0;
  const double S = normalize_and_sum(Y.data(), 5, 6, outward, inward);
  // Y(1) belongs to neither pass's scaled range and keeps its value.
  const std::vector<double> expected{0.0, 3.0, 1.0, 0.5, 0.25, 1.0, 2.0};
  EXPECT_EQ(Y, expected);
  EXPECT_EQ(S, 1.0 + 4.0);
}

// A pass from the top that found no maximum divides nothing.
TEST(NormalizeAndSum, NoJointFromTheTopLeavesItsValues) {
  std::vector<double> Y{0.0, 2.0, 4.0, 2.0};
  OutwardPass outward;
  outward.end = 3;
  const double S = normalize_and_sum(Y.data(), 1, 3, outward, InwardPass{});
  EXPECT_EQ(Y, (std::vector<double>{0.0, 2.0, 4.0, 2.0}));
  EXPECT_EQ(S, 24.0);
}

// --- the passes against a plain transcription of the recurrence ----------------------------------

// A harmonic-like coefficient set: T(i) = c·(V(i) - E)/12 with V = (i - 60)², E chosen so that
// the wave function oscillates in the middle and decays at both ends.
struct Sweep {
  int N = 120;
  double c = 0.002, E = 300.0;
  std::vector<double> V, T, Y;
  Sweep() : V(N + 1), T(N + 1), Y(N + 1) {
    for (int i = 1; i <= N; ++i) V[i] = (i - 60.0) * (i - 60.0);
  }
};

// The same recurrence with the coefficients formed beforehand and every rescale carried out at
// once over Y(i .. top), as the pass's rescale log promises.
struct EagerInward {
  std::vector<double> T, Y;
  int joint = 0;
};
EagerInward eager_inward(const Sweep& s) {
  EagerInward e{std::vector<double>(s.N + 1), std::vector<double>(s.N + 1), 0};
  for (int i = 1; i <= s.N; ++i) e.T[i] = s.c * (s.V[i] - s.E) / 12;
  e.Y[s.N] = 1e-99;
  e.Y[s.N - 1] = 1e-66;
  for (int i = s.N - 2; i >= 1; --i) {
    e.Y[i] = ((10 * e.T[i + 1] + 2) * e.Y[i + 1] - (1 - e.T[i + 2]) * e.Y[i + 2]) / (1 - e.T[i]);
    if (e.Y[i] * e.Y[i] > 1e40) {
      const double by = e.Y[i];
      for (int j = i; j <= s.N; ++j) e.Y[j] /= by;
    }
    if (e.Y[i] <= e.Y[i + 1] && e.Y[i + 1] > e.Y[i + 2]) {
      e.joint = i + 1;
      break;
    }
  }
  return e;
}

InwardPass run_inward(Sweep& s, std::vector<Rescale>& log) {
  s.Y[s.N] = 1e-99;
  s.Y[s.N - 1] = 1e-66;
  log.assign(s.N + 1, Rescale{});
  return inward_to_maximum(s.T.data(), s.V.data(), s.c, s.E, s.Y.data(), s.N, log.data());
}

TEST(InwardToMaximum, StopsAtTheFirstMaximumMetFromTheTop) {
  Sweep s;
  std::vector<Rescale> log;
  const InwardPass pass = run_inward(s, log);
  resolve_rescales(s.Y.data(), pass.joint - 1, s.N, log.data(), pass.rescales, NegligibleValues{});
  const EagerInward e = eager_inward(s);
  ASSERT_GT(e.joint, 1);
  EXPECT_EQ(pass.joint, e.joint);
  EXPECT_EQ(pass.joint_value, e.Y[e.joint]);
  for (int i = e.joint - 1; i <= s.N; ++i) EXPECT_EQ(s.Y[i], e.Y[i]) << i;
  for (int i = pass.coefficients_from; i <= s.N; ++i) EXPECT_EQ(s.T[i], e.T[i]) << i;
}

// A long forbidden region (V = (i - 60)², levelled off at twice E, out to i = 3000) makes the pass
// rescale many times and drives the outer values to zero through the subnormal range.
struct DeepSweep : Sweep {
  DeepSweep() {
    N = 3000;
    V.assign(N + 1, 0.0);
    T.assign(N + 1, 0.0);
    Y.assign(N + 1, 0.0);
    for (int i = 1; i <= N; ++i) V[i] = std::min((i - 60.0) * (i - 60.0), 2 * E);
  }
};

// Settled exactly, the recorded rescales give every value bit for bit what dividing at once gives,
// the subnormal and zero ones included.
TEST(ResolveRescales, ExactSettlementEqualsDividingAtOnce) {
  DeepSweep s;
  std::vector<Rescale> log;
  const InwardPass pass = run_inward(s, log);
  ASSERT_GT(pass.rescales, 10);
  resolve_rescales(s.Y.data(), pass.joint - 1, s.N, log.data(), pass.rescales, NegligibleValues{});
  const EagerInward e = eager_inward(s);
  ASSERT_EQ(pass.joint, e.joint);
  bool met_subnormal = false;
  for (int i = e.joint - 1; i <= s.N; ++i) {
    EXPECT_EQ(s.Y[i], e.Y[i]) << i;
    met_subnormal |= e.Y[i] != 0.0 && std::fabs(e.Y[i]) < 2.2250738585072014e-308;
  }
  EXPECT_TRUE(met_subnormal) << "the case must reach the subnormal range to test it";
}

// With the rule for negligible values, a value is either what dividing at once gives, or 0 where
// that value, scaled to Y(joint) = 1, is below 2^-60 and below 2^-60 of the slope 0.001·h; the
// norm sum and both flat-step counts of the scaled function come out bit for bit the same.
TEST(ResolveRescales, NegligibleValuesChangeNeitherNormNorFlatSteps) {
  for (const double h : {1e-4, 0.004, 0.05}) {
    DeepSweep s;
    std::vector<Rescale> log;
    const InwardPass pass = run_inward(s, log);
    resolve_rescales(s.Y.data(), pass.joint - 1, s.N, log.data(), pass.rescales,
                     negligible_values(pass.joint_value, h));
    const EagerInward e = eager_inward(s);
    const double limit = std::ldexp(1.0, -60) * std::min(1.0, 0.001 * h);
    int dropped = 0;
    std::vector<double> lazy(s.N + 1, 0.0), eager(s.N + 1, 0.0);
    double S_lazy = 1.0, S_eager = 1.0;  // Y(joint)² of the pass from the bottom
    for (int i = e.joint + 1; i <= s.N; ++i) {
      lazy[i] = s.Y[i] / pass.joint_value;
      eager[i] = e.Y[i] / pass.joint_value;
      S_lazy += lazy[i] * lazy[i];
      S_eager += eager[i] * eager[i];
      if (s.Y[i] == e.Y[i]) continue;
      ++dropped;
      EXPECT_EQ(s.Y[i], 0.0) << i;
      EXPECT_LT(std::fabs(eager[i]), limit) << i;
    }
    EXPECT_GT(dropped, 100) << "h = " << h;
    EXPECT_EQ(S_lazy, S_eager);
    const auto flat = [&](const std::vector<double>& Y) {
      int count = 0;
      for (int m = s.N; m >= e.joint + 2 && std::fabs(Y[m] - Y[m - 1]) / h < 0.001; --m) ++count;
      return count;
    };
    EXPECT_EQ(flat(lazy), flat(eager)) << "h = " << h;
  }
}

TEST(OutwardCountingNodes, CountsSignChangesUpToTheJoint) {
  Sweep s;
  fill_coefficients(s.T.data(), s.V.data(), 1, s.N, s.c, s.E);
  s.Y[1] = 1e-66;
  s.Y[2] = 1e-22;
  const OutwardPass pass = outward_counting_nodes(s.T.data(), s.Y.data(), 3, s.N, 1, 70);
  EXPECT_TRUE(pass.met_joint);
  EXPECT_EQ(pass.end, 70);
  EXPECT_EQ(pass.joint_value, s.Y[70]);
  int32_t nodes = 0;
  for (int j = 2; j <= 70; ++j) nodes += s.Y[j] * s.Y[j - 1] < 0;
  EXPECT_EQ(pass.node, nodes);
  EXPECT_GT(nodes, 0) << "the case must cross the axis to test the count";
}

}  // namespace
}  // namespace velk::numerov
