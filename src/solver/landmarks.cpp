#include "solver/landmarks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "numlib/constants.h"
#include "pec/radial_grid.h"

namespace velk {

namespace {

// Points of the grid scan cleared at once.
constexpr int kScanBlock = 64;

// Two grid values side by side (the target's baseline vectors), and the result of comparing them.
typedef double ValuePair __attribute__((vector_size(16)));
typedef int64_t PairMask __attribute__((vector_size(16)));

// Whether the ends of some interval (i - 1, i), start <= i <= end, lie on different sides of E
// (every crossing is such an interval).
bool sides_change(const double* v, int start, int end, double E) {
  const ValuePair level = {E, E};
  PairMask change = {0, 0};
  int i = start;
  for (; i + 1 <= end; i += 2) {
    ValuePair before, at;
    std::memcpy(&before, v + i - 1, sizeof before);
    std::memcpy(&at, v + i, sizeof at);
    change |= (before < level) ^ (at < level);
  }
  int64_t any = change[0] | change[1];
  for (; i <= end; ++i) any |= (v[i - 1] < E) != (v[i] < E) ? 1 : 0;
  return any != 0;
}

// Whether some point i, start <= i <= end, is a strict local extremum beyond `level`, where
// beyond(a, b) says that a lies beyond b (below for a minimum, above for a maximum): the exact
// tests of the scans, two points at a time and without a branch, so that the blocks where none
// can be are passed over at vector speed.
template <typename Beyond>
bool any_extremum_beyond(const double* v, int start, int end, double level, Beyond beyond) {
  const ValuePair levels = {level, level};
  PairMask found = {0, 0};
  int i = start;
  for (; i + 1 <= end; i += 2) {
    ValuePair before, at, after;
    std::memcpy(&before, v + i - 1, sizeof before);
    std::memcpy(&at, v + i, sizeof at);
    std::memcpy(&after, v + i + 1, sizeof after);
    found |= beyond(at, before) & beyond(at, after) & beyond(at, levels);
  }
  int64_t any = found[0] | found[1];
  for (; i <= end; ++i) {
    any |= beyond(v[i], v[i - 1]) && beyond(v[i], v[i + 1]) && beyond(v[i], level) ? 1 : 0;
  }
  return any != 0;
}
bool any_minimum_below(const double* v, int start, int end, double below) {
  return any_extremum_beyond(v, start, end, below, [](auto a, auto b) { return a < b; });
}
bool any_maximum_above(const double* v, int start, int end, double above) {
  return any_extremum_beyond(v, start, end, above, [](auto a, auto b) { return a > b; });
}

// jt and dVt of the third crossing k3 of V (in V's own order), as the solvers place the outer
// turning point.
void place_outer_turning_point(const double* v, int32_t k3, double E, GridOrientation orientation,
                               double& dVt, int32_t& jt) {
  const double top = v[k3];
  const double d = std::abs(top - v[k3 - 1]);
  dVt = d;
  const auto L = [&](int m) { return (top - static_cast<double>(m) * d / 100) - E; };
  // A crossing lies within one step of point k3, so the sign change appears between m = 100 and
  // m = -100. The bound only matters when rounding at the very end of the interval (or a
  // non-finite value) hides it; the end of the interval on the crossing's side is then taken.
  int m = 100;
  while (m > -100 && L(m - 1) * L(m) > 0.0) --m;
  if (m == -100 && !(L(m - 1) * L(m) <= 0.0) && top > v[k3 - 1]) m = 100;
  jt = orientation == GridOrientation::reversed ? m - 1 : m;
}

}  // namespace

double lowest_minimum(std::span<const double> V, int N) {
  require_grid_slots(V.size(), N, "lowest_minimum");
  const double* v = V.data();
  double Umin = constants::kNoMinimum;
  // The lowest minimum so far only falls, so a block without a point below its value at the
  // block's start holds no new one.
  for (int start = 2; start <= N - 1; start += kScanBlock) {
    const int end = std::min(N - 1, start + kScanBlock - 1);
    if (!any_minimum_below(v, start, end, Umin)) continue;
    for (int i = start; i <= end; ++i) {
      if (v[i] < v[i - 1] && v[i] < v[i + 1] && v[i] < Umin) Umin = v[i];
    }
  }
  return Umin;
}

Barrier highest_barrier(std::span<const double> V, int N, double Vref) {
  require_grid_slots(V.size(), N, "highest_barrier");
  const double* v = V.data();
  Barrier b{0.0, 0};
  for (int start = 2; start <= N - 1; start += kScanBlock) {
    const int end = std::min(N - 1, start + kScanBlock - 1);
    if (!any_maximum_above(v, start, end, Vref)) continue;
    for (int i = start; i <= end; ++i) {
      if (v[i] > Vref && v[i] > v[i - 1] && v[i] > v[i + 1]) {
        ++b.nbar;
        if (v[i] > b.Umax) b.Umax = v[i];
      }
    }
  }
  if (b.nbar == 0) b.Umax = Vref;
  return b;
}

Crossings turning_points(std::span<const double> V, double E, int N, GridOrientation orientation,
                         double& dVt, int32_t& jt) {
  require_grid_slots(V.size(), N, "turning_points");
  const double* v = V.data();
  Crossings c;
  // A crossing needs ends on different sides of E. That test has no branch, so a block of points
  // is cleared at vector speed, and only a block where the sides change is looked at point by
  // point: every solve above the curve's end scans the whole grid on each iteration.
  for (int start = 2; start <= N; start += kScanBlock) {
    const int end = std::min(N, start + kScanBlock - 1);
    if (!sides_change(v, start, end, E)) continue;
    for (int i = start; i <= end; ++i) {
      if ((v[i - 1] - E) * (v[i] - E) < 0.0) {
        if (c.k1 > 0 && c.k2 > 0) {
          c.k3 = i;
        } else if (c.k1 > 0) {
          c.k2 = i;
        } else {
          c.k1 = i;
        }
      }
    }
  }
  if (c.k3 == 0) return c;
  if (orientation == GridOrientation::reversed) std::swap(c.k1, c.k3);
  place_outer_turning_point(v, c.k3, E, orientation, dVt, jt);
  return c;
}

void MonotoneStretches::reserve(int N) {
  if (N >= 1 && ends_.capacity() < static_cast<std::size_t>(N)) {
    ends_.reserve(static_cast<std::size_t>(N));
  }
}

void MonotoneStretches::find(std::span<const double> V, int N) {
  require_grid_slots(V.size(), N, "monotone stretches");
  reserve(N);
  V_ = V.data();
  N_ = N;
  ends_.clear();
  scan_ = N >= 1 && !std::isfinite(V_[1]);
  if (N < 2) return;
  ends_.push_back(1);
  int direction = 0;
  for (int i = 2; i <= N; ++i) {
    const double rise = V_[i] - V_[i - 1];
    if (!std::isfinite(V_[i])) scan_ = true;
    const int sense = (rise > 0.0) - (rise < 0.0);
    if (sense == 0) continue;
    if (direction != 0 && sense != direction) ends_.push_back(i - 1);
    direction = sense;
  }
  ends_.push_back(N);
}

int MonotoneStretches::crossing_in(std::size_t k, double E) const {
  const double* v = V_;
  int lo = ends_[k], hi = ends_[k + 1];
  // On a rising stretch the only interval that can straddle E ends at the first point above E,
  // on a falling one at the first point below it.
  if (v[lo] < E && E < v[hi]) {
    while (hi - lo > 1) {
      const int mid = lo + (hi - lo) / 2;
      if (v[mid] > E) {
        hi = mid;
      } else {
        lo = mid;
      }
    }
  } else if (v[lo] > E && E > v[hi]) {
    while (hi - lo > 1) {
      const int mid = lo + (hi - lo) / 2;
      if (v[mid] < E) {
        hi = mid;
      } else {
        lo = mid;
      }
    }
  } else {
    return 0;
  }
  return (v[hi - 1] - E) * (v[hi] - E) < 0.0 ? hi : 0;
}

Crossings MonotoneStretches::turning_points(std::span<const double> Vrun, double E,
                                            GridOrientation orientation, double& dVt,
                                            int32_t& jt) const {
  if (scan_) return velk::turning_points(Vrun, E, N_, orientation, dVt, jt);
  require_grid_slots(Vrun.size(), N_, "turning_points");
  // The first two crossings in forward order, and the last two.
  int first = 0, second = 0, last = 0, second_last = 0;
  const std::size_t stretches = ends_.empty() ? 0 : ends_.size() - 1;
  for (std::size_t k = 0; k < stretches && second == 0; ++k) {
    if (const int i = crossing_in(k, E)) (first == 0 ? first : second) = i;
  }
  for (std::size_t k = stretches; k-- > 0 && second_last == 0;) {
    if (const int i = crossing_in(k, E)) (last == 0 ? last : second_last) = i;
  }
  const bool three = second > 0 && last > second;
  Crossings c;
  if (orientation == GridOrientation::forward) {
    c.k1 = first;
    c.k2 = second;
    if (three) c.k3 = last;
  } else {
    // Forward interval (i - 1, i) is the mirrored interval reported by N + 2 - i, so the order
    // of the crossings turns round.
    const auto mirrored = [&](int i) { return i > 0 ? N_ + 2 - i : 0; };
    if (three) {
      c.k1 = mirrored(first);
      c.k2 = mirrored(second_last);
      c.k3 = mirrored(last);
    } else {
      c.k1 = mirrored(second > 0 ? second : first);
      c.k2 = second > 0 ? mirrored(first) : 0;
    }
  }
  if (c.k3 > 0) place_outer_turning_point(Vrun.data(), c.k3, E, orientation, dVt, jt);
  return c;
}

}  // namespace velk
