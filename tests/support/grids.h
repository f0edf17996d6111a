// A radial grid given by its origin and step rather than its ends, for tests that choose R0 and h
// themselves (point i at exactly R0 + i·h).
#pragma once

#include "pec/radial_grid.h"

namespace velk::test {

inline RadialGrid grid_from_origin(double R0, double h, int N) {
  RadialGrid grid;
  grid.N = N;
  grid.h = h;
  grid.R0 = R0;
  grid.Rmin = grid.R(1);
  grid.Rmax = grid.R(N);
  return grid;
}

}  // namespace velk::test
