// The line list's speed.
//
// LineListOverlaps: the matrix elements of one J'–J'' pair as velk-props linelist forms them
// (block_matrix_elements: Ψ'ᵀ·(diag(h·M)·Ψ''), 160 upper and 66 lower levels on 12033 points, the
// sizes of the Na₂ A ← X list at low J), and PlainGemm: cblas_dgemm of the same shape on the same
// matrices without transposition. Counter GFLOPs: 2·m·n·k per second; the ratio of the two is the
// share of the BLAS throughput the line list reaches.
//
// LineListNa2/threads:N: the complete A ↔ X list of examples/na2-absorb-fcf, once, written to a
// scratch directory with --threads N; counters cpu_s (the CPU time of every thread, which other
// programs on a shared machine do not inflate), wall_s, and peak_MB, the resident peak of the
// process so far (run the thread counts apart, --benchmark_filter, for the peak of each).
//
//   cmake --build build --target velk_bench_linelist && build/bench/velk_bench_linelist
#include <benchmark/benchmark.h>
#include <cblas.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "io/console.h"
#include "process_clock.h"
#include "props/linelist_command.h"
#include "props/linelist_lines.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 12033, kUpper = 160, kLower = 66;

velk::props::LevelBlock random_block(int columns, unsigned seed) {
  velk::props::LevelBlock block;
  block.rows = kRows;
  block.columns = columns;
  block.psi.resize(static_cast<std::size_t>(kRows) * columns);
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (double& x : block.psi) x = value(random);
  return block;
}

void BM_LineListOverlaps(benchmark::State& state) {
  velk::props::use_one_blas_thread();
  const velk::props::LevelBlock upper = random_block(kUpper, 1), lower = random_block(kLower, 2);
  std::vector<double> product;
  for (auto _ : state) {
    velk::props::block_matrix_elements(upper, lower, lower.psi, product);
    benchmark::DoNotOptimize(product.data());
  }
  state.counters["GFLOPs"] = benchmark::Counter(2.0 * kRows * kUpper * kLower * 1e-9,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LineListOverlaps)->Unit(benchmark::kMillisecond);

void BM_PlainGemm(benchmark::State& state) {
  velk::props::use_one_blas_thread();
  // A (kUpper × kRows) stored column-major without transposition, B (kRows × kLower).
  const velk::props::LevelBlock a = random_block(kRows, 3);
  const velk::props::LevelBlock b = random_block(kLower, 4);
  std::vector<double> c(static_cast<std::size_t>(kUpper) * kLower);
  for (auto _ : state) {
    cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, kUpper, kLower, kRows, 1.0, a.psi.data(),
                kUpper, b.psi.data(), kRows, 0.0, c.data(), kUpper);
    benchmark::DoNotOptimize(c.data());
  }
  state.counters["GFLOPs"] = benchmark::Counter(2.0 * kRows * kUpper * kLower * 1e-9,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PlainGemm)->Unit(benchmark::kMillisecond);

double peak_resident_MB() {
  std::ifstream status("/proc/self/status");
  for (std::string key; status >> key;) {
    if (key == "VmHWM:") {
      double kB = 0.0;
      status >> kB;
      return kB / 1024.0;
    }
  }
  return 0.0;
}

void BM_LineListNa2(benchmark::State& state) {
  velk::set_console_quiet(true);
  const fs::path scratch = fs::temp_directory_path() / "velk_linelist_bench";
  fs::create_directories(scratch);
  for (const char* file : {"velk.inf", "na2x.pot", "na2amors.pot"}) {
    fs::copy_file(fs::path(VELK_NA2_FCF_DIR) / file, scratch / file,
                  fs::copy_options::overwrite_existing);
  }
  const fs::path previous = fs::current_path();
  fs::current_path(scratch);
  velk::props::LinelistRequest request;
  request.threads = static_cast<int>(state.range(0));
  const double cpu_before = velk::bench::process_cpu_seconds();
  const double wall_before = velk::bench::wall_seconds();
  for (auto _ : state) velk::props::write_line_list(request);
  state.counters["cpu_s"] = velk::bench::process_cpu_seconds() - cpu_before;
  state.counters["wall_s"] = velk::bench::wall_seconds() - wall_before;
  fs::current_path(previous);
  fs::remove_all(scratch);
  state.counters["peak_MB"] = peak_resident_MB();
}
BENCHMARK(BM_LineListNa2)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
