#include "props/linelist_levels.h"

#include <algorithm>
#include <string>
#include <utility>

#include "io/free_format_reader.h"
#include "io/warning.h"

namespace velk::props {

void solve_level_block(StateWaveFunctions& state, char letter, int32_t J, LevelBlock& block,
                       std::vector<ListedLevel>& all, LevelSelection selection) {
  const int N = state.grid().N;
  block.J = J;
  block.levels.clear();
  block.columns = 0;
  block.rows = N;
  const int32_t Lambda = state.Lambda();
  if (J < Lambda) return;
  const int32_t bound = state.bound_level_count(J);
  const int32_t counted = bound + (selection.quasi_bound ? state.quasi_bound_level_count(J) : 0);
  const int32_t parities = Lambda > 0 ? 2 : 1;
  // A column per v, in order of v; a v not found keeps an unused column.
  const auto reserve_columns = [&](int32_t columns) {
    const std::size_t size = static_cast<std::size_t>(N) * static_cast<std::size_t>(columns);
    if (block.psi.size() < size) block.psi.resize(size);
    block.columns = columns;
  };
  bool taken_any = false;
  const auto take = [&](const SolvedLevel& level) {
    if (!taken_any || block.levels.back().v != level.v) {
      std::copy(level.psi.begin() + 1, level.psi.begin() + 1 + N,
                block.psi.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(level.v) *
                                                                static_cast<std::size_t>(N)));
    }
    taken_any = true;
    block.levels.push_back(ListedLevel{letter, level.v, J, level.p, level.E, level.v, 0,
                                       level.quasi_bound ? level.tunnel : std::nullopt});
  };
  std::vector<LevelKey> keys;
  if (counted > 0) {
    keys.reserve(static_cast<std::size_t>(counted * parities));
    for (int32_t v = 0; v < counted; ++v) {
      for (int32_t p = 0; p < parities; ++p) keys.push_back(LevelKey{v, J, p});
    }
    reserve_columns(counted);
    state.solve_listed_levels(keys, [&](std::size_t, const SolvedLevel& level) {
      const bool wanted = level.v < bound ? !level.quasi_bound : level.quasi_bound;
      if (level.found && wanted) return take(level);
      // The node count at the barrier's very top may hold one v too many, as it may miss one:
      // a v above the bound ones that is no quasi-bound level is none, not a level lost.
      if (level.p == 0 && level.v < bound) {
        warn(std::string("state ") + letter + ": v=" + std::to_string(level.v) +
             " J=" + std::to_string(J) + ": not found below the limit; left out of the line list");
      }
    });
  }
  // The node count at the barrier's top may miss a level just below it: the v above the count
  // are tried until one is not a quasi-bound level.
  for (int32_t v = counted; selection.quasi_bound; ++v) {
    keys.clear();
    for (int32_t p = 0; p < parities; ++p) keys.push_back(LevelKey{v, J, p});
    bool quasi_bound = false;
    reserve_columns(v + 1);
    state.solve_listed_levels(keys, [&](std::size_t, const SolvedLevel& level) {
      if (!level.found || !level.quasi_bound) return;
      quasi_bound = true;
      take(level);
    });
    if (!quasi_bound) {
      block.columns = v;
      break;
    }
  }
  std::sort(block.levels.begin(), block.levels.end(),
            [](const ListedLevel& a, const ListedLevel& b) {
              return a.p != b.p ? a.p < b.p : a.v < b.v;
            });
  for (ListedLevel& level : block.levels) {
    level.index = all.size();
    all.push_back(level);
  }
}

}  // namespace velk::props

namespace velk::props {

StateWaveFunctions listed_state(const StateInput& state, char letter, const SolveSettings& settings,
                                const RadialGrid& grid, std::optional<double> reduced_mass) {
  // A Dunham state or a bad mass index is refused by the constructor that reads the file.
  if (!reduced_mass || state.kind == 'd' || state.mass_index < 1 || state.mass_index > 5) {
    return StateWaveFunctions(state, letter, settings, grid);
  }
  CurveDefinition curve = read_curve_definition(trimmed_file_name(state.file));
  curve.header.header.masses[static_cast<std::size_t>(state.mass_index - 1)] = *reduced_mass;
  return StateWaveFunctions(std::move(curve), state.mass_index, settings, grid);
}

}  // namespace velk::props
