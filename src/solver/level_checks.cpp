#include "solver/level_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "io/warning.h"
#include "numlib/constants.h"

namespace velk {

GridEnds undecayed_ends(std::span<const double> Y, int N) {
  GridEnds ends;
  if (N < 2 || static_cast<std::size_t>(N) >= Y.size()) return ends;
  double largest = 0.0;
  for (int i = 1; i <= N; ++i) largest = std::max(largest, std::abs(Y[i]));
  // A function that is zero or not finite has no shape to judge.
  if (!(largest > 0.0) || !std::isfinite(largest)) return ends;
  const double limit = kDecayShare * largest * largest;
  const auto density = [&](int i) {
    return Y[static_cast<std::size_t>(i)] * Y[static_cast<std::size_t>(i)];
  };
  ends.first = std::max(density(1), density(2)) > limit;
  ends.last = std::max(density(N - 1), density(N)) > limit;
  return ends;
}

int32_t count_levels_below(std::span<const double> V, int from, int to, double h, double mu,
                           double E) {
  const int step = to >= from ? 1 : -1;
  if ((to - from) * step < 2) return 0;
  const double c = h * h * mu * constants::kTwoUOverHbar2;
  auto T = [&](int i) { return c * (V[static_cast<std::size_t>(i)] - E) / 12; };
  int32_t count = 0;
  double before = 0.0;  // the start at the inner wall
  double y = 1e-30;
  double T_before = T(from), T_here = T(from + step);
  for (int i = from + 2 * step; i != to + step; i += step) {
    const double T_next = T(i);
    const double next = ((10 * T_here + 2) * y - (1 - T_before) * before) / (1 - T_next);
    if (next * y < 0) ++count;
    before = y;
    y = next;
    // Growth in a forbidden region is divided out before it overflows; signs are kept.
    if (std::abs(y) > 1e30) {
      before /= std::abs(y);
      y /= std::abs(y);
    }
    T_before = T_here;
    T_here = T_next;
  }
  return count;
}

void warn_if_never_joined(const std::string& state, const LevelRecord& level, double tol) {
  if (!level.never_joined || !(std::fabs(level.results.Dcor) <= tol)) return;
  char energy[64];
  std::snprintf(energy, sizeof energy, "%.5f", level.E);
  warn(state + ": v=" + std::to_string(level.v) + " J=" + std::to_string(level.J) + " at " +
       energy +
       " cm-1 did not come from a turning solution: the solution from the top of the grid met its "
       "first maximum below the start of the one from the bottom, the two were never joined, and "
       "this energy is not a level of the grid");
}

std::optional<BroadLevel> too_broad(const std::string& state, const LevelRecord& level,
                                    const std::optional<double>& tunnel, double tol) {
  if (!level.quasi_bound || !tunnel || *tunnel <= tol) return std::nullopt;
  char figures[96];
  std::snprintf(figures, sizeof figures, "%.5f cm-1 is wider than the tolerance: half-width %.1E",
                level.E, *tunnel);
  return BroadLevel{level.v, level.J, *tunnel,
                    state + ": quasi-bound level v=" + std::to_string(level.v) +
                        " J=" + std::to_string(level.J) + " at " + figures +
                        " cm-1 (its tunnelling figure); its energy is defined only to about its "
                        "width"};
}

}  // namespace velk
