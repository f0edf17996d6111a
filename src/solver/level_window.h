// The energy window of the levels of one J, and the first solve of a level in it.
//
// The window is read off the effective potential of the J: Umin its lowest minimum, Umax its
// highest barrier below the limit Ulim, which is the asymptote the builder knows (Uinf) or else
// the effective potential at the outer grid end. A level is first searched in
// [Umin + toadd + 1e-6, Umax - 1e-6], entered at its middle: toadd keeps the search off the
// bottom of the well, where a deep level's node count is least certain.
//
// Arrays are 1-based grid arrays in the orientation of the run (a reversed array holds the outer
// end in slot 1). Energies in cm-1.
#pragma once

#include <cstdint>
#include <span>

#include "solver/grid_orientation.h"
#include "solver/radial_solver.h"

namespace velk {

struct LevelWindow {
  double Umin = 0.0, Umax = 0.0, Ulim = 0.0;
  // A window whose barrier lies below its minimum ("Umin >  Umax") holds no level.
  bool has_well() const { return !(Umax < Umin); }
};

// The window of the effective potential Ueff(1..N); Uinf is the builder's asymptote or kUinfUnset.
LevelWindow level_window(std::span<const double> Ueff, int N, GridOrientation orientation,
                         double Uinf);

// How far the exact search of a level may go.
struct SearchLimits {
  double tol = 0.0;   // cm-1
  int32_t maxit = 0;  // energy iterations per solve
};

// The first solve of level v in `window`.
SolveRequest first_solve(const LevelWindow& window, double toadd, int32_t v,
                         const SearchLimits& limits);

}  // namespace velk
