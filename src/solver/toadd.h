// toadd: the offset that keeps the exact search of a level off the bottom of its well.
//
// toadd = (E2 - E1)/3 of the levels v = 1 and 2 at J = 0, found roughly (20 iterations, 0.1
// cm-1) with the first reduced mass of the curve on a forward grid, both solves entered at the
// middle of 0.999 of the well. Every exact search of the state, whatever its mass, J and grid
// orientation, uses this one value, so it is formed once per request, before any level.
//
// The forward solver passed to solve_toadd keeps the joint it ends with: a forward run solves its
// levels with the same solver, so that the joint carries over as the run has it.
//
// V is the tabulated curve (1-based, forward), Ueff a grid array of the caller's that receives its
// effective potential at J = 0. Radii in Å, energies in cm-1, masses in u.
#pragma once

#include <cstdint>
#include <span>

#include "pec/radial_grid.h"
#include "solver/radial_solver.h"

namespace velk {

// The two solves' mass and first window.
struct ToaddSearch {
  double mu1 = 0.0, E0 = 0.0, dE = 0.0;
};

// Fills Ueff with the J = 0 curve of mass mu1 and forms the window. A curve without a well at
// J = 0 stops with "Umin >  Umax", the exact search's own stop, so that a caller that forms toadd
// only when a level needs it stops where one that forms it at once does.
ToaddSearch toadd_search(std::span<const double> V, std::span<double> Ueff, const RadialGrid& grid,
                         double mu1, int32_t Lambda);

// The two solves on the Ueff of toadd_search, and the console line "E1 E2  toadd ".
double solve_toadd(RadialSolver& forward, std::span<const double> Ueff, const RadialGrid& grid,
                   const ToaddSearch& search);

}  // namespace velk
