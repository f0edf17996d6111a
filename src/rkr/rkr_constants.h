// The vibrational term G(v) and the rotational constant B(v) that the RKR inversion takes, as
// polynomials in u = v + 1/2, from a Dunham file in either of its forms.
//
// Dunham form: G(u) = sum over k >= 1 of Y(k,0) rho^k u^k and B(u) = sum over k of
// Y(k,1) rho^(k+2) u^k, rho the file's mass ratio. Y(0,0) is no part of the turning-point
// integrals, whose energy zero is the well's minimum, G(-1/2) = 0 (Dunham's Y00 is a correction
// beyond the first-order quantisation the inversion rests on); it is kept as `Y00` for the energy
// scale of the curve and of the round trip.
// Band-constant form: rows v = 0 .. n-1 of Tv and Bv, smoothed by least-squares polynomials in u
// of the lowest degree that reproduces them (report in `fit`); the fitted T(0) plays Y(0,0)'s part.
// Energies in cm-1.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/dunham.h"

namespace velk::rkr {

// A least-squares polynomial of the band-constant form: its degree and its worst and rms
// residuals over the rows (cm-1).
struct PolynomialFit {
  int degree = 0;
  double rms = 0.0, worst = 0.0;
};

struct BandFitReport {
  int rows = 0;  // v = 0 .. rows - 1
  PolynomialFit T, B;
};

struct RkrConstants {
  std::vector<double> G;  // G[k], k >= 1, the coefficient of u^k (G[0] is 0)
  std::vector<double> B;  // B[k], the coefficient of u^k
  double Y00 = 0.0;       // Y(0,0), or the fitted T at u = 0 of band constants
  int Lambda = 0;
  // The highest u the constants were fitted for, where the file says so (the last band row).
  std::optional<double> u_fitted;
  std::optional<BandFitReport> fit;

  double term(double u) const;                 // G(u), without Y00
  double term_slope(double u) const;           // dG/du
  double rotational_constant(double u) const;  // B(u)
};

// Degrees tried for the band-constant polynomials: 1 (2 for T) up to this or rows - 1.
inline constexpr int kLargestBandDegree = 12;

// The constants of a Dunham file as read by read_dunham_file. Throws InputError, prefixed
// "velk-rkr: <file>: ", when the band-constant rows leave a gap (a row v below the last one with
// T and B both zero) or are fewer than two, when no vibrational or rotational constant is given,
// or when Lambda is not a whole number.
RkrConstants rkr_constants(const DunhamCoefficients& file_constants, const std::string& file);

}  // namespace velk::rkr
