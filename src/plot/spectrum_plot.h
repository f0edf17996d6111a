// The picture of a transition list: the lines of vel_tran.out as a stick spectrum.
//
// Every transition is a short vertical stick at its wavenumber (cm-1, x axis) in the row of its
// upper level v' (y axis), coloured by its branch. The branch follows from the rotational
// quantum numbers of the line: J' < J'' is P, J' = J'' is Q, J' > J'' is R, which is what the
// branch codes of all three transition runs produce (steps of 1 or dJ). Where several branches
// are present each row is shared among them, P at the bottom and R at the top, so that lines only
// a fraction of a pixel apart still show every colour.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot/picture_layout.h"

namespace velk::plot {

enum class Branch { P, Q, R };

Branch branch_of(int32_t J_lower, int32_t J_upper);
char branch_letter(Branch branch);

struct TransitionRecord {
  int32_t index = 0, v_lower = 0, J_lower = 0, v_upper = 0, J_upper = 0;
  double nu = 0.0;  // cm-1
};

struct TransitionFileData {
  std::string file_name;
  std::vector<std::string> header;  // the non-empty header lines, trimmed
  std::vector<TransitionRecord> lines;
  int32_t unreadable = 0;  // transition lines left out because a value overflowed (****)
  // A known-level run names the computed state's data file ("Data file:"); empty otherwise.
  std::string known_run_data_file;
  // The known level is the upper one (a fluorescence run): set by orient_known_level, which then
  // has swapped the columns of each record so that v_lower, J_lower name the lower level.
  bool known_level_upper = false;
};

// Reads vel_tran.out in any of its three forms: a header that ends with the line of equals signs
// (followed by an empty line in the one-level and known-level runs), then transition lines in
// fixed columns (I5, I5, I4, I4, I4, F15.6, optionally F15.6, of which the last is ignored). A
// missing file, a header without its line of equals signs or a malformed transition line throws
// InputError naming the file and the line.
TransitionFileData read_transition_file(const std::string& path = "vel_tran.out");

// vel_tran.out writes the known level of a known-level run in the columns of the lower level.
// When the computed levels are those of state A (the run's "Data file:" is state A's file in
// velk.inf), the known level is the upper one: the records are turned round so that every
// record names its lower and upper level, and the branch follows ΔJ = J_upper − J_lower.
void orient_known_level(TransitionFileData& data, const std::string& state_A_file);

// A header line as the subtitle shows it: "Known level: v = 6, J = 27, p = 1, E = 21187.88166
// cm-1", "Range: 20400 to 20450 cm-1" (the shortest digits that give the same numbers), and the
// data file lines with a blank after the colon.
std::string readable_header_line(const std::string& text);

// The whole SVG picture, of the given size; a list without transition lines has nothing to draw
// (InputError).
std::string spectrum_plot_svg(const TransitionFileData& data, PictureSize size = {});

}  // namespace velk::plot
