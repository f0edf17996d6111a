#include "pec/potential_builder.h"

#include "io/errors.h"
#include "pec/analytic.h"
#include "pec/mlj.h"

namespace velk {

Representation select_representation(std::string_view pectype) {
  // The selection text is two characters; a shorter one is blank padded.
  std::string code(pectype.substr(0, 2));
  code.resize(2, ' ');
  if (code == "AN") return Representation::analytic;
  if (code == "ML") return Representation::mlj;
  return Representation::pointwise;
}

double PotentialBuilder::build(const std::string& potential_file, std::string_view pectype,
                               std::span<double> Vgrid, const RadialGrid& grid,
                               const NumericalFailureHandler& on_failure) {
  if (grid.N < 2) {
    throw StopRun(input_message(
        potential_file, "the radial grid needs at least 2 points, N = " + std::to_string(grid.N)));
  }
  double Uinf = 0.0;
  switch (select_representation(pectype)) {
    case Representation::analytic:
      Uinf = pec_analytic(potential_file, Vgrid, grid);
      break;
    case Representation::mlj:
      Uinf = pec_mlj(potential_file, Vgrid, grid);
      break;
    case Representation::pointwise:
      Uinf = pec_pointwise(potential_file, Vgrid, grid, fit_, on_failure);
      break;
  }
  require_finite_curve(potential_file, Vgrid, grid);
  return Uinf;
}

}  // namespace velk
