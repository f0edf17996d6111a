#include "solver/forward_solver.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "io/console.h"
#include "io/errors.h"
#include "numlib/airy.h"
#include "solver/landmarks.h"
#include "solver/numerov_steps.h"

namespace velk {

using namespace numerov;

namespace {

// 0.2 and 0.001 as the single-precision constants of this solver.
constexpr double kBelowMinimumFraction = 0.20000000298023224;
constexpr double kSmallCorrection = 0.0010000000474974513;

}  // namespace

ForwardSolver::ForwardSolver(NumericalFailureHandler on_failure)
    : Tgrid_(kCapacity + 1, 0.0), Ygrid_(kCapacity + 1, 0.0), on_failure_(std::move(on_failure)) {}

void ForwardSolver::solve(std::span<const double> V, double R0, double h, double mu, int v,
                          double& E, double& tunnel, double dE, int N, int maxit, double tol,
                          SolverResults& results) {
  require_grid_fits("solve_forward", V.size(), N, kCapacity);
  const double* Vp = V.data();
  double* T = Tgrid_.data();
  double* Y = Ygrid_.data();
  const double Vout = Vp[N];

  Umax_ = highest_barrier(V, N, Vout).Umax;
  Umin_ = lowest_minimum(V, N);
  if (Umax_ < Umin_ || N < 3) throw StopRun("Umin >  Umax");
  const double Emax = std::max(Umax_, Vout);
  first_bracket(E, dE, Emax, Umin_, kBelowMinimumFraction, Elo_, Ehi_);

  const double c = h * h * mu * kU0;
  int n = N;
  int32_t node = 0;
  double Dcor = 0.0;
  int32_t kturn = 0;
  do {
    k3_ = 0;
    if (E > Vout) {
      const Crossings x = turning_points(V, E, N, 'n', dVt_, jt_);
      k1_ = x.k1;
      k2_ = x.k2;
      k3_ = x.k3;
    }
    n = k3_ > 0 ? k3_ : N;

    if (k3_ == 0) {
      Y[n] = 1e-99;
      Y[n - 1] = 1e-66;
    } else {
      // Bi of the distance into the barrier from the outer turning point: it grows inward
      // through the barrier, as the solution of a level held in the well does.
      const double s = std::pow(dVt_ / h, kOneThird);
      const double Rn = R0 + n * h;
      const double Rt = Rn - jt_ * h / 100;
      const double Rn1 = R0 + (n - 1) * h;
      Y[n] = airy_functions(-(Rn - Rt) * s, on_failure_).bi;
      Y[n - 1] = airy_functions(-(Rn1 - Rt) * s, on_failure_).bi;
    }

    // Inward pass: ends at the first maximum met from outside, which becomes the joint.
    int t_low = n;
    double inward_match_value = 1.0;
    const int joint = inward_to_maximum(T, Vp, c, E, Y, n, &t_low, &inward_match_value);
    if (joint > 0) {
      kmatch_ = joint;
    } else {
      console_line(" rigth error");
    }

    // Outward pass: overwrites Y(1 .. kmatch) and counts the nodes up to the joint.
    // The inward pass formed T down to t_low; the rest of 1 .. n comes here, before it is used.
    if (t_low > 1) fill_coefficients(T, Vp, 1, t_low - 1, c, E);
    Y[1] = 1e-66;
    Y[2] = 1e-22;
    const OutwardPass outward = outward_counting_nodes(T, Y, 3, n, 1, kmatch_);
    node = outward.node;

    const double S = normalize_and_sum(Y, 1, n, outward, joint, inward_match_value);
    const int k = std::min(std::max(static_cast<int>(kmatch_), 2), n - 1);
    Dcor = correction(T, Y, k, S, h, mu);

    update_energy(node, v, Dcor, kSmallCorrection, Emax, E, Elo_, Ehi_);
    // Counted on every pass, so that a correction that takes no branch (NaN) still ends at maxit.
    ++kturn;
  } while (!(Dcor * Dcor <= tol * tol) && kturn < maxit);

  const Crossings x = turning_points(V, E, N, 'n', dVt_, jt_);
  k1_ = x.k1;
  k2_ = x.k2;
  k3_ = x.k3;
  if (k3_ > 0) {
    // Quasi-bound: carry the outward solution through the barrier to the end of the grid.
    fill_coefficients(T, Vp, k3_ - 1, N, c, E);
    outward_counting_nodes(T, Y, k3_ + 1, N, 1, 0);
    n = N;
    double Ymax = 1.0;
    for (int m = N - 1; m >= 2; --m) {
      if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
        Ymax = Y[m];
        break;
      }
    }
    scale_quasibound(Y, N, E, mu, Ymax);
    tunnel = tunnel_figure(Vp, E, h, mu, k1_, k2_ - 1, k2_, k3_ - 1);
  }

  results.Dcor = Dcor;
  results.kturn = kturn;
  results.node = node;
  results.kleft = flat_steps_left(Y, n, h);
  results.krigth = flat_steps_right(Y, n, h);
}

}  // namespace velk
