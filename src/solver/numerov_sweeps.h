// The sweeps of the Numerov shooting method over the radial grid: the coefficients, the pass from
// the top of the grid to the first maximum, the pass from the bottom that counts nodes, and the
// normalisation at the joint with the norm sum.
//
// These are the hot loops of every level: plain array code without branches on the grid's
// orientation, bounds checks or allocation. All arrays are raw pointers to 1-based grid arrays
// (slot i = grid point i); the solver has checked the index ranges. Every formula keeps its
// operation order, so that printed energies are reproducible to the last digit.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace velk::numerov {

// A new value whose square exceeds this divides the unnormalised solution back down.
inline constexpr double kOverflow = 1e40;

// T(i) = h²·μ·(2u/ħ²)·(V(i) - E)/12 for i = from .. to, with c = h²·μ·(2u/ħ²) formed once: the
// same left-to-right prefix, so the values equal the whole product evaluated per point.
inline void fill_coefficients(double* T, const double* V, int from, int to, double c, double E) {
  for (int i = from; i <= to; ++i) T[i] = c * (V[i] - E) / 12;
}

// Divides Y(from .. to) by `by` (a value saved before the loop, so the pivot itself becomes 1).
inline void divide(double* Y, int from, int to, double by) {
  for (int i = from; i <= to; ++i) Y[i] /= by;
}

// A rescale of the pass from the top: every value the pass wrote at an index >= at owes a
// division by `by`. The pass records rescales instead of carrying them out, because most of the
// values they would divide lie far out in the classically forbidden region, where repeated
// division drives them through the slow subnormal range to zero.
struct Rescale {
  int at = 0;
  double by = 1.0;
  // The largest magnitude among the values written since the rescale before (the value that
  // called for this one included): the values that owe this rescale and none earlier.
  double largest = 0.0;
};

// Where the pass from the top ended.
struct InwardPass {
  int joint = 0;  // the first maximum met, or 0 when the pass reached point 1 without one
  double joint_value = 1.0;   // Y(joint), by which Y(joint .. top) are to be divided
  int coefficients_from = 0;  // the lowest index whose coefficient the pass has formed
  int rescales = 0;           // entries of the rescale log, in the order they happened
};

// Numerov recurrence toward lower index from Y(top), Y(top-1), for i = top-2 down to 1. When a new
// value squared exceeds kOverflow, Y(i .. top) owe a division by it: the rescale goes to `log`
// (room for top entries) and only the three values the recurrence carries are divided at once;
// resolve_rescales settles the rest. The pass ends at the first maximum met,
// Y(i) <= Y(i+1) > Y(i+2); the division of Y(i+1 .. top) by Y(i+1) is left to normalize_and_sum,
// which does it in the sweep of the norm. The two previous values ride in registers so that the
// dependency chain does not pass through memory.
//
// The coefficients T(i) are formed as the pass goes, just before the step that first needs them:
// off the recurrence's dependency chain they cost little beside the division the recurrence waits
// on. The caller forms the ones below coefficients_from.
inline InwardPass inward_to_maximum(double* T, const double* V, double c, double E, double* Y,
                                    int top, Rescale* log) {
  InwardPass pass;
  T[top] = c * (V[top] - E) / 12;
  T[top - 1] = c * (V[top - 1] - E) / 12;
  double y2 = Y[top];
  double y1 = Y[top - 1];
  double largest = std::max(std::fabs(y2), std::fabs(y1));
  int rescales = 0;
  for (int i = top - 2; i >= 1; --i) {
    T[i] = c * (V[i] - E) / 12;
    double y = ((10 * T[i + 1] + 2) * y1 - (1 - T[i + 2]) * y2) / (1 - T[i]);
    Y[i] = y;
    largest = std::max(largest, std::fabs(y));
    if (y * y > kOverflow) {
      log[rescales++] = {i, y, largest};
      largest = 0.0;
      y1 = y1 / y;
      y2 = y2 / y;
      y = y / y;
    }
    if (y <= y1 && y1 > y2) {
      pass.joint = i + 1;
      pass.joint_value = y1;
      pass.coefficients_from = i;
      pass.rescales = rescales;
      return pass;
    }
    y2 = y1;
    y1 = y;
  }
  pass.coefficients_from = top - 2 >= 1 ? 1 : top - 1;
  pass.rescales = rescales;
  return pass;
}

