#include "fit/fit_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unsupported/Eigen/NonLinearOptimization>

#include "io/errors.h"
#include "numlib/failure_policy.h"

namespace velk::fit {
namespace {

// A trial step whose levels cannot be computed (a level lost, a curve the builders refuse) is
// answered with residuals so large that the step is refused and a shorter one tried.
constexpr double kRefusedResidual = 1e12;

class WeightedResiduals {
 public:
  using Scalar = double;
  using InputType = Eigen::VectorXd;
  using ValueType = Eigen::VectorXd;
  using JacobianType = Eigen::MatrixXd;
  enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };

  WeightedResiduals(FitModel& model, const std::vector<ObservedLine>& rows,
                    const std::vector<ParameterRef>& free, const LineModel& lines)
      : model_(model), rows_(rows), free_(free), lines_(lines) {}

  int inputs() const { return static_cast<int>(free_.size()); }
  int values() const { return static_cast<int>(rows_.size()); }

  int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& fvec) {
    evaluate(x);
    fvec = residuals_;
    return 0;
  }
  // The Jacobian comes with the values of the same point: the wave functions that gave the
  // levels give their derivatives.
  int df(const Eigen::VectorXd& x, Eigen::MatrixXd& fjac) {
    if (!(x.size() == at_.size() && x == at_)) evaluate(x);
    fjac = jacobian_;
    return 0;
  }

  void set(const Eigen::VectorXd& x) {
    for (Eigen::Index j = 0; j < x.size(); ++j) {
      set_parameter(model_, free_[static_cast<std::size_t>(j)], x(j));
    }
  }
  void evaluate(const Eigen::VectorXd& x) {
    set(x);
    ++evaluations;
    at_ = x;
    const auto n = static_cast<Eigen::Index>(rows_.size());
    residuals_.resize(n);
    resolution_.setZero(n);
    jacobian_.setZero(n, x.size());
    try {
      const Evaluation e = lines_.evaluate(model_, true);
      if (!e.missing_level) {
        for (Eigen::Index r = 0; r < n; ++r) {
          const ObservedLine& row = rows_[static_cast<std::size_t>(r)];
          residuals_(r) = (row.wavenumber - e.calc(r)) / row.uncertainty;
          jacobian_.row(r) = -e.jacobian.row(r) / row.uncertainty;
          resolution_(r) = e.resolution(r) / row.uncertainty;
        }
        calc_ = e.calc;
        return;
      }
    } catch (const StopRun&) {
    } catch (const NumericalFailure&) {
    }
    residuals_.setConstant(kRefusedResidual);
  }

  const Eigen::VectorXd& residuals() const { return residuals_; }
  const Eigen::MatrixXd& jacobian() const { return jacobian_; }
  const Eigen::VectorXd& calc() const { return calc_; }
  // Per row, in units of its uncertainty, what the level searches leave in calc.
  const Eigen::VectorXd& resolution() const { return resolution_; }
  int evaluations = 0;

 private:
  FitModel& model_;
  const std::vector<ObservedLine>& rows_;
  const std::vector<ParameterRef>& free_;
  const LineModel& lines_;
  Eigen::VectorXd at_, residuals_, calc_, resolution_;
  Eigen::MatrixXd jacobian_;
};

double sigma_of(const Eigen::VectorXd& residuals, Eigen::Index parameters) {
  const auto dof = residuals.size() - parameters;
  return dof > 0 ? std::sqrt(residuals.squaredNorm() / static_cast<double>(dof))
                 : std::numeric_limits<double>::quiet_NaN();
}

// A Gauss-Newton step within this share of the parameters' joint uncertainty (the ellipsoid
// (p - p̂)ᵀC⁻¹(p - p̂) = σ̄²) changes nothing the data can tell.
constexpr double kStepShareOfUncertainty = 0.01;

