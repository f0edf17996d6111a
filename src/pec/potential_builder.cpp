#include "pec/potential_builder.h"

#include <cmath>
#include <sstream>

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

namespace {

// A curve that overflows somewhere on the grid (a huge coefficient, a power of a large radius)
// would only turn every level into NaN; it is refused where it first fails.
void require_finite_curve(const std::string& potential_file, std::span<const double> Vgrid,
                          double R0, double h, int N) {
  for (int i = 1; i <= N; ++i) {
    if (std::isfinite(Vgrid[i])) continue;
    std::ostringstream what;
    what << "the potential is not a finite number at grid point " << i
         << ", R = " << grid_radius(R0, h, static_cast<double>(i));
    throw StopRun(input_message(potential_file, what.str()));
  }
}

}  // namespace

double PotentialBuilder::build(const std::string& potential_file, std::string_view pectype,
                               std::span<double> Vgrid, double R0, double h, int N) {
  if (N < 2) {
    throw StopRun(input_message(
        potential_file, "the radial grid needs at least 2 points, N = " + std::to_string(N)));
  }
  double Uinf = 0.0;
  switch (select_representation(pectype)) {
    case Representation::analytic:
      Uinf = pec_analytic(potential_file, Vgrid, R0, h, N);
      break;
    case Representation::mlj:
      Uinf = pec_mlj(potential_file, Vgrid, R0, h, N);
      break;
    case Representation::pointwise:
      Uinf = pec_pointwise(potential_file, Vgrid, R0, h, N, pointwise_, fit_);
      break;
  }
  require_finite_curve(potential_file, Vgrid, R0, h, N);
  return Uinf;
}

}  // namespace velk
