// velk-props linelist: every bound level of the two states of velk.inf and every one-photon line
// between them, in the files of the ExoMol database (linelist_exomol.h), a HITRAN line file
// (linelist_hitran.h) and on request the table of the spectrum command (linelist_csv.h). No earlier
// velk run is needed: the levels are solved here, J = 0, 1, … for each state until a J holds none.
//
//   velk-props linelist [--name NAME] [--moment FILE | --moment-constant D] [--spins I1 I2]
//                       [--homonuclear] [--isotopologue NAME] [--tmax T] [--j-range J1 J2]
//                       [--temperature T] [--hitran-id M I] [--csv] [--quasibound] [--within A|B]
//                       [--threads N]
//
// The levels of the J to come are searched ahead on N workers, each with states of its own, and
// taken up in order of J by the calling thread, which forms the products and the lines: the
// files are the same for every N. Memory: the weighted wave functions of state A at three J
// (J − 1, J, J + 1) and those of state B at one J; as much again for each of the N steps
// searched ahead; one J of state A per worker and one J of each state spare: 4 + 2N blocks of
// state A and 2 + N of state B, each N_grid × (levels of its J) doubles; plus a few bytes per
// level and 24 per line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "numlib/isotopes.h"
#include "props/linelist_exomol.h"
#include "props/linelist_hitran.h"

namespace velk::props {

struct LinelistRequest {
  std::string name = "velk";
  std::string moment_file;
  double moment_constant = 1.0;  // debye, without a moment file
  std::optional<NuclearSpins> spins;
  bool homonuclear = false;
  int32_t tmax = 5000;                                 // K
  std::optional<std::pair<int32_t, int32_t>> j_range;  // one block of J, both ends included
  HitranOptions hitran;  // NAME.par: its temperature (also that of NAME.csv) and ids
  bool csv = false;      // NAME.csv too
  std::optional<Isotopologue> isotopologue;  // its reduced mass and nuclear spins
  bool quasi_bound = false;                  // the quasi-bound levels with their widths too
  char within = 0;  // 'A' or 'B': the lines within that state, --moment its dipole function
  int threads = 0;  // 0: one per core
  bool help = false;
  std::string refusal;  // a bad argument: this line on standard output, status 2
};

LinelistRequest parse_linelist_arguments(std::span<const std::string> arguments);

// The command; the exit status as velk-props gives it.
int run_linelist_command(std::span<const std::string> arguments);

// The computation and the files, in the current directory (status 0), for the command and tests:
// the ExoMol files, or with a J range the block's files (linelist_blocks.h).
void write_line_list(const LinelistRequest& request);

}  // namespace velk::props
