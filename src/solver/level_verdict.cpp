#include "solver/level_verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "io/formatted_output.h"
#include "io/warning.h"
#include "numlib/constants.h"

namespace velk {
namespace {

// Index of the first grid point whose value is exactly `value`, or 0.
int index_of(std::span<const double> V, int N, double value) {
  for (int i = 1; i <= N; ++i) {
    if (V[static_cast<std::size_t>(i)] == value) return i;
  }
  return 0;
}

}  // namespace

double listed_energy(double E, int32_t Lambda, float q1, float q2, int64_t J, int64_t Par) {
  if (Lambda != 1) return E;
  const double q = static_cast<double>(Par == 1 ? q1 : q2);
  return E + q * static_cast<double>(J) * static_cast<double>(J + 1);
}

LevelVerdict judge_level(double E, int32_t v, const SolverResults& results,
                         const LevelWindow& window, double tol) {
  LevelVerdict verdict;
  verdict.converged = std::fabs(results.Dcor) <= tol;
  verdict.quasi_bound = E > window.Ulim;
  verdict.in_box = verdict.quasi_bound && !(window.Umax > window.Ulim);
  verdict.found = verdict.converged && results.node == v && !verdict.in_box;
  return verdict;
}

void warn_about_ends(const LevelCheckSetting& setting, int32_t v, int32_t J,
                     const LevelVerdict& verdict, const GridEnds& ends) {
  const RadialGrid& grid = setting.grid;
  const bool forward = setting.orientation == GridOrientation::forward;
  const bool inner = forward ? ends.first : ends.last;
  // A quasi-bound level is a continuum function beyond its barrier: large at the outer end.
  const bool outer = (forward ? ends.last : ends.first) && !verdict.quasi_bound;
  if (!inner && !outer) return;
  std::string where = inner && outer ? "either end" : inner ? "the inner end" : "the outer end";
  std::string radius = inner && outer
                           ? printed("%g", grid.Rmin) + " and " + printed("%g", grid.Rmax)
                           : printed("%g", inner ? grid.Rmin : grid.Rmax);
  warn(std::string(setting.state) + ": v=" + std::to_string(v) + " J=" + std::to_string(J) +
       ": the wave function has not died out at " + where + " of the grid (R = " + radius +
       " Å): its density there exceeds " + printed("%g", kDecayShare) +
       " of its peak; widen the grid, or extend the curve to cover it");
}

std::optional<MissingLevel> missing_level(const LevelCheckSetting& setting, int32_t v, int32_t J,
                                          const SolverResults& results, const LevelVerdict& verdict,
                                          const LevelWindow& window, std::span<const double> Ueff,
                                          int32_t levels_found) {
  if (verdict.found) return std::nullopt;
  const RadialGrid& grid = setting.grid;
  const bool forward = setting.orientation == GridOrientation::forward;
  // The levels below the top of the window: up to the barrier, or over the whole grid.
  const bool behind_barrier = window.Umax > window.Ulim;
  const int wall = forward ? 1 : grid.N;
  const int barrier = behind_barrier ? index_of(Ueff, grid.N, window.Umax) : 0;
  const int end = barrier > 0 ? barrier : forward ? grid.N : 1;
  const int32_t count =
      std::max(count_levels_below(Ueff, wall, end, grid.h, setting.mu, window.Umax), levels_found);
  if (verdict.converged && v < count) return std::nullopt;
  MissingLevel missing;
  missing.count = count;
  missing.beyond_last = v >= count;
  std::string& text = missing.text;
  text = std::string(setting.state) + ": v=" + std::to_string(v) + " J=" + std::to_string(J) +
         (verdict.converged ? " lies above the last level" : " not found");
  if (!verdict.converged) {
    text +=
        ": " + std::to_string(results.kturn) + " iterations, Dcor " + printed("%.1E", results.Dcor);
  }
  text += "; the state has ";
  if (count == 0) {
    text += "no level";
  } else if (count == 1) {
    text += "1 level v=0";
  } else {
    text += std::to_string(count) + " levels v=0.." + std::to_string(count - 1);
  }
  text += " at J=" + std::to_string(J);
  return missing;
}

void warn_about_well_depth(const LevelCheckSetting& setting, const LevelWindow& window,
                           std::span<const double> Ueff) {
  const RadialGrid& grid = setting.grid;
  const int i = index_of(Ueff, grid.N, window.Umin);
  if (i < 2 || i >= grid.N) return;
  const auto U = [&](int k) { return Ueff[static_cast<std::size_t>(k)]; };
  // Half the harmonic quantum of the curvature at the minimum.
  const double k = (U(i - 1) - 2 * U(i) + U(i + 1)) / (grid.h * grid.h);
  const double zero_point = 0.5 * std::sqrt(2 * k / (setting.mu * constants::kTwoUOverHbar2));
  const double depth = window.Umax - window.Umin;
  if (!(depth < zero_point)) return;
  warn(std::string(setting.state) + ": the well is " + printed("%.4g", depth) +
       " cm-1 deep, shallower than the zero-point energy of its first level (about " +
       printed("%.4g", zero_point) +
       " cm-1); the potential file must give radii in Å and energies in cm-1 (energies in "
       "hartree or eV, or radii in bohr, give such a well)");
}

void warn_no_well(std::string_view state, const RadialGrid& grid, int64_t J) {
  warn(
      std::string(state) + ": \"Umin >  Umax\" at J=" + std::to_string(J) +
      ": the effective potential on the grid " + printed("%g", grid.Rmin) + ".." +
      printed("%g", grid.Rmax) + " Å (" + std::to_string(grid.N) +
      " points) has no well below its barrier or its outer end; check that the grid covers the "
      "minimum of the curve, that the file gives radii in Å and energies in cm-1, and the J range");
}

}  // namespace velk
