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
// Lines after the last block are not read. Every call starts from a clean state.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "pec/extension_fit.h"

namespace velk {

inline constexpr int kPointwiseCapacity = 500;

// The builder's tables (points 1..500, slot 0 unused) and the extension read with them, allocated
// once and refilled by every call.
struct PointwiseStorage {
  PointwiseStorage();
  std::vector<double> Rpts, Upts, Y2pts;
  double y2first = 0.0, y2last = 0.0;
  LongRangeExtension ext;
};

// Prints " Pointwise PEC (delault)", reads the file, sets up the spline and has extension_fit fill
// Vgrid[1..N] (point i at R0 + i*h). Returns the asymptote as read from the extension block, or
// kUinfUnset when the file has none.
//
// Stops the run (StopRun) with "number of points must be less than 500" when Npts > 500, and with
// a message naming the file and line for: fewer than 2 points, radii that do not strictly
// increase, a negative or zero number of dispersion lines, a dispersion index outside 3..20 or
// not above the previous one, a negative fit switch; extension_fit adds its own refusals.
// Unreadable values, or a file that ends before the last point, throw InputError.
double pec_pointwise(const std::string& potential_file, std::span<double> Vgrid, double R0,
                     double h, int N, PointwiseStorage& table, ExtensionFitStorage& work,
                     const NumericalFailureHandler& on_failure);

}  // namespace velk
