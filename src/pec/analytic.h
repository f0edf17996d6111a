// The analytic potential of Tiemann, selected by pectype "AN".
//
// Between the connection radii Ri and Ro the curve is a power series in a reduced variable,
//   P(R) = sum_{k=0..kmax} a_k xi^k,   xi = (R - Rm)/(R + b*Rm);
// inside Ri a repulsive wall, type 1: Asr + Bsr/R^Nsr, or type 2: Asr*exp(-Bsr*(R - Ri));
// outside Ro the long-range form Uinf - sum_{k=1..20} C_k/R^k + Aex*R^gex*exp(-bex*R).
// Positive C_k give an attractive tail. Radii in Å, energies in cm-1.
//
// Two parts may be left to continuity: a type-1 wall with Asr = Bsr = 0 is matched to P in value
// and slope at Ri, and Uinf = 0 derives the asymptote together with the coefficient C_(m+2)
// (m = the largest long-range index in the file) so that the long-range form without the
// exchange term meets P in value and slope at Ro. The derived values are printed.
//
// File body after the header (Npts = number of coefficient lines, at most 101):
//   Rm;  b;  Npts lines "k a_k" (k = 0..100);  srtype (1 or 2);  "Asr Bsr Nsr" (type 1) or
//   "Asr Bsr" (type 2);  Uinf;  L;  L lines "k C_k" (k = 1..20);  "Aex gex bex";  "Ri Ro".
// Later lines for the same k replace earlier ones.
#pragma once

#include <span>
#include <string>

namespace velk {

inline constexpr int kAnalyticCapacity = 101;
inline constexpr int kLongRangeCapacity = 20;

// Prints " Analytic PEC (Tiemann)", reads the file, fills Vgrid[1..N] (point i at R0 + i*h) and
// returns the asymptote as read from the file (0 when the file asks for it to be derived, although
// the tabulated tail then tends to the derived value).
//
// Stops the run (StopRun) with "number of points must be less than 101" when Npts > 101, with
// "Specify the short range type!" for a short-range type other than 1 or 2, and with a message
// naming the file for: a negative Npts or L, a coefficient index outside 0..100, a long-range
// index outside 1..20, Ri >= Ro, R + b*Rm vanishing between Ri and Ro, a grid point at R <= 0,
// a derived wall with Nsr = 0 or Ri <= 0, a derived asymptote with Ro <= 0 or m + 2 > 20.
// Unreadable or missing values throw InputError.
double pec_analytic(const std::string& potential_file, std::span<double> Vgrid, double R0, double h,
                    int N);

}  // namespace velk
