// The sweeps of the fast search: Numerov passes over the part of the grid where the wave function
// lives, written in the variable w = (1 - T)·Y so that the recurrence needs no division,
//
//   w(i) = g(i±1)·w(i±1) - w(i±2),   g = 12/(1 - T) - 10,   Y = w·r,   r = 1/(1 - T),
//
// with T = c·(U - E)/12 as in the exact search. g and r are formed for the whole range first,
// in a loop without a dependency chain; the recurrence then waits only on a multiply and a
// subtraction per point instead of a division. Both passes sum Y² as they go, off that chain.
//
// Arrays are raw pointers to 1-based grid arrays (slot i = grid point i, always from small to large
// radius); the caller has checked the index ranges. No allocation, no branch on the orientation.
#pragma once

#include <cmath>
#include <cstdint>

namespace velk::fast {

// A value beyond this is divided back down, with everything its pass has written.
inline constexpr double kGrowthLimit = 1e150;

// r(i) = 1/(1 - T(i)) and g(i) = 12·r(i) - 10 for i = from .. to, T = c·(U - E)/12.
inline void fill_ratios(const double* U, double* r, double* g, int from, int to, double c,
                        double E) {
  for (int i = from; i <= to; ++i) {
    const double ri = 1.0 / (1.0 - c * (U[i] - E) / 12);
    r[i] = ri;
    g[i] = 12.0 * ri - 10.0;
  }
}

// Where the pass from the outer end of the range stopped.
struct FastInward {
  int joint = 0;       // the first maximum of Y met from outside, or 0 when there was none
  double joint_y = 0;  // Y(joint) of this pass
  double sum = 0;      // sum of Y² over joint+1 .. hi, in this pass's scale
};

// From Y(hi), Y(hi-1) toward lower index until the first maximum, Y(i) <= Y(i+1) > Y(i+2), or
// `lo`. Writes Y(joint .. hi).
inline FastInward inward_to_first_maximum(const double* r, const double* g, double* Y, int lo,
                                          int hi) {
  FastInward pass;
  double y2 = Y[hi], y1 = Y[hi - 1];
  double w2 = y2 / r[hi], w1 = y1 / r[hi - 1];
  double sum = y2 * y2;
  for (int i = hi - 2; i >= lo; --i) {
    const double w = g[i + 1] * w1 - w2;
    const double y = w * r[i];
    Y[i] = y;
    if (y <= y1 && y1 > y2) {
      pass.joint = i + 1;
      pass.joint_y = y1;
      pass.sum = sum;
      return pass;
    }
    sum += y1 * y1;
    w2 = w1;
    w1 = w;
    y2 = y1;
    y1 = y;
    if (std::fabs(y) > kGrowthLimit) {
      const double by = std::fabs(y);
      for (int k = i; k <= hi; ++k) Y[k] /= by;
      sum = sum / by / by;
      w1 /= by;
      w2 /= by;
      y1 /= by;
      y2 /= by;
    }
  }
  return pass;
}

// Where the pass from the inner end of the range stopped.
struct FastOutward {
  int32_t node = 0;
  double joint_y = 0;  // Y(joint) of this pass
  double sum = 0;      // sum of Y² over lo .. joint, in this pass's scale
};

// From Y(lo), Y(lo+1) toward higher index up to `joint`, counting sign changes between
// neighbours. Writes Y(lo .. joint).
inline FastOutward outward_to_joint(const double* r, const double* g, double* Y, int lo,
                                    int joint) {
  FastOutward pass;
  double y2 = Y[lo], y1 = Y[lo + 1];
  double w2 = y2 / r[lo], w1 = y1 / r[lo + 1];
  double sum = y2 * y2 + y1 * y1;
  int32_t node = y1 * y2 < 0 ? 1 : 0;
  for (int j = lo + 2; j <= joint; ++j) {
    const double w = g[j - 1] * w1 - w2;
    const double y = w * r[j];
    Y[j] = y;
    sum += y * y;
    node += y * y1 < 0 ? 1 : 0;
    w2 = w1;
    w1 = w;
    y1 = y;
    if (std::fabs(y) > kGrowthLimit) {
      const double by = std::fabs(y);
      for (int k = lo; k <= j; ++k) Y[k] /= by;
      sum = sum / by / by;
      w1 /= by;
      w2 /= by;
      y1 /= by;
    }
  }
  pass.node = node;
  pass.joint_y = y1;
  pass.sum = sum;
  return pass;
}

// Carries a solution from Y(from-2), Y(from-1) up to `to` (the continuum beyond a barrier).
inline void outward_to_end(const double* r, const double* g, double* Y, int from, int to) {
  double w2 = Y[from - 2] / r[from - 2], w1 = Y[from - 1] / r[from - 1];
  for (int j = from; j <= to; ++j) {
    const double w = g[j - 1] * w1 - w2;
    Y[j] = w * r[j];
    w2 = w1;
    w1 = w;
  }
}

}  // namespace velk::fast
