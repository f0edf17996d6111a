// Overlap of an upper and a lower level: Franck-Condon factor, r-centroid and the matrix element
// of the electronic transition moment.
//
// The two states are solved on one common grid: from the smaller Rmin to the larger Rmax of
// their two grids, with the finer of their two steps (the point count rounded up, so that the
// step never exceeds the finer one, and held at RadialGrid::kCapacity, which coarsens the step
// when the union range with the finer step would need more points). Two equal grids give that
// grid itself, so that the levels are those of the run. Both curves are built on it by the
// program's builders, and the wave functions, each normalised on it, are multiplied point by
// point:
//
//   ⟨u|l⟩ = h·Σ ψu ψl,   FCF = ⟨u|l⟩²,   r̄ = Σ ψu R ψl / Σ ψu ψl,   M_ul = h·Σ ψu M(R) ψl
//
// Radii in Å, M in debye; arrays are forward grid arrays (slot 0 unused).
#pragma once

#include <optional>
#include <span>

#include "pec/radial_grid.h"
#include "props/moment_table.h"

namespace velk::props {

RadialGrid common_grid(const RadialGrid& a, const RadialGrid& b);

struct OverlapFigures {
  double overlap = 0.0;
  double FCF = 0.0;
  double r_centroid = 0.0;       // Å; not a number when the overlap vanishes
  std::optional<double> moment;  // debye, with a moment table only
};

OverlapFigures overlap_figures(const RadialGrid& grid, std::span<const double> upper,
                               std::span<const double> lower, const MomentTable* moment);

}  // namespace velk::props
