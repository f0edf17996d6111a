// The fit: Levenberg-Marquardt (Eigen's port of MINPACK's lmder) on the weighted residuals
// (obs - calc)/uncertainty, or, when every free parameter enters the lines linearly (Dunham and
// band constants, Te, series energies), the exact linear least-squares solution in one step.
//
// Uncertainties are σ̄·√C_jj with C = (JᵀJ)⁻¹ of the weighted Jacobian at the solution and
// σ̄ = √(χ²/(N − P)): the stated uncertainties set the weights, the scatter sets the scale.
#pragma once

#include <Eigen/Dense>
#include <functional>
#include <string>
#include <vector>

#include "fit/fit_model.h"
#include "fit/line_model.h"
#include "fit/observed_lines.h"

namespace velk::fit {

struct FitOptions {
  int max_iterations = 50;
  // Watson's robust weighting (J. Mol. Spectrosc. 219, 326 (2003)): each line's weight becomes
  // 1/(σ² + ε²/3), ε its residual obs - calc, refitted until the weights settle, so that a gross
  // outlier counts as a line of uncertainty |ε|/√3 instead of pulling the fit.
  bool robust = false;
  // Called after each step taken, with the iteration, σ̄ and the parameters there (velk-fit
  // --verbose prints them): where a fit does not converge, the steps say why.
  std::function<void(int iteration, double sigma, const Eigen::VectorXd& x)> on_step = {};
};

struct FitResult {
  Eigen::VectorXd start, value, uncertainty;
  Eigen::MatrixXd correlation;
  Eigen::MatrixXd covariance;  // (JᵀJ)⁻¹ of the weighted Jacobian, before the factor σ̄²
  Eigen::VectorXd calc;
  double sigma = 0.0;  // σ̄ at the solution (or at the last step when not converged)
  int iterations = 0;
  int evaluations = 0;  // level computations, every trial step included
  bool converged = false;
  bool linear = false;
  double chi_squared = 0.0;  // Σ((obs - calc)/uncertainty)² with the weights of the fit
  // With robust weighting: per row, the weight relative to 1/σ², σ²/(σ² + ε²/3); empty otherwise.
  Eigen::VectorXd weight;
  int reweightings = 0;  // robust passes, each a full fit from the last
};

// Fits the free parameters of `model` to `rows`, leaving the model at the solution (or at the
// last accepted step).
FitResult run_fit(FitModel& model, const std::vector<ObservedLine>& rows,
                  const std::vector<ParameterRef>& free, const LineModel& lines,
                  const FitOptions& options);

}  // namespace velk::fit
