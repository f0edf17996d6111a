#include "fit/fit_rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velk::fit {
namespace {

// Beyond 16 digits a double is its own shortest decimal: rounding there changes nothing.
constexpr int kMaxDigits = 16;

struct Refit {
  bool accepted = false;
  FitModel model;
  FitResult result;
};

// The fit of the parameters not yet held, with the model as it stands.
Refit refit(const FitModel& model, const std::vector<ObservedLine>& rows,
            const std::vector<ParameterRef>& free, const std::vector<bool>& held,
            const RoundingOptions& options) {
  Refit out;
  out.model = model;
  std::vector<ParameterRef> active;
  for (std::size_t j = 0; j < free.size(); ++j) {
    if (!held[j]) active.push_back(free[j]);
  }
  const LineModel lines(rows, active, options.limits, out.model, options.threads);
  if (active.empty()) {
    const Evaluation e = lines.evaluate(out.model, false);
    if (e.missing_level) return out;
    out.result.calc = e.calc;
    out.result.chi_squared = 0.0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const double z =
          (rows[r].wavenumber - e.calc(static_cast<Eigen::Index>(r))) / rows[r].uncertainty;
      out.result.chi_squared += z * z;
    }
    out.result.converged = true;
  } else {
    out.result = run_fit(out.model, rows, active, lines, options.fit);
  }
  out.accepted = out.result.converged;
  return out;
}

// The variance (in χ² units) of each free parameter in the fit of the active ones; 0 when held.
std::vector<double> variances(const FitResult& result, const std::vector<bool>& held) {
  std::vector<double> out(held.size(), 0.0);
  Eigen::Index i = 0;
  for (std::size_t j = 0; j < held.size(); ++j) {
    if (held[j]) continue;
    if (i < result.covariance.rows()) out[j] = result.covariance(i, i);
    ++i;
  }
  return out;
}

}  // namespace

double round_to_digits(double value, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", digits - 1, value);
  return std::strtod(buffer, nullptr);
}

RoundingResult round_parameters(FitModel& model, const std::vector<ObservedLine>& rows,
                                const std::vector<ParameterRef>& free, const FitResult& fitted,
                                const RoundingOptions& options) {
  const std::size_t P = free.size();
  const double dof = static_cast<double>(rows.size()) - static_cast<double>(P);
  RoundingResult out;
  out.sigma_before = fitted.sigma;
  out.result = fitted;
  std::vector<std::size_t> candidates;
  for (std::size_t j = 0; j < P; ++j) {
    if (free[j].kind != ParameterKind::series &&
        fitted.value(static_cast<Eigen::Index>(j)) != 0.0) {
      candidates.push_back(j);
    }
  }
  const double chi0 = fitted.chi_squared;
  const double budget = ((1.0 + options.fraction) * (1.0 + options.fraction) - 1.0) * chi0;
  std::vector<bool> held(P, false), rounded(P, false);
  std::vector<double> variance = variances(fitted, held);
  double chi = chi0;
  Eigen::VectorXd calc = fitted.calc;
  int iterations = fitted.iterations, evaluations = fitted.evaluations;

  for (std::size_t k = 1; k <= candidates.size(); ++k) {
    // The least determined first: its rounding moves the others most, and they follow it.
    std::size_t next = P;
    double worst = -1.0;
    for (const std::size_t j : candidates) {
      if (rounded[j]) continue;
      const double relative = std::sqrt(variance[j]) / std::fabs(get_parameter(model, free[j]));
      if (relative > worst) {
        worst = relative;
        next = j;
      }
    }
    const double allowed =
        chi0 + budget * static_cast<double>(k) / static_cast<double>(candidates.size());
    const double x = get_parameter(model, free[next]);
    // Near the minimum a held shift δ with the rest refitted raises χ² by δ²/C_jj: start one
    // digit short of what this predicts and let the refits judge.
    int digits = 1;
    while (digits < kMaxDigits) {
      const double delta = round_to_digits(x, digits) - x;
      if (variance[next] > 0.0 && chi + delta * delta / variance[next] <= allowed) break;
      ++digits;
    }
    digits = std::max(1, digits - 1);
    rounded[next] = true;
    held[next] = true;
    RoundingStep step{next, kMaxDigits + 1, x, x, 0.0};
    for (; digits <= kMaxDigits; ++digits) {
      FitModel trial = model;
      set_parameter(trial, free[next], round_to_digits(x, digits));
      Refit r = refit(trial, rows, free, held, options);
      iterations += r.result.iterations;
      evaluations += r.result.evaluations;
      if (!r.accepted || r.result.chi_squared > allowed) continue;
      model = r.model;
      chi = r.result.chi_squared;
      calc = r.result.calc;
      variance = variances(r.result, held);
      step.digits = digits;
      step.rounded = round_to_digits(x, digits);
      break;
    }
    // Not even 16 digits would do: held where the last refit left it, which changes nothing.
    step.sigma = std::sqrt(chi / dof);
    out.steps.push_back(step);
  }

  for (std::size_t j = 0; j < P; ++j) {
    out.result.value(static_cast<Eigen::Index>(j)) = get_parameter(model, free[j]);
  }
  out.result.calc = calc;
  out.result.chi_squared = chi;
  out.result.sigma = std::sqrt(chi / dof);
  out.result.iterations = iterations;
  out.result.evaluations = evaluations;
  out.sigma_after = out.result.sigma;
  return out;
}

}  // namespace velk::fit
