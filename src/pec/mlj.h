// The Morse/Lennard-Jones (MLJ) potential of Le Roy, selected by pectype "ML".
//
//   V(R) = De * (1 - (Re/R)^p * exp(-beta(R) * y))^2,   y = (R - Re)/(R + Re),
//   beta(R) = (S(y) - betainf) * f(R) + betainf,       S(y) = sum_k beta_k y^k,
//   f(R) = 1/(1 + exp(delta*(R - Rx))),                  betainf = ln(2 De Re^p / Cp).
// The well bottom is 0 at R = Re and the curve tends to De - Cp/R^p from below at large R.
// Radii in Å, energies in cm-1.
//
// File body after the header (Npts = number of coefficient lines, at most 51):
//   Re;  Npts lines "k beta_k" (k = 0..50, a later line replaces an earlier one);  De;
//   "p Cp";  delta;  Rx.
#pragma once

#include <span>
#include <string>

namespace velk {

inline constexpr int kMljCapacity = 51;

// Prints " MLJ PEC (Le Roy)", reads the file, fills Vgrid[1..N] (point i at R0 + i*h) and returns
// De, the asymptote.
//
// Stops the run (StopRun) with "number of parameters must be less than 51" when Npts > 51, and
// with a message naming the file for a negative Npts, an index outside 0..50, De <= 0, Cp <= 0,
// Re <= 0, a logarithm ln(2 De Re^p/Cp) that is not finite, or a grid point at R <= 0; nothing is
// tabulated then. Unreadable or missing values throw InputError.
double pec_mlj(const std::string& potential_file, std::span<double> Vgrid, double R0, double h,
               int N);

}  // namespace velk
