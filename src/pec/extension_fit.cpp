#include "pec/extension_fit.h"

#include <cmath>
#include <stdexcept>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "numlib/constants.h"
#include "numlib/ipow.h"
#include "numlib/least_squares.h"
#include "pec/potential_header.h"
#include "pec/spline.h"

namespace velk {
namespace {

constexpr int kCovarianceSize = kExtensionCapacity;

// The switch values are summed, not counted; a sum of zero or less means that all parameters are
// held (the file reader admits no negative switch, so this is all-zero switches there). Wide, so
// that large switch values cannot overflow the sum.
int64_t switch_sum(const LongRangeExtension& ext) {
  int64_t nfit = 0;
  for (int j = 1; j <= ext.nextpar; ++j) nfit += ext.extfit[j];
  return nfit;
}

std::string connection_line(double R) {
  return format_line("(A20,F17.5)", {std::string("Connection point at:"), R});
}

}  // namespace

ExtensionFitStorage::ExtensionFitStorage()
    : Rfit(kFitPointCapacity + 1),
      Vfit(kFitPointCapacity + 1),
      sigfit(kFitPointCapacity + 1),
      covar(kCovarianceSize * kCovarianceSize) {}

namespace {

// X_j(R) of the model, j >= 1.
double basis_term(double R, int j, double alpha, double gamma, double rho) {
  using constants::kDampingC1;
  using constants::kDampingC2;
  if (j == 1) return 1.0;
  if (j == 2) {
    // Without an exchange term alpha and gamma are 0: R^0·e^(-0·R) is exactly 1 at every finite
    // R, and the power and exponential were a tenth of a short run.
    if (alpha == 0.0 && gamma == 0.0 && std::isfinite(R)) return 1.0;
    return std::pow(R, alpha) * std::exp(-gamma * R);
  }
  const double k = static_cast<double>(j);
  double f = 1.0;
  if (rho > 0.0) {
    const double rhoR = rho * R;
    f = ipow(1.0 - std::exp(-kDampingC1 * rho * R / k - kDampingC2 * ipow(rhoR, 2) / std::sqrt(k)),
             j);
  }
  return -f / ipow(R, j);
}

// Between these radii every R^-k of the model (k <= 20) is a finite number, so every dispersion
// term is: one whose coefficient is zero then adds a signed zero, which leaves a sum that started
// at +0 as it was.
constexpr double kFiniteTermsLow = 1e-14;
constexpr double kFiniteTermsHigh = 1e14;

}  // namespace

void extension_basis(double R, std::span<double> X, int nextpar, double alpha, double gamma,
                     double rho) {
  for (int j = 1; j <= nextpar; ++j) X[j] = basis_term(R, j, alpha, gamma, rho);
}

double extension_value(double R, const LongRangeExtension& ext, std::span<double> X) {
  const bool finite_terms = kFiniteTermsLow <= R && R <= kFiniteTermsHigh;
  double V = 0.0;
  for (int j = 1; j <= ext.nextpar; ++j) {
    // The dispersion terms the file leaves out (most of 3..nextpar) cost a power each per point.
    if (j >= 3 && finite_terms && ext.extpar[j] == 0.0) continue;
    X[j] = basis_term(R, j, ext.alpha, ext.gamma, ext.rho);
    V += ext.extpar[j] * X[j];
  }
  return V;
}

void check_extension(const LongRangeExtension& ext, const RadialGrid& grid,
                     const std::string& potential_file) {
  if (ext.extflag != 'y') return;
  if (ext.nextpar < 1 || ext.nextpar > kExtensionCapacity) {
    throw std::invalid_argument("extension_fit: nextpar = " + std::to_string(ext.nextpar) +
                                ", expected 1..20");
  }
  const bool fitted = switch_sum(ext) > 0;
  int nf = 0;
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    const bool evaluated = fitted ? R >= ext.Rfit1 : R > ext.Rfit2;
    if (evaluated && !(R > 0.0)) {
      throw StopRun(
          input_message(potential_file, "the long-range extension would be evaluated at R <= 0"));
    }
    if (fitted && ext.Rfit1 <= R && R <= ext.Rfit2) ++nf;
  }
  if (nf > kFitPointCapacity) {
    throw StopRun(input_message(potential_file, "the fit window holds " + std::to_string(nf) +
                                                    " grid points, at most 5000 are allowed"));
  }
}

