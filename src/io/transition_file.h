// The transition list vel_tran.out read back, by velk-plot for its pictures and by velk-props for
// the properties of its lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

enum class Branch { P, Q, R };

// The branch follows from the rotational quantum numbers of a line: J' < J'' is P, J' = J'' is Q,
// J' > J'' is R, which is what the branch codes of all three transition runs produce (steps of 1
// or dJ).
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
// InputError "<program>: <file>: ..." naming the line.
TransitionFileData read_transition_file(const std::string& path, std::string_view program);

// vel_tran.out writes the known level of a known-level run in the columns of the lower level.
// When the computed levels are those of state A (the run's "Data file:" is state A's file in
// velk.inf), the known level is the upper one: the records are turned round so that every
// record names its lower and upper level, and the branch follows ΔJ = J_upper − J_lower.
void orient_known_level(TransitionFileData& data, const std::string& state_A_file);

}  // namespace velk
