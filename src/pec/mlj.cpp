#include "pec/mlj.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "numlib/ipow.h"
#include "pec/potential_header.h"

namespace velk {

double pec_mlj(const std::string& potential_file, std::span<double> Vgrid, double R0, double h,
               int N) {
  require_grid_slots(Vgrid, N, "pec_mlj");
  console_line(FreeLine() << "MLJ PEC (Le Roy)");

  std::array<double, kMljCapacity> betak{};  // beta_0 .. beta_50
  int32_t K = 0;
  double Re = 0.0, De = 0.0, Cp = 0.0, delta = 0.0, Rx = 0.0;
  int32_t pLR = 0;
  {
    FreeFormatReader in(potential_file);
    const int32_t Npts = skip_potential_header(
        in, kMljCapacity, "number of parameters must be less than 51", "coefficient lines");
    in.read(Re);
    for (int32_t line = 1; line <= Npts; ++line) {
      int32_t k = -1;
      // A read ended by a slash after k leaves the coefficient as it was.
      double beta = std::numeric_limits<double>::quiet_NaN();
      in.read(k, beta);
      if (k < 0 || k >= kMljCapacity) {
        throw StopRun(input_message(potential_file, "line " + std::to_string(in.line_number()) +
                                                        ": coefficient index " + std::to_string(k) +
                                                        " outside 0..50"));
      }
      if (!std::isnan(beta)) betak[k] = beta;
      if (k > K) K = k;
    }
    in.read(De);
    in.read(pLR, Cp);
    in.read(delta);
    in.read(Rx);
  }

  if (!(De > 0.0))
    throw StopRun(input_message(potential_file, "the well depth De must be positive"));
  if (!(Cp > 0.0)) {
    throw StopRun(input_message(potential_file, "the long-range coefficient Cp must be positive"));
  }
  if (!(Re > 0.0)) {
    throw StopRun(input_message(potential_file, "the equilibrium radius Re must be positive"));
  }
  const double betainf = std::log(2.0 * De * ipow(Re, pLR) / Cp);
  if (!std::isfinite(betainf)) {
    throw StopRun(input_message(potential_file, "ln(2*De*Re^p/Cp) is not a finite number"));
  }
  require_positive_grid(potential_file, R0, h, N, "MLJ");

  for (int i = 1; i <= N; ++i) {
    const double R = grid_radius(R0, h, static_cast<double>(i));
    const double y = (R - Re) / (R + Re);
    const double f = 1.0 / (1.0 + std::exp(delta * (R - Rx)));
    double S = 0.0;
    for (int k = 0; k <= K; ++k) S += betak[k] * ipow(y, k);
    const double beta = (S - betainf) * f + betainf;
    const double u = ipow(Re / R, pLR);
    const double t = 1.0 - u * std::exp(-beta * y);
    Vgrid[i] = De * (t * t);
  }
  return De;
}

}  // namespace velk
