// The physical constants of line intensities and line shapes, CODATA 2018 (exact where the SI
// defines them). Wavenumbers are in cm-1, temperatures in K, masses in u, moments in debye.
#pragma once

namespace velk::spectrum {

inline constexpr double kPlanck = 6.62607015e-34;                // J s, exact
inline constexpr double kBoltzmann = 1.380649e-23;               // J/K, exact
inline constexpr double kSpeedOfLight = 299792458.0;             // m/s, exact
inline constexpr double kAtomicMassUnit = 1.66053906660e-27;     // kg
inline constexpr double kVacuumPermittivity = 8.8541878128e-12;  // F/m
// 1 D = 1e-21/c C m, exact by its definition.
inline constexpr double kDebye = 1e-21 / kSpeedOfLight;  // C m
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kLn2 = 0.69314718055994530942;

// The second radiation constant hc/k in cm K: a level E cm-1 above the lowest has the Boltzmann
// factor exp(-kSecondRadiation·E/T).
inline constexpr double kSecondRadiation = 100.0 * kPlanck * kSpeedOfLight / kBoltzmann;

}  // namespace velk::spectrum