void tabulate_spline(std::span<double> Vgrid, const RadialGrid& grid, const SplineTable& spline) {
  require_grid_slots(Vgrid, grid.N, "extension_fit");
  const int n = spline.Npts;
  if (n < 2 || static_cast<std::size_t>(n) >= spline.Rpts.size() ||
      static_cast<std::size_t>(n) >= spline.Upts.size() ||
      static_cast<std::size_t>(n) >= spline.Y2pts.size()) {
    throw std::invalid_argument("tabulate_spline: " + std::to_string(n) +
                                " points do not fit the table");
  }
  // A bisection per point was a fifth of a short run. The radii of the grid rise with i, so each
  // point's piece is found by stepping on from the previous point's; the test is the bisection's
  // own (the last point not above R, kept within 1..n-1), so every value is the one it gives.
  int ilo = 1;
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    while (ilo > 1 && spline.Rpts[ilo] > R) --ilo;
    while (ilo + 1 < n && !(spline.Rpts[ilo + 1] > R)) ++ilo;
    Vgrid[i] = spline_piece(R, ilo, spline.Rpts, spline.Upts, spline.Y2pts);
  }
}

ExtensionReport extension_fit(std::span<double> Vgrid, const RadialGrid& grid,
                              const LongRangeExtension& ext, ExtensionFitStorage& work,
                              const NumericalFailureHandler& on_failure) {
  require_grid_slots(Vgrid, grid.N, "extension_fit");
  ExtensionReport report;
  report.ext = ext;
  LongRangeExtension& fit = report.ext;
  std::span<double> X(work.basis);
  if (switch_sum(ext) > 0) {
    int nf = 0;
    for (int i = 1; i <= grid.N; ++i) {
      const double R = grid.R(i);
      if (fit.Rfit1 <= R && R <= fit.Rfit2) {
        ++nf;
        work.Rfit[nf] = R;
        work.Vfit[nf] = Vgrid[i];
        work.sigfit[nf] = 1.0;
      }
    }
    lfit(work.Rfit, work.Vfit, work.sigfit, nf, fit.extpar, fit.extfit, fit.nextpar, work.covar,
         kCovarianceSize, work.chisq, extension_basis, fit.alpha, fit.gamma, fit.rho, on_failure);

    // The model takes over at its first crossing with the spline beyond Rfit1. d_prev starts at
    // 0, so the first point examined cannot be the crossing.
    double d_prev = 0.0;
    bool connected = false;
    for (int i = 1; i <= grid.N; ++i) {
      const double R = grid.R(i);
      if (R <= fit.Rfit1) continue;
      const double V = extension_value(R, fit, X);
      const double d = V - Vgrid[i];
      if (!connected && d_prev * d < 0.0) {
        report.connection_R = R;
        connected = true;
      }
      if (connected) Vgrid[i] = V;
      d_prev = d;
    }
    report.chisq = work.chisq;
  } else {
    for (int i = 1; i <= grid.N; ++i) {
      const double R = grid.R(i);
      if (R > fit.Rfit2) Vgrid[i] = extension_value(R, fit, X);
    }
    report.all_fixed = true;
    report.connection_R = fit.Rfit2;
  }
  return report;
}

std::vector<std::string> potext_lines(const ExtensionReport& report) {
  std::vector<std::string> lines;
  auto add_free = [&](const FreeLine& line) {
    for (const auto& text : line.lines()) lines.push_back(text);
  };
  if (report.all_fixed) add_free(FreeLine() << "All parameters fixed");
  if (report.connection_R) lines.push_back(connection_line(*report.connection_R));
  if (report.chisq)
    lines.push_back(format_line("(A20,E17.9)", {std::string("Chi^2"), *report.chisq}));
  const LongRangeExtension& ext = report.ext;
  // All twenty entries whatever nextpar; the exchange amplitude has its own block.
  for (int k = 1; k <= kExtensionCapacity; ++k) {
    if (k == 2 || ext.extpar[k] == 0.0) continue;
    lines.push_back(format_line("(A20,I3,E17.9,I3)", {std::string("Parameter"), int64_t{k},
                                                      ext.extpar[k], int64_t{ext.extfit[k]}}));
  }
  if (ext.exchflag != 'y') return lines;
  add_free(FreeLine() << "Exchange:");
  lines.push_back(format_line(
      "(A20,I3,E17.9,I3)", {std::string("B"), int64_t{2}, ext.extpar[2], int64_t{ext.extfit[2]}}));
  lines.push_back(format_line("(A20,F17.5)", {std::string("alpha"), ext.alpha}));
  lines.push_back(format_line("(A20,F17.5)", {std::string("gamma"), ext.gamma}));
  return lines;
}

}  // namespace velk
