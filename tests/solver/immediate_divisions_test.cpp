// The solver against a plain forward solve written here, in which every rescale and the joint
// divide the whole pass at once, as the iteration is written without the rescale log: the same
// energies and counts, and the same wave function bit for bit, also where a search that stops
// unconverged ends on a quasi-bound energy and the solution of its last iteration is carried on
// past the barrier from the outer turning point, and where a bound level's third crossing is the
// wall of a far well (the curve that dives at the grid start).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "numlib/airy.h"
#include "solver/energy_search.h"
#include "solver/landmarks.h"
#include "solver/solution_figures.h"
#include "solver_test_grids.h"

namespace velk {
namespace {

using namespace testing_grids;

struct PlainResult {
  double E = 0.0, Dcor = 0.0;
  int32_t node = 0, kleft = 0, krigth = 0;
  std::vector<double> Y;
};

// One forward solve with immediate divisions (slot i = grid point i).
PlainResult plain_solve(const std::vector<double>& V, const Grid& g, double mu,
                        const SolveRequest& r) {
  const int N = g.N;
  const double h = g.h;
  std::vector<double> T(N + 2, 0.0), Y(N + 2, 0.0);
  const double Vout = V[N];
  const double Umin = lowest_minimum(V, N);
  const double Emax = std::max(highest_barrier(V, N, Vout).Umax, Vout);
  double E = r.E;
  numerov::Bracket b =
      numerov::first_bracket(E, r.dE, Emax, Umin, kForwardConfig.below_minimum_share);
  const double c = h * h * mu * constants::kTwoUOverHbar2;
  int kmatch = 0, n = N, kturn = 0;
  PlainResult out;
  const auto bi_start = [&](int at, double dVt, int32_t jt) {
    const double s = std::pow(dVt / h, constants::kOneThirdSingle);
    const double Rt = g.R0 + at * h - jt * h / 100;
    for (const int i : {at, at - 1})
      Y[i] = airy_functions(-((g.R0 + i * h) - Rt) * s, throw_on_numerical_failure).bi;
  };
  double last_E = E;
  do {
    last_E = E;
    double dVt = 0.0;
    int32_t jt = 0;
    const int32_t k3 = E > Vout ? turning_points(V, E, N, GridOrientation::forward, dVt, jt).k3 : 0;
    n = k3 > 0 ? k3 : N;
    for (int i = 1; i <= n; ++i) T[i] = c * (V[i] - E) / 12;
    if (k3 > 0) {
      bi_start(n, dVt, jt);
    } else {
      Y[n] = 1e-99;
      Y[n - 1] = 1e-66;
    }
    for (int i = n - 2; i >= 1; --i) {
      Y[i] = ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i]);
      if (Y[i] * Y[i] > 1e40) {
        const double by = Y[i];
        for (int j = i; j <= n; ++j) Y[j] /= by;
      }
      if (Y[i] <= Y[i + 1] && Y[i + 1] > Y[i + 2]) {
        const double by = Y[i + 1];
        for (int j = i + 1; j <= n; ++j) Y[j] /= by;
        kmatch = i + 1;
        break;
      }
    }
    Y[1] = 1e-66;
    Y[2] = 1e-22;
    int32_t node = 0;
    for (int j = 3; j <= n; ++j) {
      Y[j] = ((10 * T[j - 1] + 2) * Y[j - 1] - (1 - T[j - 2]) * Y[j - 2]) / (1 - T[j]);
      if (Y[j] * Y[j] > 1e40) {
        const double by = Y[j];
        for (int i = 1; i <= j; ++i) Y[i] /= by;
      }
      if (Y[j] * Y[j - 1] < 0) ++node;
      if (j == kmatch) {
        const double by = Y[j];
        for (int i = 1; i <= j; ++i) Y[i] /= by;
        break;
      }
    }
    double S = 0.0;
    for (int i = 1; i <= n; ++i) S += Y[i] * Y[i];
    const int k = std::min(std::max(kmatch, 2), n - 1);
    out.Dcor = numerov::correction(T.data(), Y.data(), k, S, h, mu);
    out.node = node;
    numerov::update_energy(node, r.v, out.Dcor, kForwardConfig.small_correction, Emax, E, b);
    ++kturn;
  } while (!(out.Dcor * out.Dcor <= r.tol * r.tol) && kturn < r.maxit);
  double dVt = 0.0;
  int32_t jt = 0;
  const Crossings x = turning_points(V, E, N, GridOrientation::forward, dVt, jt);
  // Below the curve's end a third crossing is a far well, not a barrier: the continuation past it
  // gives kleft and krigth, while a caller that reads the wave function gets the last iteration's
  // joined solution back.
  const bool restore = x.k3 > 0 && E <= Vout && last_E <= Vout && r.whole_wave_function;
  const std::vector<double> joined = Y;
  if (x.k3 > 0) {
    for (int i = x.k3 - 1; i <= N; ++i) T[i] = c * (V[i] - E) / 12;
    for (int j = x.k3 + 1; j <= N; ++j) {
      Y[j] = ((10 * T[j - 1] + 2) * Y[j - 1] - (1 - T[j - 2]) * Y[j - 2]) / (1 - T[j]);
      if (Y[j] * Y[j] > 1e40) {
        const double by = Y[j];
        for (int i = 1; i <= j; ++i) Y[i] /= by;
      }
    }
    n = N;
    double Ymax = 1.0;
    for (int m = N - 1; m >= 2; --m) {
      if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
        Ymax = Y[m];
        break;
      }
    }
    numerov::scale_quasibound(Y.data(), N, E, mu, Ymax);
  }
  out.E = E;
  out.kleft = numerov::flat_steps_from_first(Y.data(), n, h);
  out.krigth = numerov::flat_steps_from_last(Y.data(), n, h);
  if (restore) Y = joined;
  out.Y.assign(Y.begin(), Y.begin() + n + 1);
  return out;
}

