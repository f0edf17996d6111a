// Line intensities and Einstein coefficients.
//
// Absorption from a thermal lower level (ν in cm-1, S the Hönl–London factor, N''/N its
// fractional population, populations.h):
//   I = ν · S · X · N''/((2J'' + 1) N)
// Emission from one upper level (the known level of a fluorescence run):
//   I = ν⁴ · S/(2J' + 1) · X   (energy)      or   I = ν³ · S/(2J' + 1) · X   (photon counts)
// X is the vibrational factor: |⟨v'J'|M|v''J''⟩|² in D² when the transition moment is known, else
// the Franck–Condon factor, else 1 (a line between Dunham states, which carries neither: within
// one band its rotational structure is still right). The units follow: cm-1·D² for absorption with
// a moment, cm-4·D² or cm-3·D² for emission; the intensities are relative.
//
// The Einstein coefficient of spontaneous emission, in s⁻¹, with M in debye:
//   A = 16π³ ν³ M² S / (3 ε₀ h (2J' + 1))   (ν in m⁻¹)  ≈ 3.1362e-7 ν³(cm-1) M²(D) S/(2J' + 1),
// S of one listed line and M of one pair of Λ-components (honl_london.h), so that the A's out of
// one upper level add up to 3.1362e-7 ν³M² times g of honl_london.h (1 but for Σ over Λ > 0).
#pragma once

#include <cstdint>
#include <optional>

namespace velk::spectrum {

enum class SpectrumMode { Absorption, Emission };

struct IntensityRequest {
  SpectrumMode mode = SpectrumMode::Absorption;
  bool photons = false;  // emission in photon counts (ν³) rather than energy (ν⁴)
};

struct LineFactors {
  double wavenumber = 0.0;  // cm-1
  double HL = 0.0;
  int32_t J_upper = 0, J_lower = 0;
  std::optional<double> moment;  // D
  std::optional<double> FCF;
  // N''/N of the lower level; absorption needs it.
  std::optional<double> lower_fraction;
};

// The vibrational factor X as above.
double vibrational_factor(const LineFactors& line);

// The relative intensity, or nothing for an absorption line whose lower population is unknown.
std::optional<double> line_intensity(const LineFactors& line, const IntensityRequest& request);

// s⁻¹ for ν in cm-1 and M in D.
double einstein_A(double wavenumber, double HL, int32_t J_upper, double moment_debye);

}  // namespace velk::spectrum
