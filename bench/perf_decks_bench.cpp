// Whole runs of the realistic decks in ../shared/perf (the Na2 X point table with a fitted
// long-range tail), expressed in floor sweeps per level: the CPU time of the run divided by
// (levels × N × the CPU time of one floor sweep per point, measured in the same process). The
// decks live beside the project; a missing deck skips its benchmark.
//
// BM_Deck runs velk in this process, in the default mode on one thread and on two, and with
// --fast; the best of the iterations is taken, by process CPU time (every thread counted) and by
// wall time. BM_DeckProcess runs whole `velk --fast` processes (start-up, curve, levels, files)
// as the user meets them, with --threads 1 and 2: the child's user + system time from wait4, and
// its wall time. BM_OneLevel runs the one-level block of a_h001 as whole processes.
//
//   cmake --build build --target velk_bench velk && build/bench/velk_bench --benchmark_filter=Deck
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "floor_sweep.h"
#include "process_clock.h"
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

// A copy of the deck in a scratch folder, removed when done; empty when the deck is missing.
struct ScratchDeck {
  fs::path path;
  explicit ScratchDeck(const Deck& deck) {
    const fs::path source = fs::path(VELK_PERF_DECK_DIR) / deck.name;
    if (!fs::exists(source / "velk.inf")) return;
    path = fs::temp_directory_path() / ("velk_deck_bench_" + std::string(deck.name));
    fs::remove_all(path);
    fs::copy(source, path, fs::copy_options::recursive);
  }
  ~ScratchDeck() {
    if (!path.empty()) fs::remove_all(path);
  }
};

// The counters of a run that took `cpu` and `wall` seconds at best.
void report(benchmark::State& state, const Deck& deck, double cpu, double wall) {
  const double floor = velk::bench::floor_sweep_seconds_per_point(deck.N);
  const double level_points = static_cast<double>(deck.levels) * deck.N;
  state.counters["cpu_s"] = cpu;
  state.counters["wall_s"] = wall;
  state.counters["floor_ns_per_point"] = floor * 1e9;
  state.counters["floor_sweeps_per_level"] = cpu / level_points / floor;
  state.counters["wall_floor_sweeps_per_level"] = wall / level_points / floor;
}

void BM_Deck(benchmark::State& state, Deck deck, velk::RunOptions options) {
  const ScratchDeck scratch(deck);
  if (scratch.path.empty()) {
    state.SkipWithError("deck not found");
    return;
  }
  const fs::path previous = fs::current_path();
  fs::current_path(scratch.path);
  std::ostringstream discard;
  std::streambuf* console = std::cout.rdbuf(discard.rdbuf());
  double best_cpu = 1e300, best_wall = 1e300;
  int status = 0;
  for (auto _ : state) {
    const double cpu = velk::bench::process_cpu_seconds();
    const double wall = velk::bench::wall_seconds();
    status = velk::run_velk(velk::throw_on_numerical_failure, options);
    best_cpu = std::min(best_cpu, velk::bench::process_cpu_seconds() - cpu);
    best_wall = std::min(best_wall, velk::bench::wall_seconds() - wall);
    discard.str("");
  }
  std::cout.rdbuf(console);
  fs::current_path(previous);
  if (status != 0) {
    state.SkipWithError("the run failed");
    return;
  }
  report(state, deck, best_cpu, best_wall);
}

void BM_DeckProcess(benchmark::State& state, Deck deck, const char* threads) {
  const ScratchDeck scratch(deck);
  if (scratch.path.empty()) {
    state.SkipWithError("deck not found");
    return;
  }
  double best_cpu = 1e300, best_wall = 1e300;
  int status = 0;
  for (auto _ : state) {
    const velk::bench::ChildRun run = velk::bench::run_child(
        VELK_BINARY, {"--fast", "--threads", threads, "--quiet"}, scratch.path.string());
    status = run.status;
    best_cpu = std::min(best_cpu, run.cpu_seconds);
    best_wall = std::min(best_wall, run.wall_seconds);
    state.SetIterationTime(run.cpu_seconds);
  }
  if (status != 0) {
    state.SkipWithError("the run failed");
    return;
  }
  report(state, deck, best_cpu, best_wall);
}

