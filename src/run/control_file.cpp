#include "run/control_file.h"

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "pec/radial_grid.h"
#include "run/output_names.h"

namespace velk {

RunControl read_control_file(const std::string& path) {
  console_line(FreeLine() << "reading velk.inf");
  RunControl control;
  FreeFormatReader in(path);

  const StateRecords states = read_state_records(in);
  control.A = states.A;
  control.B = states.B;
  in.read(control.maxit);
  in.read(control.tol);
  control.revflag = in.read_text(1)[0];

  in.skip();
  LevelTableBlock& table = control.level_table;
  table.switch_flag = in.read_text(1)[0];
  in.read(table.state);
  in.read(table.vmin, table.vmax, table.Jmin, table.Jmax, table.pmin, table.pmax);

  in.skip();
  OneLevelBlock& one = control.one_level;
  one.switch_flag = in.read_text(1)[0];
  in.read(one.v, one.J, one.p);
  in.read(one.vbmin, one.vbmax, one.branch, one.dJ);

  in.skip();
  KnownLevelBlock& known = control.known_level;
  known.switch_flag = in.read_text(1)[0];
  in.read(known.state);
  in.read(known.v, known.J, known.p, known.E);
  in.read(known.vbmin, known.vbmax, known.branch, known.dJ);

  in.skip();
  WindowBlock& window = control.window;
  window.switch_flag = in.read_text(1)[0];
  in.read(window.emin, window.emax);
  in.read(window.vmin, window.vmax, window.Jmin, window.Jmax, window.pmin, window.pmax);
  in.read(window.vbmin, window.vbmax, window.branch);

  // The heading and the LIF flag at the end may be missing.
  if (in.try_skip()) {
    if (const auto flag = in.try_read_text(1)) control.lifflag = (*flag)[0];
  }

  // The stop messages read as users' scripts expect them: "Velk3:" names the program's version,
  // and "less than 50000" stands although a grid of exactly 50000 points is taken.
  if (control.lifflag == 'y') throw StopRun("Velk3: LIF simulation not supported.");
  if (control.A.N > RadialGrid::kCapacity || control.B.N > RadialGrid::kCapacity) {
    throw StopRun("number of points must be less than 50000");
  }
  refuse_inputs_named_as_outputs(control);
  // "OK" carries the one-level switch letter glued to it ("OKy", "OKn"): a line of the console
  // record as users know it, not a slip.
  console_line(FreeLine() << "OK" + std::string(1, control.one_level.switch_flag));
  return control;
}

}  // namespace velk
