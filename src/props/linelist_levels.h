// The bound levels of one state at one J, with their wave functions side by side as the columns
// of one matrix, for the line list.
//
// Every level below the limit of the J's effective potential is solved (v = 0 up to the node
// count at the limit, solve_listed_levels: the fast search, the plain search where it hands a
// level back). A state with Λ > 0 lists both parity components of each level (p = 0 and 1, one
// solve, one column); a Σ state one (p = 0). A level that neither search finds is left out with
// a warning: the list says what it holds. On request the quasi-bound levels follow, those above
// the limit and below the top of the centrifugal barrier (v from the bound count up to the node
// count at the barrier's top), each with its tunnelling figure, the half-width the level tables
// print; a v of that count that is not found as a quasi-bound level is none (the count at the
// barrier's very top may be one off either way), without a warning.
//
// The matrix is column-major, N rows (grid points 1..N of the common grid) by one column per
// (v, J); a block is refilled for the next J without giving its storage back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "props/state_wave_functions.h"

namespace velk::props {

struct ListedLevel {
  char state = 'A';
  int32_t v = 0, J = 0, p = 0;
  double E = 0.0;  // cm-1, with the Λ-doubling term of p
  int32_t column = 0;
  std::size_t index = 0;  // in the run's list of every level
  // A quasi-bound level's tunnelling figure: its half-width Γ/2, cm-1.
  std::optional<double> half_width;
};

struct LevelBlock {
  int32_t J = 0;
  std::vector<ListedLevel> levels;  // by p, then v
  std::vector<double> psi;          // N × columns, column-major
  int32_t columns = 0;
  int32_t rows = 0;
};

struct LevelSelection {
  bool quasi_bound = false;  // the quasi-bound levels too
};

// Fills `block` with the levels of J of `state` (0 levels when J < Λ or the J holds none).
// `all` receives each level too, and the block's levels carry their index there.
void solve_level_block(StateWaveFunctions& state, char letter, int32_t J, LevelBlock& block,
                       std::vector<ListedLevel>& all, LevelSelection selection = {});

// The levels of a state of velk.inf, with the reduced mass of another isotopologue in place of
// the mass its mass index names when `reduced_mass` is given (u).
StateWaveFunctions listed_state(const StateInput& state, char letter, const SolveSettings& settings,
                                const RadialGrid& grid, std::optional<double> reduced_mass);

}  // namespace velk::props
