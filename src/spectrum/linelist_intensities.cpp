#include "spectrum/linelist_intensities.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "spectrum/honl_london.h"
#include "spectrum/physical_constants.h"

namespace velk::spectrum {

ListIntensities list_intensities(const ExomolList& list, double temperature,
                                 const IntensityRequest& request) {
  if (list.states.empty() || !(temperature > 0.0) || !std::isfinite(temperature)) {
    throw std::invalid_argument("a list's intensities need levels and a positive temperature");
  }
  double E_lowest = list.states.front().E;
  for (const ExomolState& state : list.states) E_lowest = std::min(E_lowest, state.E);
  std::vector<double> boltzmann(list.states.size());
  ListIntensities result;
  for (std::size_t k = 0; k < list.states.size(); ++k) {
    const ExomolState& state = list.states[k];
    boltzmann[k] = state.g_tot * std::exp(-kSecondRadiation * (state.E - E_lowest) / temperature);
    result.Q += boltzmann[k];
  }
  const double hc = 100.0 * kPlanck * kSpeedOfLight;  // J cm
  result.wavenumber.reserve(list.lines.size());
  result.intensity.reserve(list.lines.size());
  for (const ExomolLine& line : list.lines) {
    const ExomolState& upper = list.states[line.upper];
    const ExomolState& lower = list.states[line.lower];
    const double nu = upper.E - lower.E;
    const double HL = honl_london({upper.J, lower.J, upper.Lambda, lower.Lambda});
    double I = 0.0;
    if (HL > 0.0 && nu > 0.0) {
      if (request.mode == SpectrumMode::Emission) {
        const double x_upper = boltzmann[line.upper] / result.Q;
        I = request.photons ? x_upper * line.A : x_upper * line.A * hc * nu;
      } else {
        const double moment_squared = line.A / einstein_A(nu, HL, upper.J, 1.0);
        const double x_lower = boltzmann[line.lower] / result.Q;
        I = nu * HL * moment_squared * x_lower / (2.0 * lower.J + 1.0);
      }
    }
    result.wavenumber.push_back(nu);
    result.intensity.push_back(I);
  }
  return result;
}

}  // namespace velk::spectrum