// A Morse well (De 5000 cm-1) behind a Gaussian barrier above the asymptote 0, on 0.9..15 Å;
// with `dive` the curve plunges to -6.9e6 cm-1 at the grid start, as a spline extrapolated inside
// its first point does.
std::vector<double> random_curve(std::mt19937_64& rng, const Grid& g, bool dive) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double Re = 2.2 + 0.8 * u(rng), a = 1.0 + u(rng), height = 500.0 + 2500.0 * u(rng);
  const double Rb = Re + 2.5 + 2.0 * u(rng), width = 0.4 + 0.6 * u(rng);
  std::vector<double> V(g.N + 1, 0.0);
  for (int i = 1; i <= g.N; ++i) {
    const double R = g.R(i), e = std::exp(-a * (R - Re));
    V[i] = 5000.0 * (1 - e) * (1 - e) - 5000.0 +
           height * std::exp(-(R - Rb) * (R - Rb) / (width * width));
    if (dive) V[i] -= 6.9e6 * std::exp(-(R - g.R(1)) / 0.02);
  }
  return V;
}

// One solve by the solver and by the plain solve, compared; says whether the result was carried on
// past a barrier.
bool same_as_plain(const std::vector<double>& V, const Grid& g, double mu, const SolveRequest& r,
                   const std::string& what) {
  RadialSolver solver = forward_solver();
  const LevelSolution got = solver.solve(V, g, mu, r);
  const PlainResult want = plain_solve(V, g, mu, r);
  EXPECT_EQ(std::bit_cast<uint64_t>(got.E), std::bit_cast<uint64_t>(want.E)) << what;
  EXPECT_EQ(std::bit_cast<uint64_t>(got.results.Dcor), std::bit_cast<uint64_t>(want.Dcor)) << what;
  EXPECT_EQ(got.results.node, want.node) << what;
  EXPECT_EQ(got.results.kleft, want.kleft) << what;
  EXPECT_EQ(got.results.krigth, want.krigth) << what;
  const auto Y = solver.Ygrid();
  int differ = 0;
  // Bit for bit where the result was carried on; elsewhere a value that underflowed may keep the
  // sign of its zero from before a division that it then skipped.
  for (std::size_t i = 1; i < want.Y.size(); ++i) {
    differ += got.tunnel ? std::bit_cast<uint64_t>(Y[i]) != std::bit_cast<uint64_t>(want.Y[i])
                         : Y[i] != want.Y[i];
  }
  // A bound solve may leave values negligible beside the joint at 0, unless its caller reads the
  // wave function.
  if (got.tunnel || r.whole_wave_function) {
    EXPECT_EQ(differ, 0) << what << ": values of the wave function";
  }
  return got.tunnel.has_value();
}

TEST(ImmediateDivisions, SolvesMatchThePlainSolveBitForBit) {
  std::mt19937_64 rng(35);
  int continued = 0;
  for (int trial = 0; trial < 12; ++trial) {
    const int N = 1500 + static_cast<int>(rng() % 3000);
    const double h = (15.0 - 0.9) / (N - 1);
    const Grid g = grid_from_origin(0.9 - h, h, N);
    const bool dive = trial % 2 == 1;
    const std::vector<double> V = random_curve(rng, g, dive);
    const double mu = 4.0 + static_cast<double>(rng() % 160) / 10.0;
    const double Umin = lowest_minimum(V, N);
    const double Umax = highest_barrier(V, N, V[N]).Umax;
    const std::string what = "trial " + std::to_string(trial);
    // Searches stopped after 1 to 24 iterations, for a level in the well and for one too high to
    // exist, whose search climbs the bracket: one of them stops on an iteration deep below the
    // asymptote, whose tail beyond the outer turning point has decayed through many rescales, and
    // moves up behind the barrier, where that tail is carried on from the outer turning point.
    for (const int v : {static_cast<int>(rng() % 8), 200}) {
      for (int maxit = 1; maxit <= 24; ++maxit) {
        for (const bool whole : {false, true}) {
          const SolveRequest request{v, (Umin + Umax) / 2, (Umax - Umin) / 2, maxit, 1e-4, whole};
          continued +=
              same_as_plain(V, g, mu, request,
                            what + " v=" + std::to_string(v) + " maxit=" + std::to_string(maxit) +
                                (whole ? " whole" : ""));
        }
      }
    }
  }
  EXPECT_GE(continued, 20);
}

}  // namespace
}  // namespace velk
