#include "props/linelist_levels.h"

#include <algorithm>
#include <string>

#include "io/warning.h"

namespace velk::props {

void solve_level_block(StateWaveFunctions& state, char letter, int32_t J, LevelBlock& block,
                       std::vector<ListedLevel>& all) {
  const int N = state.grid().N;
  block.J = J;
  block.levels.clear();
  block.columns = 0;
  block.rows = N;
  const int32_t Lambda = state.Lambda();
  if (J < Lambda) return;
  const int32_t count = state.bound_level_count(J);
  if (count <= 0) return;
  const int32_t parities = Lambda > 0 ? 2 : 1;
  std::vector<LevelKey> keys;
  keys.reserve(static_cast<std::size_t>(count * parities));
  for (int32_t v = 0; v < count; ++v) {
    for (int32_t p = 0; p < parities; ++p) keys.push_back(LevelKey{v, J, p});
  }
  // A column per v, in order of v; a v not found keeps an unused column.
  block.psi.resize(static_cast<std::size_t>(N) * static_cast<std::size_t>(count));
  std::vector<bool> filled(static_cast<std::size_t>(count), false);
  state.solve_listed_levels(keys, [&](std::size_t, const SolvedLevel& level) {
    if (!level.found || level.quasi_bound) {
      if (level.p == 0) {
        warn(std::string("state ") + letter + ": v=" + std::to_string(level.v) +
             " J=" + std::to_string(J) + ": not found below the limit; left out of the line list");
      }
      return;
    }
    const auto v = static_cast<std::size_t>(level.v);
    if (!filled[v]) {
      std::copy(level.psi.begin() + 1, level.psi.begin() + 1 + N,
                block.psi.begin() + static_cast<std::ptrdiff_t>(v * static_cast<std::size_t>(N)));
      filled[v] = true;
    }
    block.levels.push_back(ListedLevel{letter, level.v, J, level.p, level.E, level.v, 0});
  });
  block.columns = count;
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
