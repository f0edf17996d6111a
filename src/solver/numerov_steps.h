// Pieces shared by the forward and the reversed radial solvers: the Numerov coefficients, the
// first energy bracket, the energy update, the correction at the matching point, the scaling and
// tunnelling figure of a quasi-bound level, and the flat-step counts.
//
// All arrays are raw pointers to 1-based grid arrays (slot i = grid point i); the callers have
// checked the index ranges, so nothing here checks bounds. Every formula keeps the operation order
// in which the program's level tables have always been computed.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace velk::numerov {

// 2μ/ħ² per u, in Å^-2 per cm-1: the reciprocal of ħ²/(2 u) = 16.85763130530976 cm-1·Å².
inline constexpr double kU0 = 0.059320315048355776;
// A new value whose square exceeds this divides the unnormalised solution back down.
inline constexpr double kOverflow = 1e40;
// 1/3 as the single-precision constant of the Airy argument scale.
inline constexpr double kOneThird = 0.3333333432674408;
// ħ²/(2 u) rounded to single precision (16.85763) and pi as written in the scaling of a
// quasi-bound wave function.
inline constexpr double kCentrifugalSingle = 16.857629776000977;
inline constexpr double kPi = 3.1415926536;
// Slope below which a step of the scaled wave function counts as flat (per Å).
inline constexpr double kFlatSlope = 0.001;

// A solve needs N + 1 slots of V (slot 0 unused) and fits at most `capacity` points in its
// working arrays; anything else is a caller's mistake.
inline void require_grid_fits(const char* solver, std::size_t slots, int N, int capacity) {
  if (N < 1 || N > capacity || static_cast<std::size_t>(N) >= slots) {
    throw std::invalid_argument(std::string(solver) + ": " + std::to_string(N) +
                                " grid points do not fit the working arrays");
  }
}

// T(i) = h²·μ·u0·(V(i) - E)/12 for i = from .. to, where c = h²·μ·u0 (the same left-to-right
// prefix, so the values are identical to evaluating the whole product per point).
inline void fill_coefficients(double* T, const double* V, int from, int to, double c, double E) {
  for (int i = from; i <= to; ++i) T[i] = c * (V[i] - E) / 12;
}

// One Numerov step toward lower index: Y(i) from Y(i+1), Y(i+2).
inline double step_down(const double* T, const double* Y, int i) {
  return ((10 * T[i + 1] + 2) * Y[i + 1] - (1 - T[i + 2]) * Y[i + 2]) / (1 - T[i]);
}

// Divides Y(from .. to) by `by` (a value saved before the loop, so the pivot itself becomes 1).
inline void divide(double* Y, int from, int to, double by) {
  for (int i = from; i <= to; ++i) Y[i] /= by;
}

// Numerov recurrence toward lower index from Y(top), Y(top-1), for i = top-2 down to 1. When a new
// value squared exceeds kOverflow, Y(i .. top) are divided by it. The pass ends at the first
// maximum met, Y(i) <= Y(i+1) > Y(i+2): i+1 is returned and *match_value = Y(i+1), by which
// Y(i+1 .. top) are to be divided; normalize_and_sum does that division later, in the same sweep
// as the norm. 0 means that the pass reached point 1 without meeting a maximum. The two previous
// values ride in registers so that the dependency chain does not pass through memory.
//
// The coefficients T(i) = c·(V(i) - E)/12 are formed as the pass goes, just before the step that
// first needs them: off the recurrence's dependency chain they cost little beside the division the
// recurrence waits on. On return *t_low is the lowest index whose coefficient has been formed; the
// caller forms the rest.
inline int inward_to_maximum(double* T, const double* V, double c, double E, double* Y, int top,
                             int* t_low, double* match_value) {
  T[top] = c * (V[top] - E) / 12;
  T[top - 1] = c * (V[top - 1] - E) / 12;
  double y2 = Y[top];
  double y1 = Y[top - 1];
  for (int i = top - 2; i >= 1; --i) {
    T[i] = c * (V[i] - E) / 12;
    double y = ((10 * T[i + 1] + 2) * y1 - (1 - T[i + 2]) * y2) / (1 - T[i]);
    Y[i] = y;
    if (y * y > kOverflow) {
      divide(Y, i, top, y);
      y = Y[i];
      y1 = Y[i + 1];
      y2 = Y[i + 2];
    }
    if (y <= y1 && y1 > y2) {
      *match_value = y1;
      *t_low = i;
      return i + 1;
    }
    y2 = y1;
    y1 = y;
  }
  *t_low = top - 2 >= 1 ? 1 : top - 1;
  return 0;
}

struct OutwardPass {
  int32_t node = 0;
  int end = 0;               // last index written
  bool met_match = false;    // the pass ended at kmatch
  double match_value = 0.0;  // Y(kmatch), by which Y(rescale_from .. kmatch) are to be divided
};

// Numerov recurrence toward higher index for j = first .. last from Y(first-2), Y(first-1). When
// a new value squared exceeds kOverflow, Y(rescale_from .. j) are divided by it. Sign changes
// between neighbours are counted. At j = kmatch the pass ends; the division of Y(rescale_from ..
// kmatch) by Y(kmatch) is left to normalize_and_sum. A kmatch outside first .. last lets the pass
// run to `last`.
inline OutwardPass outward_counting_nodes(const double* T, double* Y, int first, int last,
                                          int rescale_from, int kmatch) {
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
    if (j == kmatch) {
      pass.met_match = true;
      pass.match_value = y;
      break;
    }
    y2 = y1;
    y1 = y;
  }
  pass.node = node;
  return pass;
}

