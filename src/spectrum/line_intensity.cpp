#include "spectrum/line_intensity.h"

#include "numlib/ipow.h"
#include "spectrum/physical_constants.h"

namespace velk::spectrum {

double vibrational_factor(const LineFactors& line) {
  if (line.moment) return *line.moment * *line.moment;
  if (line.FCF) return *line.FCF;
  return 1.0;
}

std::optional<double> line_intensity(const LineFactors& line, const IntensityRequest& request) {
  const double nu = line.wavenumber;
  const double X = vibrational_factor(line);
  if (request.mode == SpectrumMode::Absorption) {
    if (!line.lower_fraction) return std::nullopt;
    return nu * line.HL * X * *line.lower_fraction / (2.0 * line.J_lower + 1.0);
  }
  const double nu_power = request.photons ? ipow(nu, 3) : ipow(nu, 4);
  return nu_power * line.HL / (2.0 * line.J_upper + 1.0) * X;
}

double einstein_A(double wavenumber, double HL, int32_t J_upper, double moment_debye) {
  const double nu = 100.0 * wavenumber;  // m-1
  const double mu = moment_debye * kDebye;
  return 16.0 * ipow(kPi, 3) * ipow(nu, 3) * mu * mu / (3.0 * kVacuumPermittivity * kPlanck) * HL /
         (2.0 * J_upper + 1.0);
}

}  // namespace velk::spectrum
