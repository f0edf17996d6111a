#include "solver/level_window.h"

#include "numlib/constants.h"
#include "pec/potential_header.h"
#include "solver/landmarks.h"

namespace velk {

LevelWindow level_window(std::span<const double> Ueff, int N, GridOrientation orientation,
                         double Uinf) {
  LevelWindow w;
  w.Ulim = orientation == GridOrientation::forward ? Ueff[static_cast<std::size_t>(N)] : Ueff[1];
  if (Uinf != kUinfUnset) w.Ulim = Uinf;
  w.Umax = highest_barrier(Ueff, N, w.Ulim).Umax;
  w.Umin = lowest_minimum(Ueff, N);
  return w;
}

SolveRequest first_solve(const LevelWindow& window, double toadd, int32_t v,
                         const SearchLimits& limits) {
  const double Ein = (window.Umin + window.Umax + toadd) * 0.5;
  const double delE = (window.Umax - window.Umin - toadd) * 0.5 - constants::kWindowMargin;
  return SolveRequest{v, Ein, delE, limits.maxit, limits.tol};
}

}  // namespace velk
