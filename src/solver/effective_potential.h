// Effective potential of one rotational level: the potential of the state plus the centrifugal
// term,
//
//   Ueff(R) = (J(J+1) - Lambda²)·ħ²/(2u)/(mu·R²) + V(R)      (cm-1, R in Å, mu in u)
//
// with ħ²/(2u) = constants::kHbar2Over2u. V and Ueff are 1-based grid arrays: slot k, 1 <= k <= N,
// belongs to R = R0 + k·h; slot 0 is unused. V is always ordered from small to large radius. On a
// reversed grid Ueff is written in mirrored order (Ueff(1) belongs to the largest radius), the
// order the reversed solver expects.
//
// J(J+1) - Lambda² is formed in 32-bit integer arithmetic (wrapping, never undefined) and then
// converted, so that the printed energies of large J are reproducible; a negative value (J = 0
// with Lambda = 1) is applied as it is. N = 0 leaves Ueff untouched. Every call prints the console
// line " UYeff OK". An N that does not fit either array throws std::invalid_argument.
#pragma once

#include <span>

#include "pec/radial_grid.h"
#include "solver/grid_orientation.h"

namespace velk {

void effective_potential(std::span<const double> V, std::span<double> Ueff, const RadialGrid& grid,
                         double mu, int J, int Lambda, GridOrientation orientation);

// The console line of an effective potential made, for a caller that takes over one made before
// in its place.
void print_effective_potential_line();

}  // namespace velk
