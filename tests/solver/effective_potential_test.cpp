#include "solver/effective_potential.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace velk {
namespace {

constexpr double kCentrifugal = 16.85763130530976;  // ħ²/(2 u), cm-1·Å²

// Grid with exactly representable radii: R0 = 0.5, h = 0.25, so R(k) = 0.5 + 0.25·k.
constexpr double kR0 = 0.5;
constexpr double kH = 0.25;
constexpr int kN = 8;
const RadialGrid kGrid(kR0 + kH, kR0 + kN * kH, kN);
constexpr auto kForward = GridOrientation::forward;
constexpr auto kReversed = GridOrientation::reversed;

std::vector<double> sample_potential() {
  std::vector<double> V(kN + 1, 0.0);
  for (int k = 1; k <= kN; ++k) V[k] = 1000.0 - 37.5 * k + 0.125 * k * k;
  return V;
}

TEST(EffectivePotential, NoRotationCopiesPotential) {
  const auto V = sample_potential();
  std::vector<double> U(kN + 1, -1.0);
  testing::internal::CaptureStdout();
  effective_potential(V, U, kGrid, 7.0, 0, 0, kForward);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " UYeff OK\n");
  for (int k = 1; k <= kN; ++k) EXPECT_EQ(U[k], V[k]) << k;
  EXPECT_EQ(U[0], -1.0);  // slot 0 is not part of the grid
}

TEST(EffectivePotential, AddsCentrifugalTermOverRSquared) {
  const auto V = sample_potential();
  std::vector<double> U(kN + 1, 0.0);
  const double mu = 2.0;
  testing::internal::CaptureStdout();
  effective_potential(V, U, kGrid, mu, 3, 1, kForward);  // J(J+1) - Lambda² = 11
  testing::internal::GetCapturedStdout();
  for (int k = 1; k <= kN; ++k) {
    const double R = kR0 + kH * k;
    // ħ²/(2μR²)·(J(J+1) - Lambda²); the radii here are exact, so only rounding of the product
    // and the sum separates the two evaluations.
    EXPECT_DOUBLE_EQ(U[k], V[k] + 11 * kCentrifugal / (mu * R * R)) << k;
  }
}

TEST(EffectivePotential, NegativeBracketIsApplied) {
  // J = 0 with Lambda = 1: J(J+1) - Lambda² = -1 lowers the curve.
  const auto V = sample_potential();
  std::vector<double> U(kN + 1, 0.0);
  testing::internal::CaptureStdout();
  effective_potential(V, U, kGrid, 1.0, 0, 1, kForward);
  testing::internal::GetCapturedStdout();
  for (int k = 1; k <= kN; ++k) {
    const double R = kR0 + kH * k;
    EXPECT_LT(U[k], V[k]);
    EXPECT_DOUBLE_EQ(U[k], V[k] - kCentrifugal / (R * R)) << k;
  }
}

TEST(EffectivePotential, MirroredOrderForReversedGrid) {
  const auto V = sample_potential();
  std::vector<double> forward(kN + 1, 0.0), mirrored(kN + 1, 0.0);
  testing::internal::CaptureStdout();
  effective_potential(V, forward, kGrid, 3.5, 5, 0, kForward);
  effective_potential(V, mirrored, kGrid, 3.5, 5, 0, kReversed);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " UYeff OK\n UYeff OK\n");
  // Slot 1 of the mirrored array belongs to the largest radius.
  for (int k = 1; k <= kN; ++k) EXPECT_EQ(mirrored[k], forward[kN + 1 - k]) << k;
}

TEST(EffectivePotential, EmptyGridStillReports) {
  const auto V = sample_potential();
  std::vector<double> U(kN + 1, 42.0);
  RadialGrid empty = kGrid;
  empty.N = 0;
  testing::internal::CaptureStdout();
  effective_potential(V, U, empty, 1.0, 7, 0, kReversed);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " UYeff OK\n");
  for (double u : U) EXPECT_EQ(u, 42.0);
}

TEST(EffectivePotential, RejectsGridLargerThanArrays) {
  const auto V = sample_potential();
  std::vector<double> U(kN, 0.0);  // one slot short
  EXPECT_THROW(effective_potential(V, U, kGrid, 1.0, 1, 0, kForward), std::invalid_argument);
}

}  // namespace
}  // namespace velk
