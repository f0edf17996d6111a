#include "solver/reversed_solver.h"

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

// Unlike the forward solver, this one has always held 0.001 in double precision.
constexpr double kSmallCorrection = 0.001;

}  // namespace

ReversedSolver::ReversedSolver(NumericalFailureHandler on_failure)
    : Tgrid_(kCapacity + 1, 0.0), Ygrid_(kCapacity + 1, 0.0), on_failure_(std::move(on_failure)) {}

void ReversedSolver::solve(std::span<const double> V, double R0, double h, double mu, int v,
                           double& E, double& tunnel, double dE, int N, int maxit, double tol,
                           SolverResults& results) {
  require_grid_fits("solve_reversed", V.size(), N, kCapacity);
  const double* Vp = V.data();
  double* T = Tgrid_.data();
  double* Y = Ygrid_.data();
  const double Vout = Vp[1];
  const char revflag = results.revflag;

  Umax_ = highest_barrier(V, N, Vout).Umax;
  Umin_ = lowest_minimum(V, N);
  if (Umax_ < Umin_ || N < 3) throw StopRun("Umin >  Umax");
  const double Emax = std::max(Umax_, Vout);
  first_bracket(E, dE, Emax, Umin_, 0.0, Elo_, Ehi_);

  const double c = h * h * mu * kU0;
  int32_t node = 0;
  double Dcor = 0.0;
  int32_t kturn = 0;
  do {
    k3_ = 0;
    if (E > Vout) {
      const Crossings x = turning_points(V, E, N, revflag, dVt_, jt_);
      k1_ = x.k1;
      k2_ = x.k2;
      k3_ = x.k3;
    }
    // Pass from the inner wall: ends at the first maximum met, the innermost one. It forms the
    // coefficients down to t_low; the rest of the grid gets them just after.
    Y[N] = 1e-99;
    Y[N - 1] = 1e-66;
    int t_low = N;
    double inward_match_value = 1.0;
    const int joint = inward_to_maximum(T, Vp, c, E, Y, N, &t_low, &inward_match_value);
    if (joint > 0) {
      kmatch_ = joint;
    } else {
      console_line(" rigth error");
    }
    if (t_low > 1) fill_coefficients(T, Vp, 1, t_low - 1, c, E);

    // Pass from the outer end (or the outer turning point), counting nodes up to the joint.
    int start = 3;
    int m0 = 1;
    if (k3_ == 0) {
      Y[1] = 1e-99;
      Y[2] = 1e-66;
    } else {
      const double s = std::pow(dVt_ / h, kOneThird);
      const double Rk = R0 + k3_ * h;
      const double Rt = Rk - jt_ * h / 100;
      const double Rk1 = R0 + (k3_ - 1) * h;
      // Index grows toward smaller radius here, so the Airy argument keeps its sign.
      Y[k3_] = airy_functions((Rk - Rt) * s, on_failure_).bi;
      Y[k3_ - 1] = airy_functions((Rk1 - Rt) * s, on_failure_).bi;
      start = k3_ + 1;
      m0 = k3_ - 1;
    }
    const OutwardPass outward = outward_counting_nodes(T, Y, start, N, m0, kmatch_);
    node = outward.node;

    const double S = normalize_and_sum(Y, m0, N, outward, joint, inward_match_value);
    const int k = std::min(std::max(static_cast<int>(kmatch_), 2), N - 1);
    Dcor = correction(T, Y, k, S, h, mu);

    update_energy(node, v, Dcor, kSmallCorrection, Emax, E, Elo_, Ehi_);
    // Counted on every pass, so that a correction that takes no branch (NaN) still ends at maxit.
    ++kturn;
  } while (!(Dcor * Dcor <= tol * tol) && kturn < maxit);

  const Crossings x = turning_points(V, E, N, revflag, dVt_, jt_);
  k1_ = x.k1;
  k2_ = x.k2;
  k3_ = x.k3;
  if (k3_ > 0) {
    // Quasi-bound: carry the solution from the turning point out to the end of the grid.
    fill_coefficients(T, Vp, 1, k3_, c, E);
    for (int i = k3_ - 2; i >= 1; --i) {
      Y[i] = step_down(T, Y, i);
      if (Y[i] * Y[i] > kOverflow) divide(Y, i, N, Y[i]);
    }
    double Ymax = 1.0;
    for (int m = 2; m <= N - 1; ++m) {
      if (Y[m] > Y[m + 1] && Y[m] > Y[m - 1]) {
        Ymax = Y[m];
        break;
      }
    }
    scale_quasibound(Y, N, E, mu, Ymax);
    tunnel = tunnel_figure(Vp, E, h, mu, k2_, k1_ - 1, k3_, k2_ - 1);
  }

  results.Dcor = Dcor;
  results.kturn = kturn;
  results.node = node;
  int32_t left = flat_steps_left(Y, N, h);
  int32_t right = flat_steps_right(Y, N, h);
  if (revflag == 'y') std::swap(left, right);
  results.kleft = left;
  results.krigth = right;
}

}  // namespace velk
