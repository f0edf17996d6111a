// What the tests of velk-rkr share: the Na2 X constants of tests/rkr/na2x_fit.dun (Dunham
// coefficients least-squares fitted to velk's levels v = 0..45, J = 0..2 of
// examples/na2-x-analytic/na2x.pot, computed with tolerance 1e-8 cm-1 on its 50000-point grid;
// largest residual 6e-5 cm-1 in G(v), 7e-6 cm-1 in B(v)).
#pragma once

#include "rkr/rkr_constants.h"
#include "run/dunham.h"

namespace velk::rkr {

// 23Na2: twice the atomic mass 22.9897692820 u, halved.
inline constexpr double kNa2AtomicMass = 22.9897692820;
inline constexpr double kNa2ReducedMass = kNa2AtomicMass / 2.0;

inline RkrConstants na2x_constants() {
  return rkr_constants(read_dunham_file(VELK_RKR_NA2X_DUN), VELK_RKR_NA2X_DUN);
}

}  // namespace velk::rkr
