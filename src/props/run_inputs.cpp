#include "props/run_inputs.h"

#include "io/free_format_reader.h"

namespace velk::props {

RunInputs read_run_inputs(const std::string& path) {
  RunInputs inputs;
  FreeFormatReader in(path);
  inputs.states = read_state_records(in);
  in.read(inputs.maxit);
  in.read(inputs.tol);
  // Only the lower-case 'y' mirrors the grid, as in velk.
  inputs.orientation =
      in.read_text(1)[0] == 'y' ? GridOrientation::reversed : GridOrientation::forward;

  in.skip();  // level table: heading, switch, state, ranges
  in.read_text(1);
  int32_t ignored = 0;
  in.read(ignored);
  in.read();

  in.skip();  // one-level run
  in.read_text(1);
  in.read(inputs.one_v, inputs.one_J, inputs.one_p);
  in.read();

  in.skip();  // known-level run
  in.read_text(1);
  in.read(inputs.known_state);
  in.read(inputs.known_v, inputs.known_J, inputs.known_p, inputs.known_E);
  return inputs;
}

}  // namespace velk::props
