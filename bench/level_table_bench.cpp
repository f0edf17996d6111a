// End-to-end timing of a level table: the 23Na2 X MLJ curve (bench/data/na2-x-mlj.pot), v = 0..30
// by J = 0..50 on N = 20000 grid points, through the level driver as a run computes it (console
// output discarded, level file written to a scratch directory).
//
// Counters: levels_per_s (level lines per second of CPU time); solver_ns_per_point_iter (time of
// the whole table divided by the grid points integrated over all energy iterations); and ratio,
// that cost divided by the cost per point of a bare Numerov recurrence measured in the same run.
//
//   cmake --build build --target velk_bench && build/bench/velk_bench --benchmark_filter=LevelTable
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <vector>

#include "solver/level_driver.h"

namespace {

namespace fs = std::filesystem;

// Seconds per grid point of the plain recurrence Y(i) = ((10T+2)Y(i+1) - (1-T)Y(i+2))/(1-T(i)):
// the best of several trials, so that a moment of load on the machine does not inflate it.
double bare_numerov_seconds_per_point(int N) {
  std::vector<double> T(N + 1), Y(N + 1);
  for (int i = 1; i <= N; ++i) T[i] = -1e-3 * std::sin(0.001 * i);
  const int repeats = 100;
  double best = 1e300;
  for (int trial = 0; trial < 7; ++trial) {
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < repeats; ++r) {
      Y[N] = 1e-99;
      Y[N - 1] = 1e-66;
      double y2 = Y[N], y1 = Y[N - 1];
      for (int i = N - 2; i >= 1; --i) {
        const double y = ((10 * T[i + 1] + 2) * y1 - (1 - T[i + 2]) * y2) / (1 - T[i]);
        Y[i] = y;
        y2 = y1;
        y1 = y;
      }
      benchmark::DoNotOptimize(Y.data());
      benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count() / (static_cast<double>(repeats) * (N - 2)));
  }
  return best;
}

void BM_LevelTable(benchmark::State& state) {
  const fs::path source = fs::path(VELK_BENCH_DATA_DIR) / "na2-x-mlj.pot";
  const fs::path scratch = fs::temp_directory_path() / "velk_level_table_bench";
  fs::create_directories(scratch);
  fs::copy_file(source, scratch / "na2x.pot", fs::copy_options::overwrite_existing);
  const fs::path previous = fs::current_path();
  fs::current_path(scratch);

  constexpr int N = 20000;
  std::ostringstream discard;
  std::streambuf* console = std::cout.rdbuf(discard.rdbuf());
  velk::LevelDriver driver('n', velk::throw_on_numerical_failure);
  int64_t levels = 0;
  double seconds = 0.0;
  double best_table = 1e300;
  int64_t points_before = 0;
  int64_t points_per_table = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    driver.compute_levels("na2x.pot    ", 2.2, 12.0, N, 1e-5, 60, 0, 30, 0, 50, 1, 1,
                          "Astate.dat  ", 1);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    seconds += elapsed.count();
    best_table = std::min(best_table, elapsed.count());
    points_per_table = driver.statistics().point_iterations - points_before;
    points_before = driver.statistics().point_iterations;
    levels += 31 * 51;
    discard.str("");
  }
  std::cout.rdbuf(console);
  fs::current_path(previous);

  const double bare = bare_numerov_seconds_per_point(N);
  // The best table against the best bare recurrence: both as free of load as the run allowed.
  const double per_point = best_table / static_cast<double>(points_per_table);
  state.counters["levels_per_s"] = static_cast<double>(levels) / seconds;
  state.counters["solver_ns_per_point_iter"] = per_point * 1e9;
  state.counters["bare_numerov_ns_per_point"] = bare * 1e9;
  state.counters["ratio"] = per_point / bare;
  state.counters["mean_kturn"] = static_cast<double>(driver.statistics().iterations) /
                                 static_cast<double>(driver.statistics().solves);
}
BENCHMARK(BM_LevelTable)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
