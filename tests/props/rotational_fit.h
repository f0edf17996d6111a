// The independent route to Bv, Dv and Hv: a least-squares fit of
// E(J) = G + Bv·x − Dv·x² + Hv·x³ + Lv·x⁴, x = J(J+1), to the energies of J = 0..Jmax,
// solved by normal equations in long double on x scaled to at most 1.
#pragma once

#include <array>
#include <cmath>
#include <span>

namespace velk::test {

struct RotationalFit {
  double G = 0.0, Bv = 0.0, Dv = 0.0, Hv = 0.0, Lv = 0.0;
};

inline RotationalFit fit_rotational_levels(std::span<const double> E) {
  constexpr int kTerms = 5;
  const int Jmax = static_cast<int>(E.size()) - 1;
  const long double scale = static_cast<long double>(Jmax) * (Jmax + 1);
  long double A[kTerms][kTerms + 1] = {};
  for (int J = 0; J <= Jmax; ++J) {
    const long double t = static_cast<long double>(J) * (J + 1) / scale;
    long double basis[kTerms];
    basis[0] = 1.0L;
    for (int j = 1; j < kTerms; ++j) basis[j] = basis[j - 1] * t;
    for (int r = 0; r < kTerms; ++r) {
      for (int c = 0; c < kTerms; ++c) A[r][c] += basis[r] * basis[c];
      A[r][kTerms] += basis[r] * static_cast<long double>(E[static_cast<std::size_t>(J)]);
    }
  }
  // Gauss-Jordan with partial pivoting on the 5 x 6 augmented matrix.
  for (int c = 0; c < kTerms; ++c) {
    int pivot = c;
    for (int r = c + 1; r < kTerms; ++r) {
      if (std::fabs(A[r][c]) > std::fabs(A[pivot][c])) pivot = r;
    }
    for (int k = 0; k <= kTerms; ++k) std::swap(A[c][k], A[pivot][k]);
    for (int r = 0; r < kTerms; ++r) {
      if (r == c) continue;
      const long double f = A[r][c] / A[c][c];
      for (int k = c; k <= kTerms; ++k) A[r][k] -= f * A[c][k];
    }
  }
  long double a[kTerms];
  for (int r = 0; r < kTerms; ++r) a[r] = A[r][kTerms] / A[r][r];
  RotationalFit fit;
  fit.G = static_cast<double>(a[0]);
  fit.Bv = static_cast<double>(a[1] / scale);
  fit.Dv = static_cast<double>(-a[2] / (scale * scale));
  fit.Hv = static_cast<double>(a[3] / (scale * scale * scale));
  fit.Lv = static_cast<double>(a[4] / (scale * scale * scale * scale));
  return fit;
}

}  // namespace velk::test
