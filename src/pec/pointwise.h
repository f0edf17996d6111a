// The pointwise potential, the default representation: a table of points (R in Å, U in cm-1)
// joined by a cubic spline with prescribed end second derivatives, optionally with a fitted
// long-range extension (see extension_fit.h).
//
// File body after the header (Npts = number of points, 2..500):
//   y2first;  y2last;  Npts lines "R U" with strictly increasing R;
//   extension switch line: its first character 'y' asks for the extension (end of file: none);
//   extension block: "Rfit1 Rfit2 rho";  "asymptote switch";  m (>= 1);  (switches: 0 held,
//     positive fitted)
//     m lines "k C_k switch" with k strictly increasing in 3..20 (the last k is the number of
//     model parameters);
//   exchange switch line: first character 'y' (end of file: none);
//   exchange block: "amplitude switch";  alpha;  gamma.
// Lines after the last block are not read.
//
// The builder is three pieces: read_pointwise returns what the file says, check_pointwise makes
// the stops and refusals, and the spline and the extension fit (extension_fit.h) tabulate the
// checked parameters on the grid without any input or output. pec_pointwise joins the last two,
// prints the name line and hands the fit's report to its caller's handler.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "io/free_format_reader.h"
#include "numlib/failure_policy.h"
#include "pec/extension_fit.h"
#include "pec/radial_grid.h"

namespace velk {

inline constexpr int kPointwiseCapacity = 500;

// What a pointwise file says, as far as it could be read. Tables are 1-based (slot 0 unused).
// Reading stops early where the builder could not hold what follows (more than 500 points, more
// dispersion lines than indices 3..20 allow) or at an input error, kept in read_failure. A line
// number of 0 means that the item was not reached.
struct PointwiseParameters {
  int32_t Npts = 0;
  double y2first = 0.0, y2last = 0.0;
  std::array<double, kPointwiseCapacity + 1> Rpts{}, Upts{};
  std::array<int, kPointwiseCapacity + 1> point_line{};
  int32_t points_read = 0;
  // Lines of two numbers that follow the last point where the extension switch should stand: a
  // table longer than its count, whose rest the builder ignores. The first is on extra_line.
  int32_t extra_point_lines = 0;
  int extra_line = 0;

  char extflag = 'n';
  double Rfit1 = 0.0, Rfit2 = 0.0, rho = 0.0;
  double asymptote = 0.0;
  int32_t asymptote_fit = 0;
  int asymptote_line = 0;
  int32_t m = 0;  // number of dispersion lines
  int m_line = 0;
  // A dispersion line as written, "k C_k switch", and the line of the file where its read ended.
  struct DispersionLine {
    int32_t k = 0;
    double C = 0.0;
    int32_t fit = 0;
    int line = 0;
  };
  // Strictly increasing indices in 3..20 allow 18 lines; one more is kept to be refused.
  static constexpr int kLinesKept = kExtensionCapacity - 1;
  std::array<DispersionLine, kLinesKept> dispersion{};
  int32_t dispersion_read = 0;

  char exchflag = 'n';
  double amplitude = 0.0;
  int32_t amplitude_fit = 0;
  int amplitude_line = 0;
  double alpha = 0.0, gamma = 0.0;

  std::optional<std::string> read_failure;
};

// Warns when the table is longer than its count, when its energies span less than 1 cm-1 (units
// other than cm-1), and when the grid reaches beyond its last point with no extension to carry
// the curve there.
void warn_pointwise(const PointwiseParameters& p, const std::string& potential_file,
                    const RadialGrid& grid);

// Reads the file's text. Never stops the run: faults and input errors are left to check_pointwise.
PointwiseParameters read_pointwise(const InputText& text);

// Stops the run, at the first fault in the order of the file's lines:
//   "number of points must be less than 500" when Npts > 500; a negative Npts or fewer than 2
//   points; radii that do not strictly increase; a negative fit switch; fewer than one dispersion
//   line; a dispersion index outside 3..20 or not above the previous one (StopRun naming the file
//   and line). Then the input error met by the reader (InputError), if any.
void check_pointwise(const PointwiseParameters& p, const std::string& potential_file);

// The extension of checked parameters, as the fit takes it.
LongRangeExtension pointwise_extension(const PointwiseParameters& p);

// The asymptote the builder returns: the first extension parameter as written in the file when
// the extension is present (the value before any fit), else kUinfUnset.
double pointwise_asymptote(const PointwiseParameters& p);

// The spline second derivatives Y2pts[1..Npts] of checked parameters.
std::array<double, kPointwiseCapacity + 1> pointwise_second_derivatives(
    const PointwiseParameters& p);

// Prints " Pointwise PEC (delault)", checks the parameters read from the file named
// potential_file, tabulates the spline on the grid and, when the file asks for the extension,
// refuses what check_extension refuses, fits and splices it and hands the report to `on_report`
// (opens nothing). Returns pointwise_asymptote.
double pec_pointwise(const PointwiseParameters& p, const std::string& potential_file,
                     std::span<double> Vgrid, const RadialGrid& grid, ExtensionFitStorage& work,
                     const NumericalFailureHandler& on_failure,
                     const ExtensionReportHandler& on_report);

}  // namespace velk
