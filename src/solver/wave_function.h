// A level's wave function as callers outside the searches use it: in forward order (point 1 the
// smallest radius, slot 0 unused) and normalised.
#pragma once

#include <optional>
#include <span>

#include "pec/radial_grid.h"
#include "solver/grid_orientation.h"

namespace velk {

// psi[1..N] ← Y[1..N] of a solve in `orientation`, mirrored when reversed; psi[0] ← 0.
void forward_wave_function(std::span<const double> Y, int N, GridOrientation orientation,
                           std::span<double> psi);

// Scales psi[1..N] to h·Σψ² = 1 and turns its sign so that its innermost lobe (the first point
// beyond a thousandth of the largest magnitude) is positive: overlaps between levels then have
// the sign convention of the usual tables. A function that is zero everywhere, or whose sum
// overflows, is left as it is and reported by `false`.
bool normalise(const RadialGrid& grid, std::span<double> psi);

// The factor by which normalise scales psi, for a psi that is zero outside points first..last
// (1 <= first <= last <= N): the same number from the points where it lives. None when normalise
// would report false.
std::optional<double> normalising_scale(const RadialGrid& grid, std::span<const double> psi,
                                        int first, int last);

}  // namespace velk
