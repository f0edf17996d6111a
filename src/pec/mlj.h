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
//
// The builder is three pieces: read_mlj returns what the file says, check_mlj makes the stops and
// refusals, tabulate_mlj computes the curve on the grid without any input or output. pec_mlj
// joins the last two and prints the name line.
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

inline constexpr int kMljCapacity = 51;

// What an MLJ file says, as far as it could be read. Reading stops early where the builder could
// not hold what follows (more than 51 lines, a coefficient index outside 0..50, kept in
// bad_index) or at an input error, kept in read_failure.
struct MljParameters {
  int32_t Npts = 0;
  double Re = 0.0;
  std::array<double, kMljCapacity> betak{};  // beta_0 .. beta_50
  int32_t K = 0;                             // largest index read
  std::optional<BadIndex> bad_index;
  double De = 0.0;
  int32_t pLR = 0;
  double Cp = 0.0, delta = 0.0, Rx = 0.0;
  std::optional<std::string> read_failure;
};

// Reads the file. Never stops the run: faults and input errors are left to check_mlj.
MljParameters read_mlj(const InputText& text);

// Stops the run, in this order: "number of parameters must be less than 51" when Npts > 51; a
// negative Npts; an index outside 0..50 (StopRun naming the file); the input error met by the
// reader (InputError); De <= 0, Cp <= 0, Re <= 0, a logarithm ln(2 De Re^p/Cp) that is not
// finite, or a grid point at R <= 0 (StopRun naming the file).
void check_mlj(const MljParameters& p, const RadialGrid& grid, const std::string& potential_file);

// ln(2 De Re^p / Cp), Re^p as an integer power.
double mlj_betainf(const MljParameters& p);

// Fills Vgrid[1..N] with the curve of checked parameters at grid.R(i).
void tabulate_mlj(const MljParameters& p, const RadialGrid& grid, std::span<double> Vgrid);

// The curve's minimum lies at Re. When Re lies beyond the last grid radius, the curve on the grid
// is its repulsive wall: falling throughout, it has no interior minimum and the level driver
// stops with "Umin >  Umax"; a wall with a kink (a steep switching function) can hold a local
// minimum, which the driver would take for the well and fill with meaningless levels. That case
// stops the run (StopRun naming the file, Re and the minimum's radius).
void require_well_on_grid(const MljParameters& p, const RadialGrid& grid,
                          std::span<const double> Vgrid, const std::string& potential_file);

// Prints " MLJ PEC (Le Roy)", checks the parameters read from the file named potential_file,
// fills Vgrid[1..N], makes sure a well beyond the grid is not mistaken for one on it, and returns
// De, the asymptote.
double pec_mlj(const MljParameters& p, const std::string& potential_file, std::span<double> Vgrid,
               const RadialGrid& grid);

}  // namespace velk
