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
//
// The builder is three pieces: read_analytic returns what the file says, check_analytic_wall and
// check_analytic make the stops and refusals, derive_analytic and tabulate_analytic compute the
// curve on the grid without any input or output. pec_analytic joins the last three and prints the
// name line, the wall type and the derived values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "io/free_format_reader.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"

namespace velk {

inline constexpr int kAnalyticCapacity = 101;
inline constexpr int kLongRangeCapacity = 20;

// What an analytic file says, as far as it could be read. Reading stops early where the builder
// could not hold or place what follows (more than 101 coefficient lines, an index outside its
// table, a short-range type other than 1 or 2) or at an input error, kept in read_failure. A line
// number of 0 means that the item was not reached.
struct AnalyticParameters {
  int32_t Npts = 0;
  double Rm = 0.0, bpar = 0.0;
  std::array<double, kAnalyticCapacity> acoef{};  // a_0 .. a_100
  int32_t kmax = 0;
  std::optional<BadIndex> bad_coefficient;
  int32_t srtype = 0;
  int srtype_line = 0;
  double Asr = 0.0, Bsr = 0.0, Nsr = 0.0;
  int wall_line = 0;
  double Uinf = 0.0;
  int32_t L = 0;  // number of long-range lines
  int L_line = 0;
  std::array<double, kLongRangeCapacity + 1> Clr{};  // C_1 .. C_20, slot 0 unused
  int32_t mlr = 0;
  std::optional<BadIndex> bad_long_range;
  double Aex = 0.0, gex = 0.0, bex = 0.0;
  double Ri = 0.0, Ro = 0.0;
  std::optional<std::string> read_failure;
};

// Reads the file. Never stops the run: faults and input errors are left to the checks.
AnalyticParameters read_analytic(const InputText& text);

// The stops up to the short-range type, in this order: "number of points must be less than 101"
// when Npts > 101; a negative Npts; a coefficient index outside 0..100 (StopRun naming the file);
// "Specify the short range type!" for a type other than 1 or 2; and the input error met by the
// reader up to the wall's parameters (InputError), each where it stands in the file.
void check_analytic_wall(const AnalyticParameters& p, const std::string& potential_file);

// The stops after the short-range type, in this order: a negative L, a long-range index outside
// 1..20 (StopRun naming the file and line); the input error met by the reader (InputError);
// Ri >= Ro, R + b*Rm vanishing between Ri and Ro, a grid point at R <= 0, a derived wall with
// Nsr = 0 or Ri <= 0, a derived asymptote with Ro <= 0 or m + 2 > 20 (StopRun naming the file).
void check_analytic(const AnalyticParameters& p, const RadialGrid& grid,
                    const std::string& potential_file);

// The curve's parameters once the parts left to continuity are derived.
struct AnalyticCurve {
  AnalyticParameters p;  // Asr, Bsr, Uinf and Clr as the curve uses them
  bool derived_wall = false;
  bool derived_asymptote = false;
  int32_t m2 = 0;  // index of the derived long-range coefficient
};

AnalyticCurve derive_analytic(const AnalyticParameters& checked);

// Fills Vgrid[1..N] with the curve at grid.R(i).
void tabulate_analytic(const AnalyticCurve& curve, const RadialGrid& grid, std::span<double> Vgrid);

// Prints " Analytic PEC (Tiemann)", checks the parameters read from the file named
// potential_file, prints the wall type and derived values, fills Vgrid[1..N] and returns the
// asymptote as read from the file (0 when the file asks for it to be derived, although the
// tabulated tail then tends to the derived value).
double pec_analytic(const AnalyticParameters& p, const std::string& potential_file,
                    std::span<double> Vgrid, const RadialGrid& grid);

}  // namespace velk
