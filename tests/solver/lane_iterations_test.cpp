// The vector-lane iterations and the searches followed together against the scalar solver: every
// outcome bit for bit the same, on forward and mirrored grids, bound and quasi-bound levels.
#include "solver/lane_iterations.h"

#include <gtest/gtest.h>

#include <bit>
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
      bool missed[kLanes] = {};
      lanes.run(in, energies, outcome, std::span(missed, energies.size()));
      for (std::size_t l = 0; l < energies.size(); ++l) {
        ASSERT_FALSE(missed[l]);
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

}  // namespace
}  // namespace velk
