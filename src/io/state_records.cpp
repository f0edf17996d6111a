#include "io/state_records.h"

namespace velk {
namespace {

void read_state_name(FreeFormatReader& in, StateInput& state) {
  state.file = in.read_text(12);
  state.file_line = in.line_number();
  state.kind = in.read_text(1)[0];
  in.read(state.mass_index);
}

}  // namespace

StateRecords read_state_records(FreeFormatReader& in) {
  StateRecords states;
  in.skip();
  read_state_name(in, states.A);
  read_state_name(in, states.B);
  in.skip();
  in.read(states.A.Rmin, states.A.Rmax, states.A.N);
  in.read(states.B.Rmin, states.B.Rmax, states.B.N);
  return states;
}

StateRecords read_state_records(std::string_view path) {
  FreeFormatReader in(path);
  return read_state_records(in);
}

}  // namespace velk
