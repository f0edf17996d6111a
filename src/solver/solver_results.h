// The cells through which the radial solvers report on the level they last solved.
//
//   Dcor    last energy correction of the eigenvalue search, cm-1; |Dcor| > tol marks a level
//           that did not converge
//   kturn   number of energy iterations of the last solve
//   node    node count of the last solution (the pass from grid index 1 up to the matching point)
//   kleft   number of grid steps at the small-radius end over which the wave function is flat
//   krigth  the same at the large-radius end
//   revflag grid orientation read from the control file: 'n' = point 1 at the smallest radius,
//           'y' = point 1 at the largest radius (the reversed solver and the mirrored Ueff)
#pragma once

#include <cstdint>

namespace velk {

struct SolverResults {
  double Dcor = 0.0;
  int32_t kturn = 0, node = 0, kleft = 0, krigth = 0;
  char revflag = 'n';
};

}  // namespace velk
