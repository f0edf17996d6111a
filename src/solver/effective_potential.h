// Effective potential of one rotational level: the potential of the state plus the centrifugal
// term,
//
//   Ueff(R) = (J(J+1) - Lambda²)·16.85763130530976/(mu·R²) + V(R)      (cm-1, R in Å, mu in u)
//
// where 16.85763130530976 cm-1·Å² is ħ²/(2 u). V and Ueff are 1-based grid arrays: slot k,
// 1 <= k <= N, belongs to R = R0 + k·h; slot 0 is unused. V is always ordered from small to large
// radius. With revflag 'y' Ueff is written in mirrored order (Ueff(1) belongs to the largest
// radius), the order the reversed solver expects; any other revflag keeps the forward order.
//
// J(J+1) - Lambda² is formed in 32-bit integer arithmetic, as the level files of this program
// have always been computed; a negative value (J = 0 with Lambda = 1) is applied as it is.
// N = 0 leaves Ueff untouched. Every call prints the console line " UYeff OK".
// An N that does not fit either array throws std::invalid_argument.
#pragma once

#include <span>

namespace velk {

void effective_potential(std::span<const double> V, std::span<double> Ueff, double mu, double R0,
                         double h, int N, int J, int Lambda, char revflag);

}  // namespace velk
