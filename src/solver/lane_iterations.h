// Plain energy iterations at up to four trial energies at once, in the lanes of vector registers.
//
// A plain iteration is one whose pass from the top starts at the top of the grid and whose pass
// from the bottom starts at index 1 (no third turning point), and whose pass from the top meets a
// maximum at or above the first index the pass from the bottom computes (3): that pass then ends
// at the joint. A lower joint lets the pass from the bottom run to the top, a case left to the
// scalar iteration. Each lane performs, operation for operation, what the scalar iteration does:
// the same formulas in the same order, no fused multiply-add, so that the outcome of every lane is
// bit for bit the scalar one. The kernel is chosen at run time: four lanes in one AVX2 register
// where the build could compile for AVX2 and the processor has it, the target's baseline vectors
// otherwise (two SSE2 registers of two on x86-64). Both give the same bits.
//
// Arrays are interleaved by lane: slot 4·i + l holds grid point i of lane l.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pec/radial_grid.h"
#include "solver/iteration_cache.h"
#include "solver/numerov_sweeps.h"

namespace velk {

inline constexpr int kLanes = 4;

// What became of one lane.
enum class LaneResult : uint8_t {
  done,        // its outcome is filled
  no_maximum,  // its pass from the top met no maximum: the outcome depends on the joint
               // remembered from before
  low_joint,   // its joint lies below the first index of the pass from the bottom: the scalar
               // iteration computes it
};

// The fixed inputs of a batch: the curve, the grid, the Numerov factor and the start values of
// the pass from the bottom.
struct LaneBatchInputs {
  const double* V = nullptr;  // 1-based, N points
  int N = 0;
  double h = 0.0;
  double mu = 0.0;
  double bottom_start_first = 0.0, bottom_start_second = 0.0;
};

enum class LaneKernel { baseline, avx2 };

// Whether this build holds `kernel` and this processor can run it.
bool lane_kernel_available(LaneKernel kernel);
// The widest kernel available, decided once.
LaneKernel widest_lane_kernel();

class LaneIterations {
 public:
  // A kernel that is not available falls back to the baseline.
  explicit LaneIterations(LaneKernel kernel = widest_lane_kernel());
  LaneKernel kernel() const { return kernel_; }

  // Iterations at E[0 .. n-1] (n <= kLanes). outcome[l] is filled where result[l] is done. When
  // some lane meets no maximum, every lane is no_maximum.
  void run(const LaneBatchInputs& in, std::span<const double> E,
           std::span<IterationOutcome> outcome, std::span<LaneResult> result);

 private:
  LaneKernel kernel_;
  std::vector<double> T4_, Y4_;
  std::vector<numerov::Rescale> logs_;  // kLanes logs of RadialGrid::kSlots entries
};

}  // namespace velk
