// The fit: Levenberg-Marquardt (Eigen's port of MINPACK's lmder) on the weighted residuals
// (obs - calc)/uncertainty, or, when every free parameter enters the lines linearly (Dunham and
// band constants, Te, series energies), the exact linear least-squares solution in one step.
//
// Uncertainties are σ̄·√C_jj with C = (JᵀJ)⁻¹ of the weighted Jacobian at the solution and
// σ̄ = √(χ²/(N − P)): the stated uncertainties set the weights, the scatter sets the scale.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "fit/fit_model.h"
#include "fit/line_model.h"
#include "fit/observed_lines.h"

namespace velk::fit {

struct FitOptions {
  int max_iterations = 50;
};

struct FitResult {
  Eigen::VectorXd start, value, uncertainty;
  Eigen::MatrixXd correlation;
  Eigen::VectorXd calc;
  double sigma = 0.0;  // σ̄ at the solution (or at the last step when not converged)
  int iterations = 0;
  int evaluations = 0;  // level computations, every trial step included
  bool converged = false;
  bool linear = false;
};

// Fits the free parameters of `model` to `rows`, leaving the model at the solution (or at the
// last accepted step).
FitResult run_fit(FitModel& model, const std::vector<ObservedLine>& rows,
                  const std::vector<ParameterRef>& free, const LineModel& lines,
                  const FitOptions& options);

}  // namespace velk::fit
