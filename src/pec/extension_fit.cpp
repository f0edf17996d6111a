#include "pec/extension_fit.h"

#include <cmath>
#include <stdexcept>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/output_file.h"
#include "numlib/ipow.h"
#include "numlib/least_squares.h"
#include "pec/potential_header.h"
#include "pec/spline.h"

namespace velk {
namespace {

constexpr int kCovarianceSize = kExtensionCapacity;

void write_parameters(OutputFile& out, const LongRangeExtension& ext) {
  // All twenty entries whatever nextpar; the exchange amplitude has its own block.
  for (int k = 1; k <= kExtensionCapacity; ++k) {
    if (k == 2 || ext.extpar[k] == 0.0) continue;
    out.line(format_line("(A20,I3,E17.9,I3)", {std::string("Parameter"), int64_t{k}, ext.extpar[k],
                                               int64_t{ext.extfit[k]}}));
  }
  if (ext.exchflag != 'y') return;
  out.line(FreeLine() << "Exchange:");
  out.line(format_line("(A20,I3,E17.9,I3)",
                       {std::string("B"), int64_t{2}, ext.extpar[2], int64_t{ext.extfit[2]}}));
  out.line(format_line("(A20,F17.5)", {std::string("alpha"), ext.alpha}));
  out.line(format_line("(A20,F17.5)", {std::string("gamma"), ext.gamma}));
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

void extension_basis(double R, std::span<double> X, int nextpar, double alpha, double gamma,
                     double rho) {
  for (int j = 1; j <= nextpar; ++j) {
    if (j == 1) {
      X[j] = 1.0;
    } else if (j == 2) {
      X[j] = std::pow(R, alpha) * std::exp(-gamma * R);
    } else {
      const double k = static_cast<double>(j);
      double f = 1.0;
      if (rho > 0.0) {
        const double rhoR = rho * R;
        f = ipow(
            1.0 - std::exp(-kDampingC1 * rho * R / k - kDampingC2 * ipow(rhoR, 2) / std::sqrt(k)),
            j);
      }
      X[j] = -f / ipow(R, j);
    }
  }
}

double extension_value(double R, const LongRangeExtension& ext, std::span<double> X) {
  extension_basis(R, X, ext.nextpar, ext.alpha, ext.gamma, ext.rho);
  double V = 0.0;
  for (int j = 1; j <= ext.nextpar; ++j) V += ext.extpar[j] * X[j];
  return V;
}

void extension_fit(std::span<double> Vgrid, double R0, double h, const SplineTable& spline, int N,
                   LongRangeExtension& ext, ExtensionFitStorage& work,
                   const std::string& potential_file, const NumericalFailureHandler& on_failure) {
  require_grid_slots(Vgrid, N, "extension_fit");
  const bool extend = ext.extflag == 'y';
  int64_t nfit = 0;  // wide, so that large switch values cannot overflow the sum
  if (extend) {
    if (ext.nextpar < 1 || ext.nextpar > kExtensionCapacity) {
      throw std::invalid_argument("extension_fit: nextpar = " + std::to_string(ext.nextpar) +
                                  ", expected 1..20");
    }
    // The switch values are summed, not counted; a sum of zero or less means that all parameters
    // are held (the file reader admits no negative switch, so this is all-zero switches there).
    for (int j = 1; j <= ext.nextpar; ++j) nfit += ext.extfit[j];

    // Refuse what the fit cannot hold, or where the model has no value, before anything is done.
    int nf = 0;
    for (int i = 1; i <= N; ++i) {
      const double R = grid_radius(R0, h, static_cast<double>(i));
      const bool evaluated = nfit > 0 ? R >= ext.Rfit1 : R > ext.Rfit2;
      if (evaluated && !(R > 0.0)) {
        throw StopRun(
            input_message(potential_file, "the long-range extension would be evaluated at R <= 0"));
      }
      if (nfit > 0 && ext.Rfit1 <= R && R <= ext.Rfit2) ++nf;
    }
    if (nf > kFitPointCapacity) {
      throw StopRun(input_message(potential_file, "the fit window holds " + std::to_string(nf) +
                                                      " grid points, at most 5000 are allowed"));
    }
  }

  for (int i = 1; i <= N; ++i) {
    const double R = grid_radius(R0, h, static_cast<double>(i));
    Vgrid[i] = spline_value(R, 1, spline.Npts, spline.Rpts, spline.Upts, spline.Y2pts);
  }
  if (!extend) return;
  // A spline that overflows would only be fitted into NaN parameters and reported as such.
  require_finite_curve(potential_file, Vgrid, R0, h, N);

  OutputFile out("potext.out");
  std::span<double> X(work.basis);
  if (nfit > 0) {
    int nf = 0;
    for (int i = 1; i <= N; ++i) {
      const double R = grid_radius(R0, h, static_cast<double>(i));
      if (ext.Rfit1 <= R && R <= ext.Rfit2) {
        ++nf;
        work.Rfit[nf] = R;
        work.Vfit[nf] = Vgrid[i];
        work.sigfit[nf] = 1.0;
      }
    }
    lfit(work.Rfit, work.Vfit, work.sigfit, nf, ext.extpar, ext.extfit, ext.nextpar, work.covar,
         kCovarianceSize, work.chisq, extension_basis, ext.alpha, ext.gamma, ext.rho, on_failure);

    // The model takes over at its first crossing with the spline beyond Rfit1. d_prev starts at
    // 0, so the first point examined cannot be the crossing.
    double d_prev = 0.0;
    bool connected = false;
    for (int i = 1; i <= N; ++i) {
      const double R = grid_radius(R0, h, static_cast<double>(i));
      if (R <= ext.Rfit1) continue;
      const double V = extension_value(R, ext, X);
      const double d = V - Vgrid[i];
      if (!connected && d_prev * d < 0.0) {
        out.line(connection_line(R));
        connected = true;
      }
      if (connected) Vgrid[i] = V;
      d_prev = d;
    }
    out.line(format_line("(A20,E17.9)", {std::string("Chi^2"), work.chisq}));
  } else {
    for (int i = 1; i <= N; ++i) {
      const double R = grid_radius(R0, h, static_cast<double>(i));
      if (R > ext.Rfit2) Vgrid[i] = extension_value(R, ext, X);
    }
    out.line(FreeLine() << "All parameters fixed");
    out.line(connection_line(ext.Rfit2));
  }
  write_parameters(out, ext);
  out.close();
}

}  // namespace velk