// The one-level run of a_h001's velk.inf: the level table switched off and the one-level block on
// (v'' = 0, J'' = 0 of state A, then its Q line to v' = 0 of state B, the same curve): what a
// user asking for one line pays, start-up, curves and files included. Its figure is in whole-grid
// floor sweeps for the process, the median and the best of whole `velk --fast` processes.
void BM_OneLevel(benchmark::State& state) {
  const ScratchDeck scratch(kJZeroFine);
  if (scratch.path.empty()) {
    state.SkipWithError("deck not found");
    return;
  }
  {
    // Line 15 switches the level table, line 19 the one-level block.
    std::ifstream in(scratch.path / "velk.inf");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.size() < 19) {
      state.SkipWithError("velk.inf too short");
      return;
    }
    lines[14] = "n";
    lines[18] = "y";
    std::ofstream out(scratch.path / "velk.inf", std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
  }
  std::vector<double> cpu;
  int status = 0;
  for (auto _ : state) {
    const velk::bench::ChildRun run =
        velk::bench::run_child(VELK_BINARY, {"--fast", "--quiet"}, scratch.path.string());
    status = run.status;
    cpu.push_back(run.cpu_seconds);
    state.SetIterationTime(run.cpu_seconds);
  }
  if (status != 0 || cpu.empty()) {
    state.SkipWithError("the run failed");
    return;
  }
  std::sort(cpu.begin(), cpu.end());
  const double median = cpu[cpu.size() / 2];
  const double floor = velk::bench::floor_sweep_seconds_per_point(kJZeroFine.N);
  const double sweep = floor * kJZeroFine.N;
  state.counters["cpu_s_median"] = median;
  state.counters["cpu_s_best"] = cpu.front();
  state.counters["floor_ns_per_point"] = floor * 1e9;
  state.counters["floor_sweeps"] = median / sweep;
  state.counters["floor_sweeps_best"] = cpu.front() / sweep;
}

BENCHMARK(BM_OneLevel)->Unit(benchmark::kMillisecond)->Iterations(41)->UseManualTime();

BENCHMARK_CAPTURE(BM_Deck, a_h001_default_1thread, kJZeroFine, kOneThread)
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Deck, a_h001_default_2threads, kJZeroFine, kTwoThreads)
    ->Unit(benchmark::kSecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Deck, b_h004_default_1thread, kTableCoarse, kOneThread)
    ->Unit(benchmark::kSecond)
    ->Iterations(2)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Deck, b_h004_default_2threads, kTableCoarse, kTwoThreads)
    ->Unit(benchmark::kSecond)
    ->Iterations(2)
    ->MeasureProcessCPUTime();
// Some ten seconds: filter it out (--benchmark_filter=fast) when only the fast mode is of
// interest.
BENCHMARK_CAPTURE(BM_Deck, b_h001_default_2threads, kTableFine, kTwoThreads)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->MeasureProcessCPUTime();
// A fast run lasts a tenth of a second or less: several runs, the best one counted.
BENCHMARK_CAPTURE(BM_Deck, a_h001_fast, kJZeroFine, kFastMode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Deck, b_h004_fast, kTableCoarse, kFastMode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Deck, b_h001_fast, kTableFine, kFastMode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->MeasureProcessCPUTime();

// Whole processes: the time reported is the child's CPU time (user + system), wall_s its wall time.
#define VELK_DECK_PROCESS(deck_name, deck)                                        \
  BENCHMARK_CAPTURE(BM_DeckProcess, deck_name##_fast_process_1thread, deck, "1")  \
      ->Unit(benchmark::kMillisecond)                                             \
      ->Iterations(10)                                                            \
      ->UseManualTime();                                                          \
  BENCHMARK_CAPTURE(BM_DeckProcess, deck_name##_fast_process_2threads, deck, "2") \
      ->Unit(benchmark::kMillisecond)                                             \
      ->Iterations(10)                                                            \
      ->UseManualTime()
VELK_DECK_PROCESS(a_h001, kJZeroFine);
VELK_DECK_PROCESS(b_h004, kTableCoarse);
VELK_DECK_PROCESS(b_h001, kTableFine);

}  // namespace
