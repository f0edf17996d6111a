// velk-props A against the fast level search it rests on, in one process on the deck b_h001 of
// ../shared/perf (v = 0..30 × J = 0..50, N = 48201): `velk --fast` writes the level file, then
// velk-props A solves the same levels again and works out their figures (turning points,
// expectation values, Dv and Hv). Both by process CPU time, the best of the iterations, per level.
//
// Counters: fast_us_per_level, props_us_per_level, ratio (props per level / fast search per
// level; the work on the wave functions keeps to where they live, so that it stays a small
// multiple) and both in floor sweeps per level (floor_sweep.h, measured in the same process).
//
//   cmake --build build --target velk_bench && build/bench/velk_bench --benchmark_filter=Props
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "floor_sweep.h"
#include "process_clock.h"
#include "props/state_table.h"
#include "run/run_sequence.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLevels = 1581;
constexpr int kN = 48201;

void BM_PropsAgainstFastSearch(benchmark::State& state) {
  const fs::path source = fs::path(VELK_PERF_DECK_DIR) / "b_h001";
  if (!fs::exists(source / "velk.inf")) {
    state.SkipWithError("deck not found");
    return;
  }
  const fs::path scratch = fs::temp_directory_path() / "velk_props_bench_b_h001";
  fs::remove_all(scratch);
  fs::copy(source, scratch, fs::copy_options::recursive);
  const fs::path previous = fs::current_path();
  fs::current_path(scratch);
  std::ostringstream discard;
  std::streambuf* console = std::cout.rdbuf(discard.rdbuf());
  double best_fast = 1e300, best_props = 1e300;
  int status = 0;
  for (auto _ : state) {
    double start = velk::bench::process_cpu_seconds();
    status = velk::run_velk(velk::throw_on_numerical_failure, {.fast = true, .threads = 1});
    best_fast = std::min(best_fast, velk::bench::process_cpu_seconds() - start);
    if (status != 0) break;
    start = velk::bench::process_cpu_seconds();
    velk::props::write_state_table('A', "Astate.dat", {});
    best_props = std::min(best_props, velk::bench::process_cpu_seconds() - start);
    discard.str("");
  }
  std::cout.rdbuf(console);
  fs::current_path(previous);
  fs::remove_all(scratch);
  if (status != 0) {
    state.SkipWithError("the run failed");
    return;
  }
  const double floor = velk::bench::floor_sweep_seconds_per_point(kN);
  const double fast = best_fast / kLevels, props = best_props / kLevels;
  state.counters["fast_us_per_level"] = fast * 1e6;
  state.counters["props_us_per_level"] = props * 1e6;
  state.counters["ratio"] = props / fast;
  state.counters["fast_floor_sweeps_per_level"] = fast / (kN * floor);
  state.counters["props_floor_sweeps_per_level"] = props / (kN * floor);
}
BENCHMARK(BM_PropsAgainstFastSearch)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->MeasureProcessCPUTime();

}  // namespace
