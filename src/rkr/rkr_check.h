// The round trip of velk-rkr --check: the levels of the curve as velk computes them (the exact
// search on the suggested grid, the file read back by the program's own reader) against the term
// values of the constants, Y(0,0) + G(v) + B(v)·x at J = Lambda, x = J(J+1) - Lambda², on the
// energy scale of the constants. Their difference is the first-order semiclassical error of the
// inversion (about Dunham's Y00 when Y(0,0) holds Te instead) plus the Numerov grid error.
#pragma once

#include <vector>

#include "pec/curve_definition.h"
#include "pec/radial_grid.h"
#include "rkr/rkr_constants.h"
#include "rkr/rkr_curve.h"

namespace velk::rkr {

struct RoundTripLevel {
  int v = 0;
  double from_constants = 0.0;  // cm-1
  double from_curve = 0.0;      // cm-1; NaN when the search did not list the level
};

struct RoundTrip {
  RadialGrid grid;
  int J = 0;
  std::vector<RoundTripLevel> levels;  // v = 0 .. floor(v_max)
};

// Tolerance of the exact search in the round trip (cm-1): far below the differences it shows.
inline constexpr double kRoundTripTolerance = 1e-7;

// Solves the curve read from the written file. Stops of the level service propagate (StopRun).
RoundTrip round_trip(const CurveDefinition& written, const RkrCurve& curve,
                     const RkrConstants& constants);

// Dunham's Y00 of the constants, Be/4 + αe·ωe/(12 Be) + (αe·ωe)²/(144 Be³) - ωexe/4 (cm-1), with
// ωe = G[1], ωexe = -G[2], Be = B[0], αe = -B[1].
double dunham_y00_estimate(const RkrConstants& constants);

}  // namespace velk::rkr
