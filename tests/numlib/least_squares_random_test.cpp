// Seeded randomized check of lfit against an independent solution of the same least-squares
// problem: Householder QR of the weighted design matrix of the fitted coefficients, in long
// double, written here without sharing anything with the routine under test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "numlib/least_squares.h"
#include "support/failure_recorder.h"

namespace velk {
namespace {

using Matrix = std::vector<std::vector<long double>>;  // row-major, 0-based

// Chebyshev polynomials T_0 .. T_(M-1) of x on [-1, 1]: a well-conditioned basis, so that the
// normal equations of lfit lose little and the comparison can be tight.
void chebyshev_basis(double x, std::span<double> basis, int M, double, double, double) {
  double previous = 1.0, current = x;
  for (int j = 1; j <= M; ++j) {
    if (j == 1) {
      basis[j] = 1.0;
    } else if (j == 2) {
      basis[j] = x;
    } else {
      const double next = 2.0 * x * current - previous;
      previous = current;
      current = next;
      basis[j] = next;
    }
  }
}

long double chebyshev(int j, long double x) {  // T_(j-1)(x) by its own recurrence
  if (j == 1) return 1.0L;
  long double a = 1.0L, b = x;
  for (int k = 3; k <= j; ++k) {
    const long double c = 2.0L * x * b - a;
    a = b;
    b = c;
  }
  return b;
}

struct QrSolution {
  std::vector<long double> coefficients;  // of the fitted columns, in order
  Matrix R;                               // upper triangle of the factorisation
  long double residual2 = 0.0L;           // squared norm of the weighted residual
};

// min |A c - b| by Householder reflections; A is rows x cols with rows >= cols.
QrSolution householder_solve(Matrix A, std::vector<long double> b) {
  const std::size_t rows = A.size(), cols = A[0].size();
  for (std::size_t k = 0; k < cols; ++k) {
    long double norm = 0.0L;
    for (std::size_t i = k; i < rows; ++i) norm += A[i][k] * A[i][k];
    norm = std::sqrt(norm);
    const long double alpha = A[k][k] > 0 ? -norm : norm;
    std::vector<long double> v(rows, 0.0L);
    for (std::size_t i = k; i < rows; ++i) v[i] = A[i][k];
    v[k] -= alpha;
    long double vv = 0.0L;
    for (std::size_t i = k; i < rows; ++i) vv += v[i] * v[i];
    if (vv == 0.0L) continue;
    for (std::size_t j = k; j < cols; ++j) {
      long double s = 0.0L;
      for (std::size_t i = k; i < rows; ++i) s += v[i] * A[i][j];
      for (std::size_t i = k; i < rows; ++i) A[i][j] -= 2.0L * s / vv * v[i];
    }
    long double s = 0.0L;
    for (std::size_t i = k; i < rows; ++i) s += v[i] * b[i];
    for (std::size_t i = k; i < rows; ++i) b[i] -= 2.0L * s / vv * v[i];
  }
  QrSolution out;
  out.coefficients.assign(cols, 0.0L);
  for (std::size_t k = cols; k-- > 0;) {
    long double s = b[k];
    for (std::size_t j = k + 1; j < cols; ++j) s -= A[k][j] * out.coefficients[j];
    out.coefficients[k] = s / A[k][k];
  }
  for (std::size_t i = cols; i < rows; ++i) out.residual2 += b[i] * b[i];
  out.R.assign(cols, std::vector<long double>(cols, 0.0L));
  for (std::size_t i = 0; i < cols; ++i) {
    for (std::size_t j = i; j < cols; ++j) out.R[i][j] = A[i][j];
  }
  return out;
}

// inv(R) of an upper-triangular R.
Matrix upper_inverse(const Matrix& R) {
  const std::size_t n = R.size();
  Matrix inv(n, std::vector<long double>(n, 0.0L));
  for (std::size_t j = 0; j < n; ++j) {
    inv[j][j] = 1.0L / R[j][j];
    for (std::size_t i = j; i-- > 0;) {
      long double s = 0.0L;
      for (std::size_t k = i + 1; k <= j; ++k) s += R[i][k] * inv[k][j];
      inv[i][j] = -s / R[i][i];
    }
  }
  return inv;
}

long double frobenius(const Matrix& m) {
  long double s = 0.0L;
  for (const auto& row : m) {
    for (long double v : row) s += v * v;
  }
  return std::sqrt(s);
}

// Tolerance: lfit solves the normal equations, whose condition is kappa(A)^2, so its coefficients
// may be off by kappa(A)^2·eps relative to their size times the number of rounded terms summed
// into each entry (n points, F columns); kappa is bounded above by |R|_F·|inv(R)|_F from the
// reference factorisation. The tolerance is 4 such units (measured worst over these cases: a
// third of a unit for coefficients and covariance); a wrong column, a held value not taken off the
// data or a compressed index out of place gives errors of order 1.
TEST(LfitRandom, AgreesWithHouseholderQrOfTheSameProblem) {
  constexpr long double kEps = std::numeric_limits<double>::epsilon();
  std::mt19937_64 random(4561);
  std::uniform_int_distribution<int> model_size(1, 10);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> deviation(0.5, 2.0);
  std::bernoulli_distribution held(0.3);
  for (int trial = 0; trial < 400; ++trial) {
    const int M = model_size(random);
    std::vector<int> flags(M + 1, 0);
    int F = 0;
    for (int j = 1; j <= M; ++j) {
      flags[j] = held(random) ? 0 : 1;
      F += flags[j];
    }
    if (F == 0) flags[1 + trial % M] = 1, F = 1;
    const int n = 3 * M + static_cast<int>(random() % 40);
    std::vector<double> x(n + 1), y(n + 1), sig(n + 1), a(M + 1), truth(M + 1);
    for (int j = 1; j <= M; ++j) truth[j] = 10.0 * unit(random);
    for (int j = 1; j <= M; ++j) a[j] = flags[j] ? 1e6 : 10.0 * unit(random);
    for (int i = 1; i <= n; ++i) {
      x[i] = unit(random);
      sig[i] = deviation(random);
      long double model = 0.0L;
      for (int j = 1; j <= M; ++j) model += truth[j] * chebyshev(j, x[i]);
      y[i] = static_cast<double>(model + sig[i] * unit(random));
    }

    // The reference: rows (X_fitted / sig), right side (y - held part) / sig.
    Matrix A(n, std::vector<long double>(F));
    std::vector<long double> b(n);
    for (int i = 1; i <= n; ++i) {
      long double rhs = y[i];
      int c = 0;
      for (int j = 1; j <= M; ++j) {
        const long double X = chebyshev(j, x[i]);
        if (flags[j]) {
          A[i - 1][c++] = X / sig[i];
        } else {
          rhs -= a[j] * X;
        }
      }
      b[i - 1] = rhs / sig[i];
    }
    const QrSolution qr = householder_solve(A, b);
    const Matrix Rinv = upper_inverse(qr.R);
    const long double kappa = frobenius(qr.R) * frobenius(Rinv);

    std::vector<double> held_before = a;
    std::vector<double> covar(static_cast<std::size_t>(F) * F, -7.0);
    double chisq = -1.0;
    test::FailureRecorder failures;
    lfit(x, y, sig, n, a, flags, M, covar, F, chisq, chebyshev_basis, 0.0, 0.0, 0.0,
         failures.handler());
    ASSERT_TRUE(failures.messages().empty()) << "trial " << trial;

    long double size = 0.0L;
    for (long double c : qr.coefficients) size = std::max(size, std::fabs(c));
    const long double tolerance = 4.0L * (n + F) * kappa * kappa * kEps * std::max(size, 1.0L);
    int c = 0;
    for (int j = 1; j <= M; ++j) {
      if (!flags[j]) {
        EXPECT_EQ(a[j], held_before[j]) << "trial " << trial << ", held a" << j;
        continue;
      }
      ASSERT_LE(std::fabs(a[j] - qr.coefficients[static_cast<std::size_t>(c++)]), tolerance)
          << "trial " << trial << ", a" << j << " of " << M << ", kappa " << kappa;
    }
    // Chi-square is the minimum itself, first-order insensitive to the coefficients' error.
    EXPECT_NEAR(chisq, qr.residual2, 1e-9L * qr.residual2) << "trial " << trial;
    // The covariance, inv(A^T A) = inv(R) inv(R)^T, in the compressed order of the fitted ones.
    long double cov_size = 0.0L;
    for (const auto& row : Rinv) {
      for (long double v : row) cov_size = std::max(cov_size, v * v);
    }
    for (int r = 0; r < F; ++r) {
      for (int k = 0; k < F; ++k) {
        long double want = 0.0L;
        for (int m = 0; m < F; ++m) want += Rinv[r][m] * Rinv[k][m];
        ASSERT_LE(std::fabs(covar[static_cast<std::size_t>(k) * F + r] - want),
                  4.0L * (n + F) * kappa * kappa * kEps * cov_size)
            << "trial " << trial << ", covariance (" << r + 1 << ", " << k + 1 << ")";
      }
    }
  }
}

}  // namespace
}  // namespace velk
