#include "pec/potential_builder.h"

#include <variant>

#include "io/errors.h"

namespace velk {

double PotentialBuilder::build(const CurveDefinition& curve, std::span<double> Vgrid,
                               const RadialGrid& grid, const BuildOptions& options) {
  const std::string& name = curve.name;
  if (grid.N < 2) {
    throw StopRun(input_message(
        name, "the radial grid needs at least 2 points, N = " + std::to_string(grid.N)));
  }
  double Uinf = 0.0;
  if (const auto* analytic = std::get_if<AnalyticParameters>(&curve.parameters)) {
    Uinf = pec_analytic(*analytic, name, Vgrid, grid);
  } else if (const auto* mlj = std::get_if<MljParameters>(&curve.parameters)) {
    Uinf = pec_mlj(*mlj, name, Vgrid, grid);
  } else {
    Uinf = pec_pointwise(std::get<PointwiseParameters>(curve.parameters), name, Vgrid, grid, fit_,
                         options.on_failure, options.on_extension_report);
  }
  require_finite_curve(name, Vgrid, grid);
  return Uinf;
}

}  // namespace velk