// Brings both passes to Y(kmatch) = 1 and returns S = sum of Y(i)^2 over i = from .. n, in that
// order. The outward part from .. outward.end is divided by Y(kmatch) of the outward pass when
// that pass met kmatch; the inward part beyond it by the inward pass's value at its maximum, when
// the inward pass found one (inward_joint > 0). Each value is divided before it is squared and
// added, exactly as if the divisions had come first: the division and the sum share one sweep.
inline double normalize_and_sum(double* Y, int from, int n, const OutwardPass& outward,
                                int inward_joint, double inward_match_value) {
  double S = 0.0;
  if (outward.met_match) {
    const double by = outward.match_value;
    for (int i = from; i <= outward.end; ++i) {
      Y[i] /= by;
      S += Y[i] * Y[i];
    }
  } else {
    for (int i = from; i <= outward.end; ++i) S += Y[i] * Y[i];
  }
  if (inward_joint > 0) {
    const double by = inward_match_value;
    for (int i = outward.end + 1; i <= n; ++i) {
      Y[i] /= by;
      S += Y[i] * Y[i];
    }
  } else {
    for (int i = outward.end + 1; i <= n; ++i) S += Y[i] * Y[i];
  }
  return S;
}

// The first bracket [Elo, Ehi] around the trial energy E of half-width dE. The rules are applied
// in order, each seeing what the ones before set. A trial energy below Umin is moved to
// Umin + below_fraction·dE (the forward solver uses 0.2 in single precision, the reversed one 0).
inline void first_bracket(double& E, double dE, double Emax, double Umin, double below_fraction,
                          double& Elo, double& Ehi) {
  if (E + dE < Emax) {
    Elo = E - dE;
    Ehi = E + dE;
  }
  if (E + dE >= Emax) {
    Elo = E - dE;
    Ehi = Emax;
  }
  if (E >= Emax) {
    E = Emax - dE;
    Elo = E - dE;
    Ehi = E + dE;
  }
  if (E - dE < Umin) Elo = Umin;
  if (E < Umin) {
    Elo = Umin;
    E = Umin + below_fraction * dE;
    Ehi = Umin + dE;
  }
}

// Energy correction from the residual of the Numerov recurrence at the matching point k, where the
// solution has been scaled to Y(k) = 1 (hence the first term carries no factor Y(k)).
inline double correction(const double* T, const double* Y, int k, double S, double h, double mu) {
  return ((10 * T[k] + 2) - (1 - T[k - 1]) * Y[k - 1] - (1 - T[k + 1]) * Y[k + 1]) / (S * (h * h)) /
         (2 * mu * kU0);
}

// Bisection on the node count, then on the sign of a large correction; a small correction is
// applied directly but never beyond Emax. A NaN correction takes none of the branches.
inline void update_energy(int32_t node, int v, double Dcor, double threshold, double Emax,
                          double& E, double& Elo, double& Ehi) {
  if (node > v) {
    Ehi = E;
    E = (Elo + Ehi) / 2;
  } else if (node < v) {
    Elo = E;
    E = (Elo + Ehi) / 2;
  } else if (Dcor * Dcor < threshold) {
    const double next = E + Dcor;
    E = next < Emax ? next : Emax;
  } else if (Dcor < 0) {
    Ehi = E;
    E = (Elo + Ehi) / 2;
  } else if (Dcor > 0) {
    Elo = E;
    E = (Elo + Ehi) / 2;
  }
}

// Scales a quasi-bound wave function to the energy normalisation of a continuum function,
// Y·f/Ymax with f = sqrt(q/(pi·E)). f is real only for E > 0 (energies counted from the
// dissociation limit); for E <= 0, a non-finite f or Ymax = 0 the wave function keeps the scaling
// it had at the matching point rather than being filled with NaN.
inline void scale_quasibound(double* Y, int N, double E, double mu, double Ymax) {
  if (!(E > 0) || Ymax == 0.0) return;
  const double q = std::sqrt(mu / kCentrifugalSingle);
  const double f = std::sqrt(q / (kPi * E));
  if (!std::isfinite(f)) return;
  for (int i = 1; i <= N; ++i) Y[i] = Y[i] * f / Ymax;
}

// Tunnelling figure G/τ: τ = h·q·Σ 1/sqrt|E - V| over the well (tau_from .. tau_to), and
// G = exp(-2·q·h·B) with B = Σ sqrt|V - E| over the barrier (b_from .. b_to). B is accumulated in
// single precision and G rounded to single precision, as the figure has always been formed.
inline double tunnel_figure(const double* V, double E, double h, double mu, int tau_from,
                            int tau_to, int b_from, int b_to) {
  const double q = std::sqrt(mu / kCentrifugalSingle);
  double sum = 0.0;
  for (int m = tau_from; m <= tau_to; ++m) sum += 1 / std::sqrt(std::abs(E - V[m]));
  const double tau = h * q * sum;
  float B = 0.0f;
  for (int m = b_from; m <= b_to; ++m) {
    B = static_cast<float>(static_cast<double>(B) + std::sqrt(std::abs(V[m] - E)));
  }
  const float G = static_cast<float>(std::exp(-(2 * q * h * static_cast<double>(B))));
  return static_cast<double>(G) / tau;
}

// Consecutive flat steps from the start of the grid upward (j = 2, 3, ...) and from point n
// downward; a function flat over the whole range gives n - 1.
inline int32_t flat_steps_left(const double* Y, int n, double h) {
  int32_t count = 0;
  for (int j = 2; j <= n && std::abs(Y[j] - Y[j - 1]) / h < kFlatSlope; ++j) ++count;
  return count;
}
inline int32_t flat_steps_right(const double* Y, int n, double h) {
  int32_t count = 0;
  for (int m = n; m >= 2 && std::abs(Y[m] - Y[m - 1]) / h < kFlatSlope; --m) ++count;
  return count;
}

}  // namespace velk::numerov
