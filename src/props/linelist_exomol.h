// The line list in the files of the ExoMol database: NAME.states, NAME.trans and NAME.pf.
//
// NAME.states, one level a line, fields joined by one blank (widths of the ExoMol format):
//   i (I12)  E (F12.6, cm-1 above the lowest level)  g_tot (I6)  J (I7)
//   tau (ES12.4, s; "inf" for a level without lines out of it)
//   +/- (A1, total parity)  e/f (A1; "-" for a Σ state)  State (A1, A or B)  v (I5)  Lambda (I2)
// With the quasi-bound levels (--quasibound) each line ends in one more field, the level's
// half-width Γ/2 (ES10.4, cm-1; 0 for a bound level), the tunnelling figure of the level tables:
// the width of a predissociating level, its lifetime to dissociation ħ/Γ. Without them the lines
// are as above, to the byte.
// NAME.trans: upper_i (I12)  lower_i (I12)  A (ES10.4, s⁻¹).
// NAME.pf: T (F8.1, K)  Q(T) (F15.4), T = 1, 2, … tmax K.
//
// The levels are numbered by J, then state A before B, then e before f, then v: a level's number
// does not depend on the levels of higher J.
//
// Parity: a Σ state is taken as Σ⁺ (its level J has parity (−1)^J); of a state with Λ > 0 the
// parity index p = 0 is the e component (parity (−1)^J) and p = 1 the f component (−(−1)^J).
// Then the P and R lines join e to e and f to f and the Q lines e to f, the rule the spectrum
// command follows with the parity index.
//
// g_tot = g_ns·(2J + 1). For two different nuclei g_ns = (2I₁ + 1)(2I₂ + 1). For identical ones
// (spin I) a level is symmetric (s) or antisymmetric (a) under their exchange: s when its parity
// is + in a gerade state or − in an ungerade one. Bosons (integer I) give s levels
// (I + 1)(2I + 1) and a levels I(2I + 1), fermions the other way round. State A is taken as
// gerade and state B as ungerade (a one-photon band of a homonuclear molecule joins g and u; the
// lower state of the bands VELK serves, such as Na₂ X ¹Σg⁺, is gerade). Without nuclear spins
// g_ns = 1.
//
// The spins: given, those of a named isotopologue, or else those of the one homonuclear
// isotopologue of the isotope table whose reduced mass m/2 lies within 1e-4 u of the curve's
// (default_nuclear_spins): a curve made for ²³Na₂ gets I = 3/2 twice. No default when no such
// molecule or more than one matches: a heteronuclear molecule is not told by its reduced mass.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "io/output_file.h"
#include "numlib/isotopes.h"
#include "pec/potential_header.h"
#include "props/linelist_levels.h"
#include "props/linelist_lines.h"

namespace velk::props {

struct NuclearSpins {
  double I1 = 0.0, I2 = 0.0;
  bool identical = false;  // the same nucleus twice: exchange symmetry
};

// The nuclear spins of the molecule of a curve, from its masses when an isotope table knows them.
std::optional<NuclearSpins> default_nuclear_spins(const PotentialHeader& header,
                                                  int32_t mass_index);

// How near (u) the reduced mass of a curve must lie to m/2 of an isotope to name it.
inline constexpr double kHomonuclearMassMatch = 1e-4;

// The spins of a named molecule, identical when its two atoms are the same isotope.
NuclearSpins nuclear_spins_of_molecule(const Isotopologue& molecule);

// +1 or −1.
int32_t total_parity(int32_t Lambda, int32_t J, int32_t p);

// g_ns of a level of state `letter` with total parity `parity`.
int32_t nuclear_spin_weight(const std::optional<NuclearSpins>& spins, char letter, int32_t parity);

// The levels and lines with their numbers and figures, as the files list them.
struct LineList {
  std::vector<ListedLevel> levels;  // in the order of their numbers (i = position + 1)
  std::vector<double> energies;     // above the lowest level, cm-1
  std::vector<int32_t> g_tot;
  std::vector<double> A_sum;      // Σ A of the lines out of each level, s⁻¹
  std::vector<ListedLine> lines;  // upper, lower as positions in `levels`; by upper, lower
  bool half_widths = false;       // NAME.states ends each line in the level's half-width
  int32_t Lambda_A = 0, Lambda_B = 0;
};

// Numbers the levels and lines (`levels` and `lines` as the solve made them).
LineList number_line_list(std::span<const ListedLevel> levels, std::span<const ListedLine> lines,
                          const std::optional<NuclearSpins>& spins, int32_t Lambda_A,
                          int32_t Lambda_B);

// Q(T) = Σ g_tot·exp(−c₂E/T) over the levels in the order of their numbers.
double partition_function(const LineList& list, double T);

// The three files, line by line.
void write_states(const LineList& list, int32_t Lambda_A, int32_t Lambda_B, OutputFile& out);
void write_trans(const LineList& list, OutputFile& out);
// NAME.pf of Q(T) = partition_function(list, T) for T = 1, 2, … tmax, given as Q[T − 1].
void write_pf(std::span<const double> Q, OutputFile& out);

}  // namespace velk::props