// Values of the pass from the top that end up too small to matter once the pass is scaled to
// Y(joint) = 1: below 2^-60, and below 2^-60 of the flat-step slope 0.001·h. Such values are set
// to 0 without working out their divisions, which is safe only for the steps that read them on
// that scale, use by use:
// - the norm sum, which already holds Y(joint)² = 1 when the values beyond the joint are added
//   (the square of such a value is far below half an ulp of it);
// - a flat-step count of the finished level, whether such a value is compared with another one
//   (their difference is far below the slope) or with a larger one (beside which it is below a
//   quarter ulp, unless both are flat anyway);
// - the density of a grid end beside the peak (undecayed_ends).
// Not for the correction, which reads Y(joint + 1) in a difference that may cancel:
// resolve_rescales settles its first value exactly. Not for the continuation of a quasi-bound
// result, which carries the values on from its outer turning point, rescales them and scales the
// whole by its outermost maximum, so that a value small beside the joint need not stay small:
// the solver redoes that last iteration without the rule. Nor for a wave function a caller reads
// (velk-props, the Python module: SolveRequest::whole_wave_function), for which the last
// iteration is redone without it too.
struct NegligibleValues {
  bool apply = false;
  // A value whose upper power of two, less the powers of two of its divisors and of the joint
  // value, is at most this, is negligible.
  int exponent_limit = 0;
};

// The binary exponent e with 2^e <= |x| < 2^(e+1) of a normal x; subnormals and zero give -1023,
// an upper bound of theirs.
inline int binary_exponent(double x) {
  const auto bits = std::bit_cast<uint64_t>(x);
  return static_cast<int>((bits >> 52) & 0x7ff) - 1023;
}

// The rule for the pass that ended at joint value `joint_value` on a grid of step h. It applies
// only to a pass whose values are scaled by their joint (the pass met a maximum and the pass from
// the bottom joined it there); a tiny joint value (far below any the recurrence meets after a
// rescale) turns it off, so that the subnormal rounding of a division cannot matter.
inline NegligibleValues negligible_values(double joint_value, double h) {
  NegligibleValues rule;
  const double slope = 0.001 * h;
  if (!(std::fabs(joint_value) >= 1e-200) || !(slope >= 1e-300) || !std::isfinite(joint_value))
    return rule;
  rule.apply = true;
  // 2^(slope exponent) <= 0.001·h; two more powers of two cover the rounding of the divisions.
  const int limit = -60 + std::min(0, binary_exponent(slope));
  rule.exponent_limit = limit - 2 + binary_exponent(joint_value);
  return rule;
}

// Settles the rescales owed by Y(from .. top), the values of the pass from the top: each value is
// divided, in the order the rescales happened, by every divisor recorded at or below its index, as
// if every rescale had divided all of Y(i .. top) at once. Values that `negligible` proves too
// small to matter after those divisions are set to 0 without them: a whole run of values that owe
// the same rescales at once when its largest is, otherwise one by one. Y(from), the neighbour of
// the joint that the correction reads, is always divided out. Dividing a value that has reached 0
// leaves it 0, so its remaining divisions are skipped.
//
// Y(j) is Y[j·Stride] (Stride > 1: one lane of interleaved solutions). Returns an index above
// which every value is 0. Without `fill_tail` the runs of negligible values above that index are
// left as they are, for a caller that reads no further.
template <int Stride = 1>
inline int resolve_rescales(double* Y, int from, int top, const Rescale* log, int count,
                            const NegligibleValues& negligible, bool fill_tail = true) {
  if (count == 0) return top;
  const auto at = [&](int j) -> double& { return Y[static_cast<std::ptrdiff_t>(j) * Stride]; };
  // Rescale g is owed by the indices log[g].at .. (the index of rescale g-1) - 1, together with
  // every later one; those below the last rescale owe none.
  const auto upper = [&](int g) { return g == 0 ? top : std::min(top, log[g - 1].at - 1); };
  const auto run_negligible = [&](int g, int owed_exponents) {
    return negligible.apply && std::max(log[g].at, from) > from &&
           binary_exponent(log[g].largest) + 1 - owed_exponents <= negligible.exponent_limit;
  };
  int live = std::min(top, log[count - 1].at - 1);
  int owed_exponents = 0;
  for (int g = count - 1; g >= 0; --g) {
    owed_exponents += binary_exponent(log[g].by);
    const int low = std::max(log[g].at, from);
    if (low <= upper(g) && !run_negligible(g, owed_exponents)) live = upper(g);
  }
  owed_exponents = 0;
  for (int g = count - 1; g >= 0; --g) {
    owed_exponents += binary_exponent(log[g].by);
    const int low = std::max(log[g].at, from);
    const int high = upper(g);
    if (low > high) continue;
    if (low > live && !fill_tail) break;
    if (run_negligible(g, owed_exponents)) {
      for (int j = low; j <= high; ++j) at(j) = 0.0;
      continue;
    }
    for (int j = low; j <= high; ++j) {
      double y = at(j);
      if (negligible.apply && j > from &&
          binary_exponent(y) + 1 - owed_exponents <= negligible.exponent_limit) {
        y = 0.0;
      } else {
        for (int k = g; k < count && y != 0.0; ++k) y /= log[k].by;
      }
      at(j) = y;
    }
  }
  return std::max(live, from - 1);
}

