// One block of levels of one state, as the run asks the level driver for it.
//
// The request has been checked by the run layer that made it: a grid that fits RadialGrid and
// lies at positive radii, a mass index in 1..5. Ranges run from `first` to `last` inclusive; an
// empty range (last < first) asks for no level of that kind.
#pragma once

#include <cstdint>
#include <string>

#include "pec/curve_definition.h"
#include "pec/radial_grid.h"

namespace velk {

struct QuantumRange {
  int32_t first = 0, last = 0;
};

struct LevelTableRequest {
  // The state's curve, read from its potential file by the caller; its name is the file's name
  // as the run names it, which the console lines, messages and the level file give.
  CurveDefinition curve;
  RadialGrid grid;
  double tol = 0.0;        // convergence tolerance of the energy search, cm-1
  int32_t maxit = 0;       // iteration limit of the energy search
  QuantumRange v, J, Par;  // vibrational, rotational and parity/component index
  int32_t mass_index = 1;  // which of the five reduced masses of the potential file
  std::string levelfile;   // name of the level file to write
  std::string state;       // "A" or "B": names the state in warnings (may be empty)
};

}  // namespace velk
