#include "props/props_files.h"

#include <iostream>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/run_file_check.h"

namespace velk::props {

void say(std::string_view text) {
  std::cout << text << '\n';
}

void require_file(const std::string& path, std::string_view hint) {
  require_run_file("velk-props", path, hint);
}

void refuse_inputs_named_like_outputs(const RunInputs& inputs,
                                      std::span<const std::string> outputs) {
  refuse_input_named_like_output("velk-props", "velk.inf", "velk.inf", outputs);
  refuse_input_named_like_output("velk-props", "the data file of state A", inputs.states.A.file,
                                 outputs);
  refuse_input_named_like_output("velk-props", "the data file of state B", inputs.states.B.file,
                                 outputs);
}
// A level file computed from another data file than the one velk.inf names for the state.
void require_same_data_file(const LevelListing& listing, const StateInput& state, char letter) {
  const std::string named = trimmed_file_name(state.file);
  if (listing.data_file.empty() || listing.data_file == named) return;
  throw InputError(std::string(kPrefix) + listing.file_name + ": line 2: computed from " +
                   listing.data_file + ", but velk.inf names " + named + " for state " + letter +
                   "; run velk again, or name the state the file belongs to");
}
SolveSettings settings_of(const RunInputs& inputs) {
  return SolveSettings{inputs.maxit, inputs.tol, inputs.orientation};
}

const StateInput& state_of(const RunInputs& inputs, char letter) {
  return letter == 'A' ? inputs.states.A : inputs.states.B;
}
}  // namespace velk::props
