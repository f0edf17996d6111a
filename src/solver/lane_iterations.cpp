#include "solver/lane_iterations.h"

#include <algorithm>
#include <cstring>

#include "numlib/constants.h"
#include "solver/energy_search.h"

// The kernel is compiled twice, for AVX2 and for the baseline of the target, where the compiler
// can compile a function for a wider instruction set than the rest of the program and ask the
// processor what it has (VELK_AVX2_KERNEL, set by the build when it can); elsewhere only the
// baseline is compiled. The choice is made at run time by an ordinary test of the processor, not
// by the loader, so sanitizer builds run both as well.
namespace velk {

using namespace numerov;

namespace {

// The pass from the bottom starts from Y(1), Y(2) and computes Y(3) first.
constexpr int kBottomPassFirst = 3;

// Four doubles and four 64-bit masks: the compiler's vector types, whose operators work element by
// element with the scalar IEEE operations.
typedef double Lanes __attribute__((vector_size(32)));
typedef int64_t Mask __attribute__((vector_size(32)));

// The helpers are always inlined into the kernels below, so no vector crosses a call of this file:
// the warning about the calling convention of vectors wider than the baseline does not apply (GCC
// gives it at the end of the file, so it is silenced for the whole of it).
#pragma GCC diagnostic ignored "-Wpsabi"

[[gnu::always_inline]] inline Lanes load(const double* at) {
  Lanes x;
  std::memcpy(&x, at, sizeof x);
  return x;
}
[[gnu::always_inline]] inline void store(double* at, Lanes x) {
  std::memcpy(at, &x, sizeof x);
}
[[gnu::always_inline]] inline Lanes splat(double x) {
  return Lanes{x, x, x, x};
}
[[gnu::always_inline]] inline bool any(Mask m) {
  return (m[0] | m[1] | m[2] | m[3]) != 0;
}

struct Batch {
  const LaneBatchInputs* in;
  double c;
  double E[kLanes];
  int n;
  double* T4;
  double* Y4;
  Rescale* logs;
  // Per lane: the pass from the top.
  int joint[kLanes];
  double joint_value[kLanes];
  int rescales[kLanes];
  // The pass from the bottom.
  int32_t node[kLanes];
  double bottom_joint_value[kLanes];
};

// Both passes of all lanes. Returns false when some lane's pass from the top met no maximum.
[[gnu::always_inline]] inline bool both_passes(Batch& b) {
  const int N = b.in->N;
  const double* V = b.in->V;
  double* T = b.T4;
  double* Y = b.Y4;
  const Lanes E = load(b.E);
  const double c = b.c;
  // The coefficients are formed as the pass from the top goes, where they cost little beside the
  // division its chain waits on; those below where it ends, after it.
  const auto form = [&](int i) { store(T + 4 * i, c * (splat(V[i]) - E) / 12); };
  form(N);
  form(N - 1);
  int formed_from = N - 1;

  // The pass from the top, down to each lane's first maximum.
  Mask active = {0, 0, 0, 0};
  for (int l = 0; l < b.n; ++l) {
    active[l] = -1;
    b.joint[l] = 0;
    b.rescales[l] = 0;
  }
  Lanes y2 = splat(1e-99);
  Lanes y1 = splat(1e-66);
  store(Y + 4 * N, y2);
  store(Y + 4 * (N - 1), y1);
  // The largest magnitude written since each lane's last rescale, as the scalar pass keeps it.
  Lanes largest = splat(1e-66);
  for (int i = N - 2; i >= 1; --i) {
    form(i);
    formed_from = i;
    Lanes y = ((10 * load(T + 4 * (i + 1)) + 2) * y1 - (1 - load(T + 4 * (i + 2))) * y2) /
              (1 - load(T + 4 * i));
    store(Y + 4 * i, y);
    const Lanes magnitude = y < 0 ? -y : y;
    largest = largest < magnitude ? magnitude : largest;
    const Mask over = (y * y > kOverflow) & active;
    if (any(over)) {
      for (int l = 0; l < kLanes; ++l) {
        if (!over[l]) continue;
        const double by = y[l];
        b.logs[l * RadialGrid::kSlots + b.rescales[l]++] = {i, by, largest[l]};
        largest[l] = 0.0;
        y1[l] = y1[l] / by;
        y2[l] = y2[l] / by;
        y[l] = y[l] / by;
      }
    }
    const Mask top_met = (y <= y1) & (y1 > y2) & active;
    if (any(top_met)) {
      for (int l = 0; l < kLanes; ++l) {
        if (!top_met[l]) continue;
        b.joint[l] = i + 1;
        b.joint_value[l] = y1[l];
        active[l] = 0;
      }
      if (!any(active)) break;
    }
    y2 = y1;
    y1 = y;
  }
  if (any(active)) return false;
  for (int i = 1; i < formed_from; ++i) form(i);

  // The pass from the bottom, counting nodes up to each lane's joint.
  Lanes joint;
  int last = 0;
  for (int l = 0; l < kLanes; ++l) {
    joint[l] = l < b.n ? b.joint[l] : 0;
    last = std::max(last, l < b.n ? b.joint[l] : 0);
    b.node[l] = 0;
  }
  Mask nodes = {0, 0, 0, 0};
  y2 = splat(b.in->bottom_start_first);
  y1 = splat(b.in->bottom_start_second);
  store(Y + 4, y2);
  store(Y + 8, y1);
  for (int j = kBottomPassFirst; j <= last; ++j) {
    Lanes y = ((10 * load(T + 4 * (j - 1)) + 2) * y1 - (1 - load(T + 4 * (j - 2))) * y2) /
              (1 - load(T + 4 * j));
    const Mask live = splat(static_cast<double>(j)) <= joint;
    const Lanes kept = load(Y + 4 * j);
    store(Y + 4 * j, live ? y : kept);
    const Mask over = (y * y > kOverflow) & live;
    if (any(over)) {
      for (int l = 0; l < kLanes; ++l) {
        if (!over[l]) continue;
        const double by = y[l];
        for (int m = 1; m <= j; ++m) Y[4 * m + l] /= by;
        y[l] = Y[4 * j + l];
        y1[l] = Y[4 * (j - 1) + l];
      }
    }
    nodes -= (y * y1 < 0) & live;
    const Mask at_joint = splat(static_cast<double>(j)) == joint;
    if (any(at_joint)) {
      for (int l = 0; l < b.n; ++l) {
        if (at_joint[l]) b.bottom_joint_value[l] = y[l];
      }
    }
    y2 = y1;
    y1 = y;
  }
  for (int l = 0; l < b.n; ++l) b.node[l] = static_cast<int32_t>(nodes[l]);
  return true;
}

// The norm sums of all lanes up to index `last`. Beyond live_at[l] the values of lane l count as
// 0 (they are, once settled; the settling left them as they were), which leave a sum as it is.
[[gnu::always_inline]] inline void norm_sums(const double* Y, int last, const double* live_at,
                                             const double* joint_at, const double* bottom_at,
                                             const double* top_at, double* S_at) {
  const Lanes live = load(live_at);
  const Lanes joint = load(joint_at);
  const Lanes bottom_by = load(bottom_at);
  const Lanes top_by = load(top_at);
  Lanes S = splat(0.0);
  for (int i = 1; i <= last; ++i) {
    const Lanes by = splat(static_cast<double>(i)) <= joint ? bottom_by : top_by;
    const Lanes at = splat(static_cast<double>(i));
    const Lanes y = at <= live ? load(Y + 4 * i) / by : splat(0.0);
    S += y * y;
  }
  store(S_at, S);
}

// One batch: both passes, the settling of the rescales, the norms and the corrections. Inlined
// into each kernel, so that the whole batch is compiled for that kernel's instruction set.
[[gnu::always_inline]] inline void run_batch(Batch& b, std::span<IterationOutcome> outcome,
                                             std::span<LaneResult> result) {
  const LaneBatchInputs& in = *b.in;
  const int n = b.n;
  const bool all_met = both_passes(b);
  for (int l = 0; l < n; ++l) {
    result[static_cast<std::size_t>(l)] = !all_met                        ? LaneResult::no_maximum
                                          : b.joint[l] < kBottomPassFirst ? LaneResult::low_joint
                                                                          : LaneResult::done;
  }
  if (!all_met) return;

  const int N = in.N;
  int last = 0;
  double live[kLanes], joint[kLanes], bottom_by[kLanes], top_by[kLanes], S[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    const int k = l < n ? l : 0;
    joint[l] = b.joint[k];
    bottom_by[l] = b.bottom_joint_value[k];
    top_by[l] = b.joint_value[k];
    live[l] = 0;
    if (l >= n) continue;
    const int settled =
        resolve_rescales<kLanes>(b.Y4 + l, b.joint[l] + 1, N, b.logs + l * RadialGrid::kSlots,
                                 b.rescales[l], negligible_values(b.joint_value[l], in.h), false);
    live[l] = std::max(settled, b.joint[l]);
    last = std::max(last, std::max(settled, b.joint[l]));
  }
  norm_sums(b.Y4, last, live, joint, bottom_by, top_by, S);

  for (int l = 0; l < n; ++l) {
    if (result[static_cast<std::size_t>(l)] != LaneResult::done) continue;
    const int k = std::min(std::max(b.joint[l], 2), N - 1);
    const auto T = [&](int i) { return b.T4[4 * i + l]; };
    // Y(k) is 1 on both sides; its neighbours scaled as the norm scaled them.
    const auto scaled = [&](int i) {
      return b.Y4[4 * i + l] / (i <= b.joint[l] ? b.bottom_joint_value[l] : b.joint_value[l]);
    };
    outcome[static_cast<std::size_t>(l)] = {
        b.node[l], b.joint[l],
        correction_at(T(k - 1), T(k), T(k + 1), scaled(k - 1), scaled(k + 1), S[l], in.h, in.mu)};
  }
}

void run_baseline(Batch& b, std::span<IterationOutcome> outcome, std::span<LaneResult> result) {
  run_batch(b, outcome, result);
}

#if VELK_AVX2_KERNEL
__attribute__((target("avx2"))) void run_avx2(Batch& b, std::span<IterationOutcome> outcome,
                                              std::span<LaneResult> result) {
  run_batch(b, outcome, result);
}
#endif

}  // namespace

bool lane_kernel_available(LaneKernel kernel) {
  switch (kernel) {
    case LaneKernel::baseline:
      return true;
    case LaneKernel::avx2:
#if VELK_AVX2_KERNEL
      return __builtin_cpu_supports("avx2");
#else
      return false;
#endif
  }
  return false;
}

LaneKernel widest_lane_kernel() {
  static const LaneKernel widest =
      lane_kernel_available(LaneKernel::avx2) ? LaneKernel::avx2 : LaneKernel::baseline;
  return widest;
}

LaneIterations::LaneIterations(LaneKernel kernel)
    : kernel_(lane_kernel_available(kernel) ? kernel : LaneKernel::baseline),
      T4_(kLanes * RadialGrid::kSlots),
      Y4_(kLanes * RadialGrid::kSlots),
      logs_(kLanes * RadialGrid::kSlots) {}

void LaneIterations::run(const LaneBatchInputs& in, std::span<const double> E,
                         std::span<IterationOutcome> outcome, std::span<LaneResult> result) {
  const int n = static_cast<int>(std::min<std::size_t>(E.size(), kLanes));
  Batch b{};
  b.in = &in;
  b.c = in.h * in.h * in.mu * constants::kTwoUOverHbar2;
  // Unused lanes repeat the first energy: they compute what it computes and are not read.
  for (int l = 0; l < kLanes; ++l) b.E[l] = E[static_cast<std::size_t>(l < n ? l : 0)];
  b.n = n;
  b.T4 = T4_.data();
  b.Y4 = Y4_.data();
  b.logs = logs_.data();
#if VELK_AVX2_KERNEL
  if (kernel_ == LaneKernel::avx2) {
    run_avx2(b, outcome, result);
    return;
  }
#endif
  run_baseline(b, outcome, result);
}

}  // namespace velk
