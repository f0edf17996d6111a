// Energy of one rovibrational level on a grid ordered from small to large radius (solve_forward).
//
// The radial equation -ħ²/(2μ)·Y'' + V·Y = E·Y is integrated with the Numerov three-point
// recurrence inward from the outer end and outward from point 1; the two solutions are joined at
// the outermost maximum of the wave function (kmatch), the nodes of the outward solution are
// counted, and the energy is corrected from the residual of the recurrence at the joint,
// bisecting the bracket whenever the node count or a large correction calls for it. A level above
// V(N) that lies behind a barrier (three crossings of V with E) starts the inward solution at the
// outer turning point from the Airy function Bi and receives a tunnelling figure.
//
// Units: R0 and h in Å, V and energies in cm-1, mu in u. V is a 1-based grid array: slot i,
// 1 <= i <= N, is the point R(i) = R0 + i·h; slot 0 is unused. N may be at most kCapacity.
//
// One solver lives for the whole run: it owns the Numerov coefficients Tgrid and the wave function
// Ygrid (allocated once) and keeps kmatch from solve to solve, because an inward pass that meets no
// maximum prints " rigth error" and matches at the previous solve's kmatch (0 for a fresh
// solver). When the outward pass never reaches kmatch it runs to the end of the integrated range
// and the correction is formed at min(max(kmatch, 2), n - 1).
//
// Stops: "Umin >  Umax" (StopRun) when the potential has no well: highest barrier below lowest
// minimum, which includes a curve without interior minimum and a grid of fewer than three points.
// An N outside 1..kCapacity or beyond the size of V throws std::invalid_argument.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "numlib/failure_policy.h"
#include "solver/solver_results.h"

namespace velk {

class ForwardSolver {
 public:
  static constexpr int kCapacity = 50000;

  // on_failure receives the failures of the Airy functions of a quasi-bound start.
  explicit ForwardSolver(NumericalFailureHandler on_failure = throw_on_numerical_failure);

  // solve_forward. E: trial energy in, eigenvalue out. dE: half-width of the first bracket.
  // tunnel: written only when the final energy has a third turning point. The iteration stops
  // when Dcor² <= tol² (whatever the node count) or after maxit energy updates; the caller judges
  // convergence from |results.Dcor| > tol. Writes Dcor, kturn, node, kleft, krigth of `results`.
  void solve(std::span<const double> V, double R0, double h, double mu, int v, double& E,
             double& tunnel, double dE, int N, int maxit, double tol, SolverResults& results);

  // The wave function of the last solve (slot i = grid point i) and its matching index.
  std::span<const double> Ygrid() const { return Ygrid_; }
  int32_t kmatch() const { return kmatch_; }

 private:
  std::vector<double> Tgrid_;
  std::vector<double> Ygrid_;
  double Elo_ = 0.0, Ehi_ = 0.0, Umin_ = 0.0, Umax_ = 0.0;
  int32_t k1_ = 0, k2_ = 0, k3_ = 0;
  double dVt_ = 0.0;
  int32_t jt_ = 0;
  int32_t kmatch_ = 0;
  NumericalFailureHandler on_failure_;
};

}  // namespace velk
