// End-to-end timing of a level table: the 23Na2 X MLJ curve (bench/data/na2-x-mlj.pot), v = 0..30
// by J = 0..50 on N = 20000 grid points, through the level driver as a run computes it (console
// output discarded, level file written to a scratch directory).
//
// Counters: levels_per_s (level lines per second of CPU time); solver_ns_per_point_iter (time of
// the whole table divided by the grid points integrated over all energy iterations); and ratio,
// that cost divided by the floor sweep per point (floor_sweep.h) measured in the same run.
//
//   cmake --build build --target velk_bench && build/bench/velk_bench --benchmark_filter=LevelTable
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <vector>

#include "floor_sweep.h"
#include "run/level_file_writer.h"
#include "solver/level_driver.h"

namespace {

namespace fs = std::filesystem;

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
  velk::LevelDriver driver(velk::DriverOptions{});
  velk::LevelTableRequest request;
  request.curve = velk::read_curve_definition("na2x.pot    ");
  request.grid = velk::RadialGrid(2.2, 12.0, N);
  request.tol = 1e-5;
  request.maxit = 60;
  request.v = {0, 30};
  request.J = {0, 50};
  request.Par = {1, 1};
  request.mass_index = 1;
  request.levelfile = "Astate.dat  ";
  int64_t levels = 0;
  double seconds = 0.0;
  double best_table = 1e300;
  int64_t points_before = 0;
  int64_t points_per_table = 0;
  for (auto _ : state) {
    const double start = velk::bench::process_cpu_seconds();
    velk::LevelFileWriter file;
    driver.compute_levels(request, file);
    const double elapsed = velk::bench::process_cpu_seconds() - start;
    seconds += elapsed;
    best_table = std::min(best_table, elapsed);
    points_per_table = driver.statistics().point_iterations - points_before;
    points_before = driver.statistics().point_iterations;
    levels += 31 * 51;
    discard.str("");
  }
  std::cout.rdbuf(console);
  fs::current_path(previous);

  const double sweep = velk::bench::floor_sweep_seconds_per_point(N);
  // The best table against the best floor sweep: both as free of load as the run allowed.
  const double per_point = best_table / static_cast<double>(points_per_table);
  state.counters["levels_per_s"] = static_cast<double>(levels) / seconds;
  state.counters["solver_ns_per_point_iter"] = per_point * 1e9;
  state.counters["floor_ns_per_point"] = sweep * 1e9;
  state.counters["ratio"] = per_point / sweep;
  state.counters["mean_kturn"] = static_cast<double>(driver.statistics().iterations) /
                                 static_cast<double>(driver.statistics().solves);
}
BENCHMARK(BM_LevelTable)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();

}  // namespace
