// What velk-props needs of velk.inf: the two states, the search settings of the level solver and
// the lower or known level of the transition runs.
//
// The records are read in the order velk reads them, with the same free-format reader, but
// nothing is printed and velk's own stops (the LIF flag) are not made: a run that velk finished
// has passed them. A missing file or a malformed record is an InputError naming file and line.
#pragma once

#include <cstdint>
#include <string>

#include "io/state_records.h"
#include "solver/grid_orientation.h"

namespace velk::props {

struct RunInputs {
  StateRecords states;
  int32_t maxit = 0;
  double tol = 0.0;  // cm-1
  GridOrientation orientation = GridOrientation::forward;
  // One-level run: the state-A level (v'', J'', p'').
  int32_t one_v = 0, one_J = 0, one_p = 0;
  // Known-level run: the state whose levels were computed (1: A, else B) and the known level.
  int32_t known_state = 0;
  int32_t known_v = 0, known_J = 0, known_p = 0;
  double known_E = 0.0;
};

RunInputs read_run_inputs(const std::string& path = "velk.inf");

}  // namespace velk::props