// Whether the fit stands where the full Gauss-Newton step δ from it gains nothing: its predicted
// decrease of χ², ‖Jδ‖² = δᵀC⁻¹δ, is within what the errors the level searches leave in the
// calcs can produce, Σ(resolution/uncertainty)², or within a hundredth of the uncertainty in
// every direction of parameter space, ‖Jδ‖ ≤ 0.01·σ̄. The ellipsoid, not each parameter's own
// uncertainty: with correlations near 1 a long step keeps every parameter within its marginal
// uncertainty. Levenberg-Marquardt's own tests look at its damped step, which near a floor set
// by the searches' errors shrinks without end while the sum of squares wanders by those errors.
bool gauss_newton_step_negligible(const Eigen::VectorXd& residuals, const Eigen::MatrixXd& J,
                                  const Eigen::VectorXd& resolution) {
  const Eigen::Index P = J.cols();
  const auto dof = residuals.size() - P;
  if (dof <= 0 || !residuals.allFinite() || !J.allFinite()) return false;
  Eigen::VectorXd scale(P);
  for (Eigen::Index j = 0; j < P; ++j) {
    const double norm = J.col(j).norm();
    scale(j) = norm > 0.0 ? 1.0 / norm : 1.0;
  }
  const Eigen::MatrixXd scaled = J * scale.asDiagonal();
  const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(scaled);
  const double predicted_decrease = (scaled * qr.solve(-residuals)).squaredNorm();
  const double sigma_squared = residuals.squaredNorm() / static_cast<double>(dof);
  const double share = kStepShareOfUncertainty * kStepShareOfUncertainty;
  return predicted_decrease <= std::max(resolution.squaredNorm(), share * sigma_squared);
}

// One fit with the rows' uncertainties as they stand.
FitResult fit_once(FitModel& model, const std::vector<ObservedLine>& rows,
                   const std::vector<ParameterRef>& free, const LineModel& lines,
                   const FitOptions& options) {
  const auto P = static_cast<Eigen::Index>(free.size());
  FitResult result;
  result.start.resize(P);
  for (Eigen::Index j = 0; j < P; ++j) {
    result.start(j) = get_parameter(model, free[static_cast<std::size_t>(j)]);
  }
  result.linear = true;
  for (const ParameterRef& ref : free) result.linear = result.linear && !curve_parameter(ref.kind);

  WeightedResiduals functor(model, rows, free, lines);
  Eigen::VectorXd x = result.start;
  if (result.linear) {
    // calc is linear in the parameters: one Gauss-Newton step is the least-squares solution.
    functor.evaluate(x);
    // Columns scaled to unit length first: those of Y(0,0) and Y(0,4) differ by more than the
    // reciprocal of the rounding at J = 100, which the unscaled QR takes for a lost rank and
    // answers with zeros.
    const Eigen::VectorXd scale = functor.jacobian().colwise().norm().transpose().unaryExpr(
        [](double norm) { return norm > 0.0 ? 1.0 / norm : 1.0; });
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(functor.jacobian() * scale.asDiagonal());
    x -= scale.asDiagonal() * qr.solve(functor.residuals());
    functor.evaluate(x);
    result.iterations = 1;
    result.converged = qr.rank() == P;
  } else {
    Eigen::LevenbergMarquardt<WeightedResiduals> lm(functor);
    lm.parameters.maxfev = 10 * (options.max_iterations + 1);
    lm.parameters.xtol = 1e-10;
    lm.parameters.ftol = 1e-12;
    // The first step may change the scaled parameters by their own size: a start a few per cent
    // off needs no more, and a longer first step runs far down the flat combinations of
    // high-order terms, a curved valley along which the steps then crawl.
    lm.parameters.factor = 1.0;
    namespace lms = Eigen::LevenbergMarquardtSpace;
    lms::Status status = lm.minimizeInit(x);
    bool step_negligible = false;
    while ((status == lms::NotStarted || status == lms::Running) &&
           lm.iter < options.max_iterations + 1) {
      status = lm.minimizeOneStep(x);
      if (status != lms::Running) break;
      // A step that was taken leaves the functor at the new point.
      step_negligible = gauss_newton_step_negligible(functor.residuals(), functor.jacobian(),
                                                     functor.resolution());
      if (options.on_step) {
        options.on_step(static_cast<int>(lm.iter) - 1, sigma_of(functor.residuals(), P), x);
      }
      if (step_negligible) break;
    }
    result.iterations = static_cast<int>(lm.iter) - 1;
    // Tolerances too small to improve on mean the sum of squares is at its floor: converged.
    result.converged = step_negligible || status == lms::RelativeReductionTooSmall ||
                       status == lms::RelativeErrorTooSmall ||
                       status == lms::RelativeErrorAndReductionTooSmall ||
                       status == lms::CosinusTooSmall || status == lms::FtolTooSmall ||
                       status == lms::XtolTooSmall || status == lms::GtolTooSmall;
    // The last evaluation may be a refused trial step: the answer is the accepted point.
    functor.evaluate(x);
  }
  result.evaluations = functor.evaluations;
  result.value = x;
  result.calc = functor.calc();
  result.sigma = sigma_of(functor.residuals(), P);
  result.chi_squared = functor.residuals().squaredNorm();

  const Eigen::MatrixXd& J = functor.jacobian();
  // Columns scaled to unit length first: β13 and Re differ by six orders of magnitude.
  Eigen::VectorXd scale(P);
  for (Eigen::Index j = 0; j < P; ++j) {
    const double norm = J.col(j).norm();
    scale(j) = norm > 0.0 ? 1.0 / norm : 1.0;
  }
  const Eigen::MatrixXd scaled = J * scale.asDiagonal();
  const Eigen::MatrixXd normal = scaled.transpose() * scaled;
  const Eigen::MatrixXd covariance = scale.asDiagonal() *
                                     normal.completeOrthogonalDecomposition().pseudoInverse() *
                                     scale.asDiagonal();
  result.covariance = covariance;
  result.uncertainty.resize(P);
  result.correlation.resize(P, P);
  for (Eigen::Index i = 0; i < P; ++i) {
    result.uncertainty(i) = result.sigma * std::sqrt(covariance(i, i));
    for (Eigen::Index j = 0; j < P; ++j) {
      result.correlation(i, j) = covariance(i, j) / std::sqrt(covariance(i, i) * covariance(j, j));
    }
  }
  return result;
}

