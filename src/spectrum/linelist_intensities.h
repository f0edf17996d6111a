// The line intensities of a complete line list (NAME.states, NAME.trans of velk-props linelist)
// at a temperature T, where every level of the list is populated by its Boltzmann factor:
//   x = g_tot exp(−c₂E/T) / Q,   Q = Σ over the list's levels of g_tot exp(−c₂E/T)
// (E above the lowest level, g_tot with the nuclear-spin weights: Q is that of NAME.pf).
//
// Emission from a hot gas, every upper level at once:
//   I = x′ · A · hcν     W per molecule of the gas (ν in cm-1, hc in J cm)
//   I = x′ · A           photons per second per molecule (--photons)
// Absorption, as the spectrum command computes it from a table of levels (line_intensity.h),
//   I = ν · S · |M|² · x″/(2J″ + 1)   cm-1·D²,
// S the Hönl–London factor of the two levels' J and Λ and |M|² recovered from A by einstein_A.
#pragma once

#include <vector>

#include "io/exomol_files.h"
#include "spectrum/line_intensity.h"

namespace velk::spectrum {

struct ListIntensities {
  std::vector<double> wavenumber;  // cm-1, E′ − E″, one per line of the list
  std::vector<double> intensity;   // as above; 0 for a line no photon makes (S = 0)
  double Q = 0.0;
};

// T > 0 and a list of at least one level (std::invalid_argument otherwise).
ListIntensities list_intensities(const ExomolList& list, double temperature,
                                 const IntensityRequest& request);

}  // namespace velk::spectrum
