// Cost of one airy_functions call (two Bessel evaluations) on each side of zero and on each side
// of the series / continued-fraction switch-over in z = (2/3)|x|^(3/2) (z = 2 at |x| = 2.08).
#include <benchmark/benchmark.h>

#include "numlib/airy.h"

namespace {

void BM_AiryFunctions(benchmark::State& state, double x) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    const velk::AiryValues v = velk::airy_functions(x, velk::throw_on_numerical_failure);
    benchmark::DoNotOptimize(v);
  }
}

BENCHMARK_CAPTURE(BM_AiryFunctions, minus_20, -20.0);
BENCHMARK_CAPTURE(BM_AiryFunctions, minus_5, -5.0);
BENCHMARK_CAPTURE(BM_AiryFunctions, minus_1, -1.0);
BENCHMARK_CAPTURE(BM_AiryFunctions, plus_1, 1.0);
BENCHMARK_CAPTURE(BM_AiryFunctions, plus_5, 5.0);
BENCHMARK_CAPTURE(BM_AiryFunctions, plus_20, 20.0);

}  // namespace
