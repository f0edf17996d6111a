// Checks of a finished level that decide whether the run warns about it: has the wave function
// died out at the grid ends, and how many levels does the curve hold below an energy. They run
// once per level after its solve, never inside the energy search.
//
// Arrays are 1-based grid arrays (slot i = grid point i). Energies in cm-1, h in Å, mu in u.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "solver/level_digest.h"
#include "solver/level_record.h"

namespace velk {

// Share of the peak probability density above which a wave function counts as not died out at an
// end. It is a share of the density, the square of the amplitude, because that is what shifts the
// energy: a wall where the amplitude is still 1e-4 of its largest moves a level by far less than
// any tolerance, one where it is 1e-2 moves it visibly.
inline constexpr double kDecayShare = 1e-6;

// Which ends of a wave function Y(1..N) still carry a density Y² above kDecayShare of its largest
// one. An end is judged by its two outermost points: the outermost holds the start value of a
// pass, which is tiny whatever the function does there, so a function cut off by the grid shows
// only at the next point.
struct GridEnds {
  bool first = false;  // at point 1
  bool last = false;   // at point N
};
GridEnds undecayed_ends(std::span<const double> Y, int N);

// Number of levels of the curve V with an energy below E, counted as the sign changes of the
// solution that starts at zero at index `from` (the inner wall) and is carried by the Numerov
// recurrence to index `to` (either direction), where it is held at zero too. Only three values
// are kept: no array is written.
int32_t count_levels_below(std::span<const double> V, int from, int to, double h, double mu,
                           double E);

// Warns about a level listed as converged whose last solve never joined its two passes: the pass
// from the top met its first maximum below the first point the pass from the bottom computes, so
// the correction that ended the search was formed on an unjoined, unnormalised solution and the
// energy is no level of the grid. `state` names the state as the run's warnings do.
void warn_if_never_joined(const std::string& state, const LevelRecord& level, double tol);

// A quasi-bound level whose tunnelling figure (its half-width, cm-1) exceeds the tolerance: the
// search defines its energy to the tolerance, but the level itself only to about its width.
std::optional<BroadLevel> too_broad(const std::string& state, const LevelRecord& level,
                                    const std::optional<double>& tunnel, double tol);

}  // namespace velk
