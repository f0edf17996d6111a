// Selection of a potential file's representation and tabulation of its curve on the radial grid.
//
// pectype (the first two characters of header line 8) decides, case-sensitively: "AN" the
// analytic form (analytic.h), "ML" the MLJ form (mlj.h), anything else, blanks included, the
// pointwise table (pointwise.h). Every build reads the whole file again and starts from a clean
// state, so its result depends only on the file and the grid.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "numlib/failure_policy.h"
#include "pec/extension_fit.h"
#include "pec/pointwise.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"

namespace velk {

enum class Representation { analytic, mlj, pointwise };

Representation select_representation(std::string_view pectype);

// One builder lives for the run and owns the extension fit's storage (5000 fit points, 20 x 20
// covariance), allocated once.
class PotentialBuilder {
 public:
  PotentialBuilder() = default;

  // Fills Vgrid slots 1..N, point i at grid.R(i) (Å), with the curve in cm-1, and returns its
  // asymptote Uinf, or kUinfUnset when the representation knows none. Vgrid needs at least N + 1
  // slots (std::invalid_argument otherwise). A grid of fewer than 2 points stops the run, and so
  // does a curve that is not a finite number at some grid point. Each builder prints its name
  // line and stops the run on bad input; numerical failures of the extension fit go to
  // on_failure.
  double build(const std::string& potential_file, std::string_view pectype, std::span<double> Vgrid,
               const RadialGrid& grid, const NumericalFailureHandler& on_failure);

 private:
  ExtensionFitStorage fit_;
};

}  // namespace velk
