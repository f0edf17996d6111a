#include "io/state_records.h"

namespace velk {
namespace {

constexpr std::size_t kNameWidth = 12;

bool blank(char c) {
  return c == ' ' || c == '\t';
}

void read_state_name(FreeFormatReader& in, StateInput& state) {
  auto line = in.try_read_line();
  // At the end of the file the text read reports the missing line.
  if (!line) line = in.read_text(static_cast<int>(kNameWidth));
  if (line->size() > kNameWidth && !blank((*line)[kNameWidth - 1]) && !blank((*line)[kNameWidth])) {
    std::size_t end = kNameWidth;
    while (end < line->size() && !blank((*line)[end])) ++end;
    state.file_as_written = trimmed_file_name(line->substr(0, end));
  }
  line->resize(kNameWidth, ' ');
  state.file = *line;
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