// Numerov recurrence toward lower index for i = from down to 1, continuing from Y(from+1),
// Y(from+2); when a new value squared exceeds kOverflow, Y(i .. top) are divided by it. Carries a
// quasi-bound solution of a reversed grid from its outer turning point out to the grid end.
inline void inward_to_end(const double* T, double* Y, int from, int top) {
  for (int i = from; i >= 1; --i) {
    Y[i] = ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i]);
    if (Y[i] * Y[i] > kOverflow) divide(Y, i, top, Y[i]);
  }
}

// Where the pass from the bottom ended.
struct OutwardPass {
  int32_t node = 0;
  int end = 0;               // last index written
  bool met_joint = false;    // the pass ended at the joint
  double joint_value = 0.0;  // Y(joint), by which Y(rescale_from .. joint) are to be divided
};

// Numerov recurrence toward higher index for j = first .. last from Y(first-2), Y(first-1). When
// a new value squared exceeds kOverflow, Y(rescale_from .. j) are divided by it. Sign changes
// between neighbours are counted. At j = joint the pass ends; the division of
// Y(rescale_from .. joint) by Y(joint) is left to normalize_and_sum. A joint outside
// first .. last lets the pass run to `last`.
inline OutwardPass outward_counting_nodes(const double* T, double* Y, int first, int last,
                                          int rescale_from, int joint) {
  OutwardPass pass;
  pass.end = first - 1;
  int32_t node = 0;
  double y2 = Y[first - 2];
  double y1 = Y[first - 1];
  for (int j = first; j <= last; ++j) {
    double y = ((10 * T[j - 1] + 2) * y1 - (1 - T[j - 2]) * y2) / (1 - T[j]);
    Y[j] = y;
    if (y * y > kOverflow) {
      divide(Y, rescale_from, j, y);
      y = Y[j];
      y1 = Y[j - 1];
    }
    if (y * y1 < 0) ++node;
    pass.end = j;
    if (j == joint) {
      pass.met_joint = true;
      pass.joint_value = y;
      break;
    }
    y2 = y1;
    y1 = y;
  }
  pass.node = node;
  return pass;
}

// Brings both passes to Y(joint) = 1 and returns S = sum of Y(i)² over i = from .. top, in that
// order, where `from` is the lowest index of the pass from the bottom.
//
// The values of the pass from the bottom (from .. outward.end) are divided by its Y(joint) when it
// met the joint. Every value that survives from the pass from the top is divided by that pass's
// Y(joint) when it found one: those above the pass from the bottom (outward.end+1 .. top) and,
// when the pass from the bottom started above the joint (the outer turning point of a reversed
// grid), those below it (joint .. from-1), which lie outside the norm. Inside the norm each value
// is divided just before it is squared and added, exactly as if the divisions had come first: the
// division and the sum share one sweep.
inline double normalize_and_sum(double* Y, int from, int top, const OutwardPass& outward,
                                const InwardPass& inward) {
  double S = 0.0;
  if (outward.met_joint) {
    const double by = outward.joint_value;
    for (int i = from; i <= outward.end; ++i) {
      Y[i] /= by;
      S += Y[i] * Y[i];
    }
  } else {
    for (int i = from; i <= outward.end; ++i) S += Y[i] * Y[i];
  }
  if (inward.joint > 0) {
    const double by = inward.joint_value;
    divide(Y, inward.joint, from - 1, by);
    for (int i = outward.end + 1; i <= top; ++i) {
      Y[i] /= by;
      S += Y[i] * Y[i];
    }
  } else {
    for (int i = outward.end + 1; i <= top; ++i) S += Y[i] * Y[i];
  }
  return S;
}

}  // namespace velk::numerov
