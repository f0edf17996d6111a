// The cost floor of a level computation: one whole-grid sweep of the bare Numerov recurrence.
//
// A sweep forms the coefficients T(i) = c·(V(i) - E)/12, runs the recurrence with its division
// and sums Y² for the norm, the three things every energy iteration does at every grid point.
// Benchmarks divide their cost per level by this, measured in the same process and by the same
// clock (the process's CPU time), so that the figure they report (floor sweeps per level) depends
// neither on the machine nor on what else runs on it.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "process_clock.h"

namespace velk::bench {

// CPU seconds per grid point of one sweep on N points: the best of several trials, so that a
// moment of cache or frequency disturbance does not inflate it.
inline double floor_sweep_seconds_per_point(int N) {
  std::vector<double> V(static_cast<std::size_t>(N) + 1), T(V.size()), Y(V.size());
  for (int i = 1; i <= N; ++i) V[i] = 5000.0 * std::sin(0.001 * i);
  const double c = 1e-4;
  const double E = 1000.0;
  const int repeats = std::max(1, 2000000 / N);
  double best = 1e300;
  for (int trial = 0; trial < 7; ++trial) {
    const double start = process_cpu_seconds();
    for (int r = 0; r < repeats; ++r) {
      for (int i = 1; i <= N; ++i) T[i] = c * (V[i] - E) / 12;
      Y[N] = 1e-99;
      Y[N - 1] = 1e-66;
      double y2 = Y[N], y1 = Y[N - 1];
      for (int i = N - 2; i >= 1; --i) {
        const double y = ((10 * T[i + 1] + 2) * y1 - (1 - T[i + 2]) * y2) / (1 - T[i]);
        Y[i] = y;
        y2 = y1;
        y1 = y;
      }
      double S = 0.0;
      for (int i = 1; i <= N; ++i) S += Y[i] * Y[i];
      benchmark::DoNotOptimize(S);
      benchmark::ClobberMemory();
    }
    const double elapsed = process_cpu_seconds() - start;
    best = std::min(best, elapsed / (static_cast<double>(repeats) * N));
  }
  return best;
}

}  // namespace velk::bench
