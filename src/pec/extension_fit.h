// Tabulation of a pointwise potential's spline on the radial grid and the fitted long-range
// extension that may replace its outer part.
//
// Model of the extension (R in Å, energies in the unit of the pointwise table, cm-1):
//   V_ext(R) = sum_{j=1..nextpar} extpar[j] * X_j(R),
//   X_1 = 1,  X_2 = R^alpha * exp(-gamma*R),  X_k = -f_k(R)/R^k  (k = 3..nextpar),
//   f_k(R) = [1 - exp(-c1*rho*R/k - c2*(rho*R)^2/sqrt(k))]^k when rho > 0, else 1,
// with c1 and c2 the single-precision values of 2.1 and 0.109 (constants.h). Positive dispersion
// coefficients give attractive terms.
//
// Parameters with a nonzero fit switch are fitted by linear least squares to the spline values at
// the grid points inside [Rfit1, Rfit2]; the model then replaces the spline from the first grid
// point beyond Rfit1 where the two cross. When the switches sum to zero (or less) nothing is
// fitted and the model with the given parameters replaces the spline beyond Rfit2. The fit
// returns its report; the pointwise builder writes it to potext.out.
//
// The pieces, in the order the builder uses them: check_extension refuses what cannot be
// fitted on the grid, tabulate_spline fills the grid with the spline, extension_fit fits and
// splices the model, potext_lines formats the report. None of them prints or opens a file; the
// builder hands the report to the caller's ExtensionReportHandler (the run writes potext.out).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "numlib/failure_policy.h"
#include "pec/radial_grid.h"

namespace velk {

inline constexpr int kExtensionCapacity = 20;
inline constexpr int kFitPointCapacity = 5000;

// The extension block of a pointwise potential file. Arrays are 1-based (slot 0 unused):
// extpar[1] asymptote, extpar[2] exchange amplitude, extpar[k] (k >= 3) coefficient of R^-k.
struct LongRangeExtension {
  char extflag = 'n';  // 'y': splice the extension in
  double Rfit1 = 0.0, Rfit2 = 0.0;
  double rho = 0.0;  // damping on when > 0
  std::array<double, kExtensionCapacity + 1> extpar{};
  std::array<int32_t, kExtensionCapacity + 1> extfit{};  // nonzero: fitted
  int32_t nextpar = 0;                                   // parameters in the model, 1..20
  char exchflag = 'n';                                   // 'y': report the exchange block
  double alpha = 0.0, gamma = 0.0;
};

// The cubic spline of a pointwise table: Rpts, Upts, Y2pts hold points 1..Npts (slot 0 unused).
struct SplineTable {
  int32_t Npts = 0;
  std::span<const double> Rpts, Upts, Y2pts;
};

// Working storage of the fit, allocated once: fit points (5000, 1-based), the 20 x 20 covariance
// matrix, chi-square and the basis values of one radius.
struct ExtensionFitStorage {
  ExtensionFitStorage();
  std::vector<double> Rfit, Vfit, sigfit;
  std::vector<double> covar;
  double chisq = 0.0;
  std::array<double, kExtensionCapacity + 1> basis{};
};

// What a fit did, as potext.out reports it.
struct ExtensionReport {
  bool all_fixed = false;              // no parameter fitted: the model replaces beyond Rfit2
  std::optional<double> connection_R;  // where the model took over (Rfit2 when all are fixed)
  std::optional<double> chisq;         // of the fit; none when all are fixed
  LongRangeExtension ext;              // the parameters after the fit
};

// What a build does with the report of each extension fit it makes. fit_starts is called just
// before the fit and report after it (after any failure the fit reported and went past), so that
// a handler that writes the report claims its file first: a file that cannot be written then
// stops the build before a failure of the fit is reported, as a report written after an
// interrupted fit would be lost. The default handler keeps nothing.
struct ExtensionReportHandler {
  std::function<void()> fit_starts = [] {};
  std::function<void(const ExtensionReport&)> report = [](const ExtensionReport&) {};
};

// Fills X[1..nextpar] with the basis values at R (the basis routine handed to lfit; alpha, gamma
// and rho are its three pass-through arguments). X needs nextpar + 1 slots.
void extension_basis(double R, std::span<double> X, int nextpar, double alpha, double gamma,
                     double rho);

// V_ext(R) with the parameters in `ext`; X is scratch space of nextpar + 1 slots (the basis values
// of the terms it used; those of terms with a zero coefficient may be left out).
double extension_value(double R, const LongRangeExtension& ext, std::span<double> X);

// Refuses an extension (ext.extflag 'y') that cannot be fitted on the grid: nextpar outside 1..20
// (std::invalid_argument, a caller's fault); a fit window holding more than 5000 grid points, or
// a grid point at R <= 0 where the model would be evaluated (StopRun naming potential_file).
// Nothing is checked when no extension is asked for.
void check_extension(const LongRangeExtension& ext, const RadialGrid& grid,
                     const std::string& potential_file);

// Fills Vgrid[1..N] with the spline's values at grid.R(i), the end cubics continued outside the
// table.
void tabulate_spline(std::span<double> Vgrid, const RadialGrid& grid, const SplineTable& spline);

// With Vgrid[1..N] holding the spline values, fits the parameters of `ext` whose switches are
// set and splices the model into Vgrid as described above; returns the report. `ext` must have
// passed check_extension with extflag 'y'. Too few fit points leave the normal matrix singular,
// which lfit reports to on_failure; the fit then goes on with the values at hand.
ExtensionReport extension_fit(std::span<double> Vgrid, const RadialGrid& grid,
                              const LongRangeExtension& ext, ExtensionFitStorage& work,
                              const NumericalFailureHandler& on_failure);

// The lines of potext.out for `report`, in their order.
std::vector<std::string> potext_lines(const ExtensionReport& report);

}  // namespace velk
