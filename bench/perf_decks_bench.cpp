// Whole runs of the realistic decks in ../shared/perf (the Na2 X point table with a fitted
// long-range tail), timed in-process and expressed in floor sweeps per level: the wall time of
// the run divided by (levels × N × the time of one floor sweep per point, measured in the same
// run). The decks live beside the project; a missing deck skips its benchmark. Each deck runs in
// the default mode, on one thread and on two, and with --fast; the best of the iterations is
// taken. Times are wall times: with two threads a run takes half as long (or less) as with one.
//
//   cmake --build build --target velk_bench && build/bench/velk_bench --benchmark_filter=Deck
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "floor_sweep.h"
#include "run/run_sequence.h"

namespace {

namespace fs = std::filesystem;

struct Deck {
  const char* name;
  int levels;
  int N;
};

constexpr Deck kJZeroFine{"a_h001", 66, 48201};
constexpr Deck kTableCoarse{"b_h004", 1581, 12051};
constexpr Deck kTableFine{"b_h001", 1581, 48201};

constexpr velk::RunOptions kOneThread{.fast = false, .threads = 1};
constexpr velk::RunOptions kTwoThreads{.fast = false, .threads = 2};
constexpr velk::RunOptions kFastMode{.fast = true, .threads = 1};

void BM_Deck(benchmark::State& state, Deck deck, velk::RunOptions options) {
  const fs::path source = fs::path(VELK_PERF_DECK_DIR) / deck.name;
  if (!fs::exists(source / "velk.inf")) {
    state.SkipWithError("deck not found");
    return;
  }
  const fs::path scratch =
      fs::temp_directory_path() / ("velk_deck_bench_" + std::string(deck.name));
  fs::remove_all(scratch);
  fs::copy(source, scratch, fs::copy_options::recursive);
  const fs::path previous = fs::current_path();
  fs::current_path(scratch);
  std::ostringstream discard;
  std::streambuf* console = std::cout.rdbuf(discard.rdbuf());
  double best = 1e300;
  int status = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    status = velk::run_velk(velk::throw_on_numerical_failure, options);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count());
    discard.str("");
  }
  std::cout.rdbuf(console);
  fs::current_path(previous);
  fs::remove_all(scratch);
  if (status != 0) {
    state.SkipWithError("the run failed");
    return;
  }
  const double floor = velk::bench::floor_sweep_seconds_per_point(deck.N);
  const double per_level_point = best / (static_cast<double>(deck.levels) * deck.N);
  state.counters["ns_per_level_point"] = per_level_point * 1e9;
  state.counters["floor_ns_per_point"] = floor * 1e9;
  state.counters["floor_sweeps_per_level"] = per_level_point / floor;
}

BENCHMARK_CAPTURE(BM_Deck, a_h001_default_1thread, kJZeroFine, kOneThread)
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Deck, a_h001_default_2threads, kJZeroFine, kTwoThreads)
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Deck, b_h004_default_1thread, kTableCoarse, kOneThread)
    ->Unit(benchmark::kSecond)
    ->Iterations(2)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Deck, b_h004_default_2threads, kTableCoarse, kTwoThreads)
    ->Unit(benchmark::kSecond)
    ->Iterations(2)
    ->UseRealTime();
// Some ten seconds: filter it out (--benchmark_filter=fast) when only the fast mode is of
// interest.
BENCHMARK_CAPTURE(BM_Deck, b_h001_default_2threads, kTableFine, kTwoThreads)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
// A fast run lasts a tenth of a second or less: several runs, the best one counted.
BENCHMARK_CAPTURE(BM_Deck, a_h001_fast, kJZeroFine, kFastMode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Deck, b_h004_fast, kTableCoarse, kFastMode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Deck, b_h001_fast, kTableFine, kFastMode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->UseRealTime();

}  // namespace
