// Cost of the RKR inversion: the 40-level Na2 X curve (constants of tests/rkr/na2x_fit.dun) on
// 1000 energies, 2000 turning points, with the default 64-point quadrature. The counter
// sweep_ratio is its time over that of one bare Numerov sweep of the grid velk-rkr suggests for
// the curve, the unit of work of the level search that follows.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "numlib/constants.h"
#include "rkr/rkr_curve.h"
#include "rkr/rkr_inversion.h"
#include "run/dunham.h"

namespace {

constexpr double kNa2AtomicMass = 22.9897692820;

// Seconds of one Numerov sweep over N points (the recurrence with precomputed coefficients).
double numerov_sweep_seconds(int N) {
  std::vector<double> T(N + 1), Y(N + 1);
  for (int i = 1; i <= N; ++i) T[i] = 1e-4 * ((i % 97) - 48);
  constexpr int kRepeats = 2000;
  const auto start = std::chrono::steady_clock::now();
  for (int repeat = 0; repeat < kRepeats; ++repeat) {
    double y2 = 1e-66, y1 = 1e-22;
    for (int j = 3; j <= N; ++j) {
      const double yj = ((10 * T[j - 1] + 2) * y1 - (1 - T[j - 2]) * y2) / (1 - T[j]);
      Y[j] = yj;
      y2 = y1;
      y1 = yj;
    }
    benchmark::DoNotOptimize(Y[N]);
    benchmark::ClobberMemory();
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return elapsed.count() / kRepeats;
}

void BM_RkrTurningPoints(benchmark::State& state) {
  const std::string file = std::string(VELK_BENCH_SOURCE_DIR) + "/../tests/rkr/na2x_fit.dun";
  const velk::rkr::RkrConstants constants =
      velk::rkr::rkr_constants(velk::read_dunham_file(file), file);
  const int energies = static_cast<int>(state.range(0));
  std::vector<double> mesh;
  for (int i = 1; i <= energies; ++i) mesh.push_back(40.5 * i / energies);
  const velk::rkr::GaussRule rule = velk::rkr::gauss_legendre_unit(64);
  std::vector<velk::rkr::TurningPoints> points;
  const double mu = kNa2AtomicMass / 2.0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    velk::rkr::rkr_turning_points(constants, mu, mesh, rule, points);
    benchmark::DoNotOptimize(points.data());
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const double per_curve = elapsed.count() / static_cast<double>(state.iterations());
  velk::rkr::RkrOptions options;
  options.mass1 = options.mass2 = kNa2AtomicMass;
  options.v_max = 40.0;
  options.source_name = file;
  const velk::rkr::RkrCurve curve = velk::rkr::build_rkr_curve(constants, options);
  state.counters["grid_N"] = curve.grid.N;
  state.counters["sweep_ratio"] = per_curve / numerov_sweep_seconds(curve.grid.N);
}

}  // namespace

BENCHMARK(BM_RkrTurningPoints)->Arg(1000)->Unit(benchmark::kMillisecond);
