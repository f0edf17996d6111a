// The vector-lane iterations and the searches followed together against the scalar solver: every
// outcome bit for bit the same, on forward and mirrored grids, bound and quasi-bound levels.
#include "solver/lane_iterations.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "solver/iteration_cache.h"
#include "solver/landmarks.h"
#include "solver_test_grids.h"

namespace velk {
namespace {

using namespace testing_grids;

uint64_t bits(double x) {
  return std::bit_cast<uint64_t>(x);
}

// The outcome of the scalar iteration at E: a solve of one iteration records it in a cache.
IterationOutcome scalar_outcome(RadialSolver& solver, const std::vector<double>& V, const Grid& g,
                                double mu, int v, double E, double dE) {
  IterationCache cache;
  solver.solve(V, g, mu, {v, E, dE, 1, 1e-6}, &cache);
  const IterationOutcome* known = cache.find(E);
  EXPECT_NE(known, nullptr) << "the first iteration must run at E = " << E;
  return known ? *known : IterationOutcome{};
}

struct Case {
  GridOrientation orientation;
  std::vector<double> V;
  Grid g;
  double mu;
};

Case morse_case(GridOrientation orientation, int N) {
  const Morse morse;
  // Point 1 at 1.8 Å, point N at 12 Å.
  const double h = 10.2 / (N - 1);
  const Grid g = grid_from_origin(1.8 - h, h, N);
  std::vector<double> V = tabulate(g, morse);
  if (orientation == GridOrientation::reversed) V = mirrored(V);
  return {orientation, V, g, morse.mu};
}

// Each kernel is run by name, whichever the program would choose on this machine.
class LaneKernels : public ::testing::TestWithParam<LaneKernel> {};

TEST_P(LaneKernels, EachLaneIsTheScalarIteration) {
  if (!lane_kernel_available(GetParam())) {
    GTEST_SKIP() << "this build or processor has no AVX2 kernel";
  }
  for (const GridOrientation orientation : {GridOrientation::forward, GridOrientation::reversed}) {
    const Case c = morse_case(orientation, 6001);
    const SolverConfig& config =
        orientation == GridOrientation::forward ? kForwardConfig : kReversedConfig;
    RadialSolver solver(orientation, throw_on_numerical_failure);
    LaneIterations lanes(GetParam());
    ASSERT_EQ(lanes.kernel(), GetParam());
    const LaneBatchInputs in{
        c.V.data(), c.g.N, c.g.h, c.mu, config.bottom_start_first, config.bottom_start_second};
    // Energies between levels, near a level and deep in the well; batches of 4, 3 and 1 lanes.
    const std::vector<std::vector<double>> batches{
        {3100.0, 412.5, 1234.567, 5555.5}, {150.0, 2999.0, 4200.25}, {5900.0}};
    for (const auto& energies : batches) {
      std::vector<IterationOutcome> outcome(energies.size());
      LaneResult result[kLanes] = {};
      lanes.run(in, energies, outcome, std::span(result, energies.size()));
      for (std::size_t l = 0; l < energies.size(); ++l) {
        ASSERT_EQ(result[l], LaneResult::done);
        const IterationOutcome scalar =
            scalar_outcome(solver, c.V, c.g, c.mu, 0, energies[l], 100.0);
        EXPECT_EQ(outcome[l].node, scalar.node) << energies[l];
        EXPECT_EQ(outcome[l].joint, scalar.joint) << energies[l];
        EXPECT_EQ(bits(outcome[l].Dcor), bits(scalar.Dcor)) << energies[l];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(LaneIterations, LaneKernels,
                         ::testing::Values(LaneKernel::baseline, LaneKernel::avx2),
                         [](const ::testing::TestParamInfo<LaneKernel>& info) {
                           return info.param == LaneKernel::avx2 ? std::string("avx2")
                                                                 : std::string("baseline");
                         });

// A grid of 400 points at h = 0.01 Å whose first `well` points form a deep well (falling gently to
// a strict minimum at its last point) below a flat plateau at 5000 cm-1; with `top_well` the two
// points below the top dip to -1e5 cm-1 as well. Between the lowest energy whose pass from the top
// turns over and the plateau, the joint climbs from index 2; the dip at the top puts it at N - 1.
struct JointCase {
  std::vector<double> V;
  Grid g = grid_from_origin(2.0, 0.01, 400);
  double mu = 5.52;
};

JointCase joint_case(int well, bool top_well) {
  JointCase c;
  c.V.assign(static_cast<std::size_t>(c.g.N) + 1, 5000.0);
  for (int i = 1; i <= well; ++i) c.V[static_cast<std::size_t>(i)] = -20000.0 + (well - i);
  if (top_well) {
    c.V[static_cast<std::size_t>(c.g.N - 2)] = -99999.0;
    c.V[static_cast<std::size_t>(c.g.N - 1)] = -100000.0;
  }
  return c;
}

// The iterations the searches of the driver have prefetched, lanes and hand-overs, against the
// scalar iteration at the same energy, for joints at 2 (below the first index of the pass from
// the bottom, which then runs to the top), 3 and N - 1, and a pass that meets no maximum.
TEST(LaneIterations, PrefetchedIterationIsTheScalarOneAtEveryJoint) {
  struct Wanted {
    bool top_well;
    int joint;  // 0: no maximum
  };
  for (const Wanted wanted :
       {Wanted{false, 2}, Wanted{false, 3}, Wanted{true, 399}, Wanted{false, 0}}) {
    const JointCase c = joint_case(6, wanted.top_well);
    RadialSolver scalar = forward_solver();
    // Downward from the plateau until the scalar joint is the wanted one; the pass that turns
    // over nowhere comes last.
    double E = 4000.0;
    IterationOutcome expected;
    for (; E > -20000.0; E -= 25.0) {
      // A pass without maximum leaves nothing in the cache: its joint counts as 0.
      IterationCache one;
      scalar.solve(c.V, c.g, c.mu, {0, E, 1.0, 1, 1e-6}, &one);
      expected = one.find(E) ? *one.find(E) : IterationOutcome{};
      if (expected.joint == wanted.joint) break;
    }
    ASSERT_EQ(expected.joint, wanted.joint) << "no energy gives joint " << wanted.joint;

    RadialSolver prefetching = forward_solver();
    LaneIterations lanes;
    IterationCache cache;
    // Four searches starting at E and at three energies that turn over higher up, so that the
    // energy shares a batch with lanes of other joints.
    std::vector<SolveRequest> requests;
    for (const double at : {E, E + 500.0, 2000.0, 3500.0})
      requests.push_back({0, at, 1.0, 1, 1e-6});
    const bool prefetched = prefetching.prefetch(c.V, c.g, c.mu, requests, cache, lanes);
    if (wanted.joint == 0) {
      EXPECT_FALSE(prefetched) << "a pass without maximum depends on the joint from before";
      continue;
    }
    ASSERT_TRUE(prefetched);
    const IterationOutcome* got = cache.find(E);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->joint, expected.joint);
    EXPECT_EQ(got->node, expected.node);
    EXPECT_TRUE(std::isfinite(got->Dcor)) << "joint " << wanted.joint;
    EXPECT_EQ(bits(got->Dcor), bits(expected.Dcor)) << "joint " << wanted.joint;
  }
}

}  // namespace
}  // namespace velk
