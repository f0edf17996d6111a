#include "numlib/least_squares.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>

namespace velk {

namespace {

constexpr std::string_view kSingular = "singular matrix in gaussj";

// Offset of element (j, k), both 1-based, of a column-major matrix of leading dimension d.
inline std::size_t element(int j, int k, int d) {
  return static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(d) +
         static_cast<std::size_t>(j - 1);
}

// Number of slots a column-major block of `rows` x `cols` in leading dimension d reaches into.
std::size_t block_extent(int rows, int cols, int d) {
  if (rows <= 0 || cols <= 0) return 0;
  return element(rows, cols, d) + 1;
}

void require(bool ok, const std::string& message) {
  if (!ok) throw std::invalid_argument(message);
}

// A 1-based vector of `count` entries needs count + 1 slots.
void require_vector(std::size_t size, int count, const char* what) {
  require(count <= 0 || size > static_cast<std::size_t>(count),
          std::string(what) + " holds " + std::to_string(size) + " slots, fewer than the " +
              std::to_string(count) + " entries (plus unused slot 0) it must carry");
}

}  // namespace

void gaussj(std::span<double> a, int m, int declared_size, std::span<double> b, int nrhs,
            const NumericalFailureHandler& on_failure) {
  require(m >= 0 && m <= kLeastSquaresCapacity, "gaussj: matrix size " + std::to_string(m) +
                                                    " outside 0.." +
                                                    std::to_string(kLeastSquaresCapacity));
  require(nrhs >= 0, "gaussj: negative number of right-hand sides " + std::to_string(nrhs));
  require(declared_size >= 1 && declared_size >= m,
          "gaussj: declared size " + std::to_string(declared_size) +
              " smaller than the matrix size " + std::to_string(m));
  require(a.size() >= block_extent(m, m, declared_size),
          "gaussj: matrix storage too short for a " + std::to_string(m) + " x " +
              std::to_string(m) + " block of leading dimension " + std::to_string(declared_size));
  require(b.size() >= block_extent(m, nrhs, declared_size),
          "gaussj: right-hand side storage too short for " + std::to_string(nrhs) +
              " columns of leading dimension " + std::to_string(declared_size));

  const int d = declared_size;
  auto A = [&](int j, int k) -> double& { return a[element(j, k, d)]; };
  auto B = [&](int j, int k) -> double& { return b[element(j, k, d)]; };

  std::array<int, kLeastSquaresCapacity + 1> ipiv{};
  std::array<int, kLeastSquaresCapacity + 1> indxr{};
  std::array<int, kLeastSquaresCapacity + 1> indxc{};

  // When no element qualifies as pivot (only NaN left) the previous step's pivot is taken again,
  // which the use count then reports as singular; starting at (1, 1) keeps the first step inside
  // the matrix in that case too.
  int irow = 1;
  int icol = 1;
  for (int i = 1; i <= m; ++i) {
    double big = 0.0;
    for (int j = 1; j <= m; ++j) {
      if (ipiv[j] == 1) continue;
      for (int k = 1; k <= m; ++k) {
        if (ipiv[k] == 0) {
          // ">=" lets the last of equal magnitudes win; the pivot order, and with it the
          // rounding of the results, depends on this.
          if (std::abs(A(j, k)) >= big) {
            big = std::abs(A(j, k));
            irow = j;
            icol = k;
          }
        } else if (ipiv[k] > 1) {
          on_failure(kSingular);
        }
      }
    }
    ++ipiv[icol];
    if (irow != icol) {
      for (int l = 1; l <= m; ++l) std::swap(A(irow, l), A(icol, l));
      for (int l = 1; l <= nrhs; ++l) std::swap(B(irow, l), B(icol, l));
    }
    indxr[i] = irow;
    indxc[i] = icol;
    if (A(icol, icol) == 0.0) on_failure(kSingular);
    // A zero pivot gives an infinite reciprocal (IEEE), which is what the run goes on with.
    const double pivinv = 1.0 / A(icol, icol);
    A(icol, icol) = 1.0;
    for (int l = 1; l <= m; ++l) A(icol, l) *= pivinv;
    for (int l = 1; l <= nrhs; ++l) B(icol, l) *= pivinv;
    for (int ll = 1; ll <= m; ++ll) {
      if (ll == icol) continue;
      const double dum = A(ll, icol);
      A(ll, icol) = 0.0;
      for (int l = 1; l <= m; ++l) A(ll, l) -= A(icol, l) * dum;
      for (int l = 1; l <= nrhs; ++l) B(ll, l) -= B(icol, l) * dum;
    }
  }
  // The row interchanges of the elimination are column interchanges of the inverse.
  for (int l = m; l >= 1; --l) {
    if (indxr[l] != indxc[l]) {
      for (int k = 1; k <= m; ++k) std::swap(A(k, indxr[l]), A(k, indxc[l]));
    }
  }
}

void lfit(std::span<const double> x, std::span<const double> y, std::span<const double> sig, int n,
          std::span<double> a, std::span<const int> fit_flags, int M, std::span<double> covar,
          int declared_size, double& chisq, BasisFunction basis, double p1, double p2, double p3,
          const NumericalFailureHandler& on_failure) {
  require(M >= 0 && M <= kLeastSquaresCapacity, "lfit: " + std::to_string(M) +
                                                    " coefficients, capacity is " +
                                                    std::to_string(kLeastSquaresCapacity));
  require(n >= 0, "lfit: negative number of points " + std::to_string(n));
  require(basis != nullptr, "lfit: no basis-function routine");
  require_vector(x.size(), n, "lfit: abscissa array");
  require_vector(y.size(), n, "lfit: value array");
  require_vector(sig.size(), n, "lfit: deviation array");
  require_vector(a.size(), M, "lfit: coefficient array");
  require_vector(fit_flags.size(), M, "lfit: fit-flag array");

  int F = 0;
  for (int j = 1; j <= M; ++j) {
    if (fit_flags[j] != 0) ++F;
  }
  require(declared_size >= 1 && declared_size >= F,
          "lfit: covariance declared size " + std::to_string(declared_size) + " smaller than the " +
              std::to_string(F) + " fitted coefficients");
  require(covar.size() >= block_extent(F, F, declared_size),
          "lfit: covariance storage too short for a " + std::to_string(F) + " x " +
              std::to_string(F) + " block of leading dimension " + std::to_string(declared_size));
  for (int i = 1; i <= n; ++i) {
    require(sig[i] != 0.0, "lfit: standard deviation of point " + std::to_string(i) + " is zero");
  }

  if (F == 0) on_failure("lfit: no parameters to be fitted");

  const int d = declared_size;
  auto C = [&](int j, int k) -> double& { return covar[element(j, k, d)]; };

  // The basis values keep slot 0 unused; the right-hand side is a one-column matrix for gaussj,
  // so its entry r sits at r - 1.
  std::array<double, kLeastSquaresCapacity + 1> afunc{};
  std::array<double, kLeastSquaresCapacity> beta{};
  const std::span<double> afunc_span(afunc.data(), static_cast<std::size_t>(M) + 1);

  for (int j = 1; j <= F; ++j) {
    for (int k = 1; k <= F; ++k) C(j, k) = 0.0;
  }

  for (int i = 1; i <= n; ++i) {
    basis(x[i], afunc_span, M, p1, p2, p3);
    double ym = y[i];
    if (F < M) {
      for (int j = 1; j <= M; ++j) {
        if (fit_flags[j] == 0) ym -= a[j] * afunc[j];
      }
    }
    const double sig2i = 1.0 / (sig[i] * sig[i]);
    int r = 0;
    for (int l = 1; l <= M; ++l) {
      if (fit_flags[l] == 0) continue;
      ++r;
      const double wt = afunc[l] * sig2i;
      int c = 0;
      for (int mm = 1; mm <= l; ++mm) {
        if (fit_flags[mm] != 0) C(r, ++c) += wt * afunc[mm];
      }
      beta[r - 1] += ym * wt;
    }
  }

  for (int j = 2; j <= F; ++j) {
    for (int k = 1; k < j; ++k) C(k, j) = C(j, k);
  }

  gaussj(covar, F, d, beta, 1, on_failure);

  int r = 0;
  for (int l = 1; l <= M; ++l) {
    if (fit_flags[l] != 0) a[l] = beta[r++];
  }

  chisq = 0.0;
  for (int i = 1; i <= n; ++i) {
    basis(x[i], afunc_span, M, p1, p2, p3);
    double sum = 0.0;
    for (int j = 1; j <= M; ++j) sum += a[j] * afunc[j];
    const double t = (y[i] - sum) / sig[i];
    chisq += t * t;
  }
}

}  // namespace velk
