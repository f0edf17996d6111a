// What the radial solver reports on the level it last solved, besides the energy.
//
//   Dcor    last energy correction of the search, cm-1; |Dcor| > tol marks a level that did not
//           converge
//   kturn   number of energy iterations
//   node    node count of the solution (the pass from grid index 1 up to the joint)
//   kleft   number of grid steps at the small-radius end over which the wave function is flat
//   krigth  the same at the large-radius end. The misspelt name is that of the level file's
//           column header ("kleft-krigth"), which readers of the files match; it stays.
#pragma once

#include <cstdint>

namespace velk {

struct SolverResults {
  double Dcor = 0.0;
  int32_t kturn = 0, node = 0, kleft = 0, krigth = 0;
};

}  // namespace velk
