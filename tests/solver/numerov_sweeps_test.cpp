#include "solver/numerov_sweeps.h"

#include <gtest/gtest.h>

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

TEST(InwardToMaximum, StopsAtTheFirstMaximumMetFromTheTop) {
  Sweep s;
  s.Y[s.N] = 1e-99;
  s.Y[s.N - 1] = 1e-66;
  const InwardPass pass = inward_to_maximum(s.T.data(), s.V.data(), s.c, s.E, s.Y.data(), s.N);
  // Plain transcription: the same recurrence with the coefficients formed beforehand.
  std::vector<double> T(s.N + 1), Y(s.N + 1);
  for (int i = 1; i <= s.N; ++i) T[i] = s.c * (s.V[i] - s.E) / 12;
  Y[s.N] = 1e-99;
  Y[s.N - 1] = 1e-66;
  int joint = 0;
  for (int i = s.N - 2; i >= 1; --i) {
    Y[i] = ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i]);
    if (Y[i] * Y[i] > 1e40) {
      const double by = Y[i];
      for (int j = i; j <= s.N; ++j) Y[j] /= by;
    }
    if (Y[i] <= Y[i + 1] && Y[i + 1] > Y[i + 2]) {
      joint = i + 1;
      break;
    }
  }
  ASSERT_GT(joint, 1);
  EXPECT_EQ(pass.joint, joint);
  EXPECT_EQ(pass.joint_value, Y[joint]);
  for (int i = joint - 1; i <= s.N; ++i) EXPECT_EQ(s.Y[i], Y[i]) << i;
  for (int i = pass.coefficients_from; i <= s.N; ++i) EXPECT_EQ(s.T[i], T[i]) << i;
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
