// Landmarks of a potential tabulated on the radial grid (normally Ueff), used to bracket the
// energy search and to choose the outer boundary condition of a quasi-bound level.
//
// V is a 1-based grid array: slot i, 1 <= i <= N, is grid point i, slot 0 is unused. Energies are
// in cm-1. Only grid indices matter here; radii are not needed. No scan keeps state between calls.
// An N that does not fit V throws std::invalid_argument; N < 3 has no interior point.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "solver/grid_orientation.h"

namespace velk {

// Lowest strict interior local minimum. A curve without one returns the start value 1e23 held in
// single precision (9.999999778196308e+22); the solvers then stop with "Umin >  Umax".
double lowest_minimum(std::span<const double> V, int N);

// Highest strict interior local maximum that rises above Vref, and the number of such maxima.
// The maximum starts at 0.0, so barriers that all lie below zero report Umax = 0.0. Without any
// such maximum Umax = Vref and nbar = 0.
struct Barrier {
  double Umax;
  int32_t nbar;
};
Barrier highest_barrier(std::span<const double> V, int N, double Vref);

// Crossings of the curve with the energy E: interval (i-1, i) is a crossing when V(i-1) - E and
// V(i) - E have strictly opposite signs, and it is reported by i. k1 is the first crossing, k2 the
// second and k3 the last one when there are three or more (0 when absent).
//
// On a reversed grid (V(1) at the largest radius) k1 and k3 are exchanged when k3 > 0, so that k3
// is again the crossing on the large-radius side.
//
// When k3 > 0 only, dVt = |V(k3) - V(k3-1)| and jt locates the third turning point in hundredths
// of a grid step: the solvers place it at Rt = R(k3) - jt·h/100. jt comes from a scan of the
// linear interpolant that starts at m = 100 and steps down; on a falling interval it ends at a
// negative m, so the point lies beyond R(k3); the quasi-bound start values, and so the printed
// energies, depend on that placement. On a reversed grid jt = m - 1. Otherwise dVt and jt keep the
// caller's values.
struct Crossings {
  int32_t k1 = 0, k2 = 0, k3 = 0;
};
Crossings turning_points(std::span<const double> V, double E, int N, GridOrientation orientation,
                         double& dVt, int32_t& jt);

// The stretches on which a curve is monotonic (non-strictly), found once per curve, so that a
// search that asks for the crossings at many energies bisects within the few stretches that
// straddle each energy instead of scanning every point: a stretch holds at most one crossing. The
// crossings, dVt and jt are those of turning_points on the same curve, index for index.
class MonotoneStretches {
 public:
  // Sizes the work space for curves of up to N points, so that find allocates nothing.
  void reserve(int N);
  // Finds the stretches of V in forward order (slot i = point i, 1 <= i <= N). V must outlive
  // every later call of turning_points. A curve with a value that is not finite keeps the scan.
  void find(std::span<const double> V, int N);
  // turning_points(Vrun, E, N, orientation, dVt, jt), where Vrun is the curve given to find as
  // the orientation has it (mirrored on a reversed grid).
  Crossings turning_points(std::span<const double> Vrun, double E, GridOrientation orientation,
                           double& dVt, int32_t& jt) const;

 private:
  // The crossing within stretch k, 0 when there is none.
  int crossing_in(std::size_t k, double E) const;

  const double* V_ = nullptr;
  int N_ = 0;
  bool scan_ = true;
  // Stretch k runs from point ends_[k] to point ends_[k + 1].
  std::vector<int> ends_;
};

}  // namespace velk
