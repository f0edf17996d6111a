// `velk-props fcf`: the Franck-Condon factors and r-centroids of every pair of an upper level of
// state B and a lower level of state A at one J (J' = J'' = J), as two v' × v'' tables.
//
//   fcf_table.csv         v'',<v'>,<v'>,...      then one row per v'': v'',FCF,FCF,...
//   rcentroid_table.csv   the same layout, r-centroids in Å
//
// The levels are solved again from the two curves of velk.inf on their common grid (as
// `velk-props transitions` solves them), parity 1: a level's wave function does not depend on
// its parity, only its energy does. Without a range, the v of a state are those its level file
// (Astate.dat, Bstate.dat, or BstateP/Q/R.dat of an absorption run) lists at J. A level not found
// leaves its cells empty. A Dunham state has no wave functions and is refused, as are a missing
// velk.inf and empty ranges (InputError).
#pragma once

#include <cstdint>
#include <optional>

namespace velk::props {

struct VRange {
  int32_t first = 0, last = 0;  // inclusive
};

struct FcfRequest {
  int32_t J = 0;
  std::optional<VRange> upper;  // state B
  std::optional<VRange> lower;  // state A
  // The reduced mass (u) of another isotopologue, in place of each curve's mass of velk.inf's
  // mass index.
  std::optional<double> reduced_mass;
};

void write_fcf_tables(const FcfRequest& request);

}  // namespace velk::props