// Weights settle to this relative change between passes; a few passes usually suffice.
constexpr double kWeightTolerance = 1e-4;
constexpr int kMaxReweightings = 30;

}  // namespace

FitResult run_fit(FitModel& model, const std::vector<ObservedLine>& rows,
                  const std::vector<ParameterRef>& free, const LineModel& lines,
                  const FitOptions& options) {
  if (!options.robust) return fit_once(model, rows, free, lines, options);
  // The line model keeps `rows` for its levels; only the uncertainties of the copy change.
  std::vector<ObservedLine> weighted = rows;
  const auto n = static_cast<Eigen::Index>(rows.size());
  Eigen::VectorXd weight = Eigen::VectorXd::Ones(n);
  FitResult result;
  const Eigen::VectorXd start = [&] {
    Eigen::VectorXd x(static_cast<Eigen::Index>(free.size()));
    for (std::size_t j = 0; j < free.size(); ++j) {
      x(static_cast<Eigen::Index>(j)) = get_parameter(model, free[j]);
    }
    return x;
  }();
  int evaluations = 0, iterations = 0;
  for (int pass = 1; pass <= kMaxReweightings; ++pass) {
    result = fit_once(model, weighted, free, lines, options);
    evaluations += result.evaluations;
    iterations += result.iterations;
    result.reweightings = pass;
    if (!result.converged) break;
    double change = 0.0;
    for (Eigen::Index r = 0; r < n; ++r) {
      const ObservedLine& row = rows[static_cast<std::size_t>(r)];
      const double residual = row.wavenumber - result.calc(r);
      const double variance = row.uncertainty * row.uncertainty + residual * residual / 3.0;
      const double w = row.uncertainty * row.uncertainty / variance;
      change = std::max(change, std::fabs(w - weight(r)) / w);
      weight(r) = w;
      weighted[static_cast<std::size_t>(r)].uncertainty = std::sqrt(variance);
    }
    if (change < kWeightTolerance) break;
    if (pass == kMaxReweightings) result.converged = false;
  }
  result.start = start;
  result.evaluations = evaluations;
  result.iterations = iterations;
  result.weight = weight;
  return result;
}

}  // namespace velk::fit
