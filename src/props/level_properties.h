// What a level's normalised wave function tells: turning points, expectation values of R, R² and
// R⁻², and the rotational constant Bv.
//
// Arrays are grid arrays of a forward grid (point 1 the smallest radius, slot i at R0 + i·h, slot
// 0 unused); radii in Å, energies in cm-1, masses in u. Integrals are sums over the grid points
// times h, the rule the Numerov solution is accurate with (its end values are negligible for a
// level that has died out at both grid ends).
#pragma once

#include <optional>
#include <span>

#include "pec/radial_grid.h"

namespace velk::props {

// The grid points where a level's wave function lives, first..last: it is zero outside them, so
// that sums over the grid may stop at them and give the same numbers.
struct LivePoints {
  int first = 1, last = 0;
};
inline LivePoints whole_grid(const RadialGrid& grid) {
  return {1, grid.N};
}

struct Expectations {
  double R_mean = 0.0;      // ⟨R⟩, Å
  double R2_mean = 0.0;     // ⟨R²⟩, Å²
  double Rinv2_mean = 0.0;  // ⟨R⁻²⟩, Å⁻²
  double Bv = 0.0;          // ⟨ħ²/(2μR²)⟩, cm-1
};
Expectations expectation_values(const RadialGrid& grid, std::span<const double> psi, double mu,
                                LivePoints live);
Expectations expectation_values(const RadialGrid& grid, std::span<const double> psi, double mu);

// The classical turning points of energy E in the effective potential Ueff: the inner one where
// Ueff first falls to E from the wall, the outer one where it next rises above E (for a level
// behind a barrier, the inner side of the barrier). Each is interpolated linearly between the
// two grid points that enclose it; a side without a crossing is empty.
struct TurningPointPair {
  std::optional<double> inner, outer;  // Å
};
TurningPointPair turning_points_of(const RadialGrid& grid, std::span<const double> Ueff, double E);

}  // namespace velk::props
