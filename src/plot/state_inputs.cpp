#include "plot/state_inputs.h"

#include "io/free_format_reader.h"

namespace velk::plot {

StateInputs read_state_inputs(const std::string& path) {
  StateInputs states;
  FreeFormatReader in(path);
  in.skip();
  states.A.file = in.read_text(12);
  states.A.kind = in.read_text(1)[0];
  in.read(states.A.mass_index);
  states.B.file = in.read_text(12);
  states.B.kind = in.read_text(1)[0];
  in.read(states.B.mass_index);
  in.skip();
  in.read(states.A.Rmin, states.A.Rmax, states.A.N);
  in.read(states.B.Rmin, states.B.Rmax, states.B.N);
  return states;
}

}  // namespace velk::plot
