// Potentials tabulated directly on the radial grid for the solver tests, with the closed forms
// they are checked against. Units: Å, cm-1, u.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "numlib/constants.h"
#include "numlib/failure_policy.h"
#include "pec/radial_grid.h"
#include "solver/landmarks.h"
#include "solver/radial_solver.h"
#include "support/grids.h"

namespace velk::testing_grids {

inline constexpr double kHbar2Over2u = constants::kHbar2Over2u;

// Radial grid as the level driver builds it: point i (1..N) at R0 + i·h, point 1 at Rmin.
using Grid = RadialGrid;

using test::grid_from_origin;

// Solvers as the tests use them: a numerical failure throws.
inline RadialSolver forward_solver() {
  return RadialSolver(GridOrientation::forward, throw_on_numerical_failure);
}
inline RadialSolver reversed_solver() {
  return RadialSolver(GridOrientation::reversed, throw_on_numerical_failure);
}

// Copies a solution into the variables of a test: E always, tunnel only when the final energy has
// a third turning point (otherwise it keeps the test's value), the results.
inline void take(const LevelSolution& s, double& E, double& tunnel, SolverResults& r) {
  E = s.E;
  if (s.tunnel) tunnel = *s.tunnel;
  r = s.results;
}

// Morse curve V = De·(1 - exp(-a(R - Re)))² (minimum 0 at Re), and its exact levels
// E_v = 2a·sqrt(De·B)·(v + 1/2) - a²·B·(v + 1/2)² with B = ħ²/(2μ).
struct Morse {
  double mu = 11.5;  // u
  double De = 6000;  // cm-1
  double Re = 3.08;  // Å
  double a = 0.85;   // Å^-1
  double operator()(double R) const {
    const double e = 1 - std::exp(-a * (R - Re));
    return De * e * e;
  }
  double level(int v) const {
    const double B = kHbar2Over2u / mu;
    const double x = v + 0.5;
    return 2 * a * std::sqrt(De * B) * x - a * a * B * x * x;
  }
};

// Seeded random Morse curves: depth 3000..30000 cm-1, range 0.8..2.2 Å⁻¹, minimum at 1..3.5 Å,
// reduced mass 1..40 u, drawn in that order from `engine`, which the tests draw from too.
class RandomMorse {
 public:
  explicit RandomMorse(uint64_t seed) : engine(seed) {}
  Morse next() {
    Morse m;
    m.De = depth_(engine);
    m.a = range_(engine);
    m.Re = position_(engine);
    m.mu = mass_(engine);
    return m;
  }
  std::mt19937_64 engine;

 private:
  std::uniform_real_distribution<double> depth_{3000.0, 30000.0}, range_{0.8, 2.2},
      position_{1.0, 3.5}, mass_{1.0, 40.0};
};

// Harmonic well V = c·(R - Re)² with c chosen so that the spacing is omega: E_v = omega·(v + 1/2).
struct Harmonic {
  double mu = 11.5;      // u
  double omega = 500.0;  // cm-1
  double Re = 3.0;       // Å
  double c() const { return omega * omega / (4 * kHbar2Over2u / mu); }
  double operator()(double R) const { return c() * (R - Re) * (R - Re); }
  double level(int v) const { return omega * (v + 0.5); }
};

// Tabulates f on the grid in the project's 1-based layout (slot 0 unused).
template <class F>
std::vector<double> tabulate(const Grid& g, const F& f) {
  std::vector<double> V(g.N + 1, 0.0);
  for (int i = 1; i <= g.N; ++i) V[i] = f(g.R(i));
  return V;
}

// The same array in mirrored order (slot 1 = largest radius), as the reversed solver takes it.
inline std::vector<double> mirrored(const std::vector<double>& V) {
  const int N = static_cast<int>(V.size()) - 1;
  std::vector<double> W(V.size(), 0.0);
  for (int i = 1; i <= N; ++i) W[i] = V[N + 1 - i];
  return W;
}

// Start energy and half-width of the first bracket as the level driver forms them from the
// energy window [Umin, Umax] and the offset toadd (about a third of the level spacing).
struct Window {
  double E;
  double dE;
};
inline Window driver_window(double Umin, double Umax, double toadd) {
  return {(Umin + Umax + toadd) * 0.5, (Umax - Umin - toadd) * 0.5 - 9.999999974752427e-07};
}

// A solved level as the tests look at it; tunnel is -1 unless the solve wrote one.
struct Level {
  double E;
  double tunnel;
  SolverResults r;
};

// Solves level v with the driver's window over [lowest minimum, highest barrier] of V, whose
// asymptotic end is slot N on a forward grid and slot 1 on a mirrored one.
inline Level solve_in_driver_window(RadialSolver& solver, GridOrientation orientation,
                                    const std::vector<double>& V, const Grid& g, double mu, int v,
                                    double toadd, double tol, int maxit) {
  const double Vout = orientation == GridOrientation::forward ? V[g.N] : V[1];
  const double Umin = lowest_minimum(V, g.N);
  const double Umax = highest_barrier(V, g.N, Vout).Umax;
  const auto w = driver_window(Umin, Umax, toadd);
  Level level{w.E, -1.0, {}};
  take(solver.solve(V, g, mu, {v, level.E, w.dE, maxit, tol}), level.E, level.tunnel, level.r);
  return level;
}

}  // namespace velk::testing_grids
