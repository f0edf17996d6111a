// The uniform radial grid on which every curve, effective potential and wave function lives.
//
// N points from Rmin to Rmax (Å), step h = (Rmax - Rmin)/(N - 1), origin R0 = Rmin - h, so that
// point i, 1 <= i <= N, lies at R(i) = R0 + i·h: point 1 is Rmin and point N is Rmax. Arrays on
// the grid are 1-based (slot 0 unused) and hold one double per point, so a grid array of the
// largest grid has kSlots = kCapacity + 1 entries.
//
// h and R0 are formed exactly as written above, and R(i) as R0 + i·h with i converted to double,
// so that every layer tabulates the same radii to the last bit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velk {

struct RadialGrid {
  // The largest number of points; a run asking for more stops with
  // "number of points must be less than 50000" (which accepts 50000 itself).
  static constexpr int32_t kCapacity = 50000;
  static constexpr std::size_t kSlots = static_cast<std::size_t>(kCapacity) + 1;

  double Rmin = 0.0, Rmax = 0.0;
  int32_t N = 0;
  double h = 0.0, R0 = 0.0;

  RadialGrid() = default;
  RadialGrid(double Rmin_, double Rmax_, int32_t N_)
      : Rmin(Rmin_), Rmax(Rmax_), N(N_), h((Rmax_ - Rmin_) / (N_ - 1)), R0(Rmin_ - h) {}

  double R(int i) const { return R0 + i * h; }
};

// Why a grid request cannot be served, checked in this order.
enum class GridProblem {
  none,
  too_many_points,  // N > kCapacity
  too_few_points,   // N < 2: no step can be formed
  bad_limits,       // not 0 < Rmin < Rmax (NaN included)
};

inline GridProblem check_grid(double Rmin, double Rmax, int32_t N) {
  if (N > RadialGrid::kCapacity) return GridProblem::too_many_points;
  if (N < 2) return GridProblem::too_few_points;
  if (!(Rmin > 0.0) || !(Rmax > Rmin)) return GridProblem::bad_limits;
  return GridProblem::none;
}

// A grid array of `slots` entries holds points 1..slots-1. Throws std::invalid_argument, naming
// `routine`, when N points do not fit (a caller's mistake, never an input's); N <= 0 fits.
inline void require_grid_slots(std::size_t slots, int32_t N, const char* routine) {
  if (N > 0 && static_cast<std::size_t>(N) >= slots) {
    throw std::invalid_argument(std::string(routine) + ": " + std::to_string(N) +
                                " grid points do not fit the array");
  }
}

// Grows a grid array to the N + 1 slots of a grid of N points, never beyond RadialGrid::kSlots, so
// that a grid too large still fails require_grid_slots. Arrays are sized to the grid a run uses
// rather than to the largest grid: a small grid neither fills nor touches the pages of the rest.
template <class T>
void fit_grid_slots(std::vector<T>& array, int32_t N) {
  const std::size_t slots =
      static_cast<std::size_t>(std::clamp<int32_t>(N, 0, RadialGrid::kCapacity)) + 1;
  if (array.size() < slots) array.resize(slots);
}

}  // namespace velk
