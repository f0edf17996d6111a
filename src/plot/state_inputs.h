// The two state descriptions of a run, read from velk.inf for the pictures of velk-plot.
//
// Only records 1 to 10 are read, by the same reader velk starts its control file with: the data
// file name, kind and mass index of state A and state B and their grids (Rmin, Rmax in Å, N
// points). The switches and everything after them do not matter to a picture, so a file that the
// program itself would stop on (the LIF flag, a block that is still being written) still gives
// its states. Nothing is printed. The run's tolerance (record 12) is read on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/state_records.h"

namespace velk::plot {

using StateInputs = StateRecords;

// A missing file or a malformed record throws InputError naming file and line.
inline StateInputs read_state_inputs(const std::string& path = "velk.inf") {
  return read_state_records(path);
}

// The run's energy tolerance (record 12, after the iteration limit of record 11), against which a
// level's last correction tells whether it was found. A control file that ends before it or
// holds something else there gives none: the pictures then judge levels by their node count only.
inline std::optional<double> read_run_tolerance(const std::string& path = "velk.inf") {
  try {
    FreeFormatReader in(path);
    read_state_records(in);
    int32_t maxit = 0;
    double tol = 0.0;
    in.read(maxit);
    in.read(tol);
    return tol;
  } catch (const InputError&) {
    return std::nullopt;
  }
}

}  // namespace velk::plot
