// Cost of one level solve against the bare Numerov recurrence over the same grid.
//
// BM_SolveForward solves v = 10 of a Morse curve (mu 11.5 u, De 6000 cm-1, Re 3.08 Å,
// a 0.85 Å^-1) on [1.8, 8] Å with the driver's start window; the counter per_point_iter is the CPU
// time per grid point and energy iteration (iterations = kturn, shown with an SI prefix, n = ns).
// BM_BareNumerov runs the recurrence alone once over the grid; its per_point is the floor the
// solver is compared with: each iteration of a solve runs the recurrence over the whole grid
// (inward to the joint, outward to it) plus the coefficients and the norm, about twice the floor.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "numlib/constants.h"
#include "solver/landmarks.h"
#include "solver/radial_solver.h"

namespace {

struct MorseGrid {
  velk::RadialGrid grid;
  int N;
  double h, R0;
  std::vector<double> V;
  explicit MorseGrid(int n) : grid(1.8, 8.0, n), N(n), h(grid.h), R0(grid.R0), V(n + 1, 0.0) {
    for (int i = 1; i <= N; ++i) {
      const double e = 1 - std::exp(-0.85 * (R0 + i * h - 3.08));
      V[i] = 6000.0 * e * e;
    }
  }
};

constexpr double kMu = 11.5;

void solve_benchmark(benchmark::State& state, bool mirrored) {
  MorseGrid g(static_cast<int>(state.range(0)));
  if (mirrored) {
    std::vector<double> W(g.V.size());
    for (int i = 1; i <= g.N; ++i) W[i] = g.V[g.N + 1 - i];
    g.V.swap(W);
  }
  const double Vout = mirrored ? g.V[1] : g.V[g.N];
  const double Umin = velk::lowest_minimum(g.V, g.N);
  const double Umax = velk::highest_barrier(g.V, g.N, Vout).Umax;
  const double toadd = 50.0;
  // 2 × 400 kB of working arrays, as in a run.
  velk::RadialSolver solver(
      mirrored ? velk::GridOrientation::reversed : velk::GridOrientation::forward,
      velk::throw_on_numerical_failure);
  velk::SolverResults r;
  int64_t point_iterations = 0;
  for (auto _ : state) {
    const double E = (Umin + Umax + toadd) * 0.5;
    const double dE = (Umax - Umin - toadd) * 0.5 - velk::constants::kWindowMargin;
    const velk::LevelSolution solution = solver.solve(g.V, g.grid, kMu, {10, E, dE, 100, 1e-6});
    r = solution.results;
    benchmark::DoNotOptimize(solution.E);
    point_iterations += static_cast<int64_t>(g.N) * r.kturn;
  }
  state.counters["kturn"] = r.kturn;
  state.counters["per_point_iter"] =
      benchmark::Counter(static_cast<double>(point_iterations),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SolveForward(benchmark::State& state) {
  solve_benchmark(state, false);
}
void BM_SolveReversed(benchmark::State& state) {
  solve_benchmark(state, true);
}

// The recurrence alone, one pass over the grid with precomputed coefficients, the two previous
// values carried in registers as the solver does.
void BM_BareNumerov(benchmark::State& state) {
  const MorseGrid g(static_cast<int>(state.range(0)));
  const double E = 1500.0;
  std::vector<double> T(g.V.size()), Y(g.V.size());
  const double c = g.h * g.h * kMu * velk::constants::kTwoUOverHbar2;
  for (int i = 1; i <= g.N; ++i) T[i] = c * (g.V[i] - E) / 12;
  int64_t points = 0;
  for (auto _ : state) {
    double* y = Y.data();
    const double* t = T.data();
    double y2 = 1e-66, y1 = 1e-22;
    y[1] = y2;
    y[2] = y1;
    for (int j = 3; j <= g.N; ++j) {
      const double yj = ((10 * t[j - 1] + 2) * y1 - (1 - t[j - 2]) * y2) / (1 - t[j]);
      y[j] = yj;
      y2 = y1;
      y1 = yj;
    }
    benchmark::DoNotOptimize(y[g.N]);
    benchmark::ClobberMemory();
    points += g.N;
  }
  state.counters["per_point"] = benchmark::Counter(
      static_cast<double>(points), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_SolveForward)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SolveReversed)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareNumerov)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);
