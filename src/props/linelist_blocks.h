// A line list in blocks of J, and the ExoMol files of a whole one.
//
// `velk-props linelist --j-range J1 J2 --name NAME` writes the levels of J1..J2 and the lines whose
// upper level has one of those J as NAME.levels and NAME.lines; `velk-props merge --name OUT
// NAME1 NAME2 ...` joins blocks that cover J = 0 up to the end of the list into OUT.states,
// OUT.trans and OUT.pf, byte for byte the files of one run over every J with the same options:
// a level is named by (J, state, parity index, v) and numbered only by the merge, energies and
// coefficients are kept to the last bit (17 significant digits), and the merge forms the files
// by the same routines as a whole run.
//
// NAME.levels: a first line
//   # velk-props linelist block J1 J2 ended E Lambda LA LB spins (none | I1 I2 identical)
// (E = 1 when both states ran out of levels within the block, the block that ends the list),
// and at its end " quasibound" when the quasi-bound levels are listed and " within A" (or B) for
// the lines within one state, then one level a line:
// J state p v E, and the half-width after a quasi-bound level's E. NAME.lines: J state p v of the
// upper level, of the lower level, and A.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "props/linelist_exomol.h"

namespace velk::props {

struct SolvedList {
  std::vector<ListedLevel> levels;
  std::vector<ListedLine> lines;  // upper, lower: indices in `levels`
  int32_t Lambda_A = 0, Lambda_B = 0;
  std::optional<NuclearSpins> spins;
  bool ended = false;
  bool quasi_bound = false;  // the quasi-bound levels were searched: NAME.states lists widths
  char within = 0;           // 'A' or 'B': the lines within that state alone
};

// Writes the levels of J1..J2 and the lines whose upper level has such a J; their counts.
std::pair<std::size_t, std::size_t> write_block(const SolvedList& list, int32_t J1, int32_t J2,
                                                const std::string& name);

// NAME.states, NAME.trans and NAME.pf of a whole list that check_states_fields has passed, and
// the line that says so; the partition function summed on `threads` threads (at least 1), the
// files the same for any number.
void write_exomol_files(const LineList& list, const std::string& name, int32_t tmax, int threads);

// Throws an InputError for the first level whose energy NAME.states cannot hold.
void check_states_fields(const LineList& list, const std::string& name);

// velk-props merge; the exit status.
int run_merge_command(std::span<const std::string> arguments);

}  // namespace velk::props
