// Levels of curves given in closed form, solved by the program's radial solver on a forward grid
// and normalised by velk-props, for tests that hold them against closed forms.
#pragma once

#include <cmath>
#include <functional>
#include <vector>

#include "numlib/constants.h"
#include "numlib/failure_policy.h"
#include "pec/radial_grid.h"
#include "props/level_properties.h"
#include "solver/landmarks.h"
#include "solver/radial_solver.h"
#include "solver/wave_function.h"

namespace velk::test {

// k = 2μu/ħ² (Å⁻² per cm-1) of a reduced mass in u: the scale of the radial equation
// ψ'' = k·(U − E)·ψ.
inline double radial_scale(double mu) {
  return mu * constants::kTwoUOverHbar2;
}

struct CurveLevel {
  double E = 0.0;
  int node = -1;
  std::vector<double> psi;  // normalised, forward grid array
};

class CurveLevels {
 public:
  // U(R) tabulated on the grid, the window of the search from its minimum to its largest value.
  CurveLevels(const RadialGrid& grid, double mu, const std::function<double(double)>& U)
      : grid_(grid),
        mu_(mu),
        Ueff_(RadialGrid::kSlots),
        solver_(GridOrientation::forward, throw_on_numerical_failure) {
    for (int i = 1; i <= grid.N; ++i) Ueff_[i] = U(grid.R(i));
    Umin_ = lowest_minimum(Ueff_, grid.N);
    Umax_ = std::fmax(Ueff_[1], Ueff_[grid.N]);
  }

  CurveLevel level(int v, double tol = 1e-9) {
    SolveRequest request{v, 0.5 * (Umin_ + Umax_), 0.5 * (Umax_ - Umin_), 200, tol};
    LevelSolution s = solver_.solve(Ueff_, grid_, mu_, request);
    if (!(std::fabs(s.results.Dcor) <= tol)) {
      request.E = s.E;
      request.dE = request.dE / 10.0;
      s = solver_.solve(Ueff_, grid_, mu_, request);
    }
    CurveLevel level;
    level.E = s.E;
    level.node = std::fabs(s.results.Dcor) <= tol ? s.results.node : -1;
    level.psi.assign(solver_.Ygrid().begin(), solver_.Ygrid().begin() + grid_.N + 1);
    level.psi[0] = 0.0;
    normalise(grid_, level.psi);
    return level;
  }

  const std::vector<double>& Ueff() const { return Ueff_; }
  const RadialGrid& grid() const { return grid_; }
  double mu() const { return mu_; }

 private:
  RadialGrid grid_;
  double mu_;
  std::vector<double> Ueff_;
  RadialSolver solver_;
  double Umin_ = 0.0, Umax_ = 0.0;
};

}  // namespace velk::test
