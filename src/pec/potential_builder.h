// Tabulation of a potential curve on the radial grid, dispatched on its representation
// (curve_definition.h). A build starts from a clean state, so its result depends only on the
// curve's definition and the grid; it reads and writes no file.
#pragma once

#include <span>
#include <string>

#include "numlib/failure_policy.h"
#include "pec/curve_definition.h"
#include "pec/extension_fit.h"
#include "pec/radial_grid.h"

namespace velk {

struct BuildOptions {
  // Numerical failures of the extension fit.
  NumericalFailureHandler on_failure = throw_on_numerical_failure;
  // The report of each extension fit (the run writes it to potext.out).
  ExtensionReportHandler on_extension_report;
};

// One builder lives for the run and owns the extension fit's storage (5000 fit points, 20 x 20
// covariance), allocated once.
class PotentialBuilder {
 public:
  PotentialBuilder() = default;

  // Fills Vgrid slots 1..N, point i at grid.R(i) (Å), with the curve in cm-1, and returns its
  // asymptote Uinf, or kUinfUnset when the representation knows none. Vgrid needs at least N + 1
  // slots (std::invalid_argument otherwise). A grid of fewer than 2 points stops the run, and so
  // does a curve that is not a finite number at some grid point. Each builder prints its name
  // line and stops the run on bad input, naming curve.name. The header is not checked here: the
  // callers check it first, each with its own limits.
  double build(const CurveDefinition& curve, std::span<double> Vgrid, const RadialGrid& grid,
               const BuildOptions& options);

 private:
  ExtensionFitStorage fit_;
};

}  // namespace velk
