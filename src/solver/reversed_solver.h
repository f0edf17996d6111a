// Energy of one rovibrational level on a grid ordered from large to small radius (solve_reversed),
// the mirror image of ForwardSolver: V(1) is the outer, asymptotic end and V(N) the inner wall.
//
// The pass from index N now starts at the inner wall, so the two solutions are joined at the
// innermost maximum of the wave function; the pass from index 1 starts at the outer end (or, for a
// quasi-bound level, at the outer turning point k3 from Bi) and counts the nodes. The recurrence,
// its coefficients, the correction, the bisection and stopping rules, the quasi-bound scaling and
// the tunnelling figure are those of ForwardSolver; the differences are:
//   - Vref and the energy cap come from V(1); turning_points is consulted when E > V(1), with
//     results.revflag ('y' exchanges k1 and k3 so that k3 is the large-radius crossing);
//   - a trial energy below Umin is put on Umin itself, bracketed as [Umin, Umin + dE];
//   - the Numerov coefficients cover the whole grid on every pass;
//   - the threshold between a direct correction and bisection is Dcor² < 0.001 in double precision;
//   - with revflag 'y' the flat-step counts are exchanged so that kleft describes small radii.
// A revflag other than 'n' and 'y' runs this solver on a grid that is not mirrored and without the
// exchanges; the tunnelling figure of a quasi-bound level then has an empty well sum and is +inf.
//
// Units, array conventions, kmatch kept from solve to solve, the " rigth error" line, the stop
// "Umin >  Umax" and the rejection of an N that does not fit are as for ForwardSolver.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "numlib/failure_policy.h"
#include "solver/solver_results.h"

namespace velk {

class ReversedSolver {
 public:
  static constexpr int kCapacity = 50000;

  // on_failure receives the failures of the Airy functions of a quasi-bound start.
  explicit ReversedSolver(NumericalFailureHandler on_failure = throw_on_numerical_failure);

  // solve_reversed; arguments as ForwardSolver::solve, with V in mirrored order.
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
