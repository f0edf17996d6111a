#include "numlib/least_squares.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/failure_recorder.h"

namespace velk {
namespace {

// Failures are recorded and the routines go on, as they do in a run after the pause.
using test::FailureRecorder;
using Messages = std::vector<std::string>;

int count_of(const std::vector<std::string>& messages, const std::string& message) {
  int count = 0;
  for (const auto& m : messages) count += m == message ? 1 : 0;
  return count;
}

// Column-major 1-based access with leading dimension d, as both routines store matrices.
double& at(std::vector<double>& m, int j, int k, int d) {
  return m[(k - 1) * d + (j - 1)];
}

void expect_relative(double actual, double expected, double tolerance) {
  EXPECT_NEAR(actual, expected, tolerance * std::abs(expected)) << "expected " << expected;
}

// Model used by the fits: X1 = 1, X2 = x, X3 = x^2, X4 = 1/x.
void poly_basis(double x, std::span<double> basis, int M, double, double, double) {
  ASSERT_EQ(M, 4);
  ASSERT_GE(basis.size(), 5u);
  basis[1] = 1.0;
  basis[2] = x;
  basis[3] = x * x;
  basis[4] = 1.0 / x;
}

// A small weighted problem; slot 0 of every array is unused.
struct FitData {
  std::array<double, 9> x{0.0, 0.5, 1.0, 1.5, 2.25, 3.0, 3.5, 4.75, 5.5};
  std::array<double, 9> y{0.0, 4.1, 0.95, -0.2, -1.3, -1.9, -1.6, 0.35, 2.4};
  std::array<double, 9> sig{0.0, 0.1, 0.2, 0.1, 0.25, 0.5, 0.1, 0.2, 0.4};
  static constexpr int n = 8;
};

// The references below solve the same weighted problem by QR factorisation of the weighted
// design matrix in mpmath at 50 digits (the double inputs converted exactly); the covariance is
// inv(A^T A) of that matrix. The normal matrix has condition number 3.6e4, so the elimination in
// doubles may lose about 4.5 digits: relative tolerance 1e-10.
constexpr double kFitTolerance = 1e-10;

TEST(Lfit, AllFittedMatchesIndependentQrSolution) {
  FitData data;
  std::array<double, 5> a{0.0, 9.0, 9.0, 9.0, 9.0};
  const std::array<int, 5> flags{0, 1, 1, 1, 1};
  std::vector<double> covar(16, -7.0);
  double chisq = -1.0;
  lfit(data.x, data.y, data.sig, FitData::n, a, flags, 4, covar, 4, chisq, poly_basis, 0.0, 0.0,
       0.0, throw_on_numerical_failure);

  expect_relative(a[1], 2.2668730584401377944, kFitTolerance);
  expect_relative(a[2], -3.3176537989298146543, kFitTolerance);
  expect_relative(a[3], 0.59625230897762071053, kFitTolerance);
  expect_relative(a[4], 1.6649968089011098467, kFitTolerance);
  expect_relative(chisq, 2.6025262748611695018, kFitTolerance);

  const double cov[4][4] = {{0.3785128522463710099, -0.20961812701454320711,
                             0.029807421993568962167, -0.14734572093241189247},
                            {-0.20961812701454320711, 0.12361156724885742835,
                             -0.018320826449241175638, 0.078647723935922189132},
                            {0.029807421993568962167, -0.018320826449241175638,
                             0.0028142171050306822134, -0.010940118369650984089},
                            {-0.14734572093241189247, 0.078647723935922189132,
                             -0.010940118369650984089, 0.060665171803873102852}};
  for (int j = 1; j <= 4; ++j) {
    for (int k = 1; k <= 4; ++k) expect_relative(at(covar, j, k, 4), cov[j - 1][k - 1], 1e-9);
  }
}

TEST(Lfit, HeldCoefficientsAreTakenOffTheDataAndCovarianceIsCompressed) {
  FitData data;
  std::array<double, 5> a{0.0, 9.0, -2.5, 9.0, 0.75};
  const std::array<int, 5> flags{0, 1, 0, 1, 0};
  // Declared size 5 although only a 2 x 2 block is used: everything else must stay untouched.
  constexpr int d = 5;
  std::vector<double> covar(d * d, -7.0);
  double chisq = -1.0;
  lfit(data.x, data.y, data.sig, FitData::n, a, flags, 4, covar, d, chisq, poly_basis, 0.0, 0.0,
       0.0, throw_on_numerical_failure);

  // Same QR reference as above with a2 = -2.5 and a4 = 0.75 held.
  expect_relative(a[1], 2.7681356701036478691, kFitTolerance);
  expect_relative(a[3], 0.37828802624894143508, kFitTolerance);
  EXPECT_EQ(a[2], -2.5);
  EXPECT_EQ(a[4], 0.75);
  expect_relative(chisq, 201.87035815998098799, kFitTolerance);

  // Row and column 1 belong to a1, row and column 2 to a3.
  expect_relative(at(covar, 1, 1, d), 0.004662598154163541526, kFitTolerance);
  expect_relative(at(covar, 1, 2, d), -0.00031825433489964976293, kFitTolerance);
  expect_relative(at(covar, 2, 1, d), -0.00031825433489964976293, kFitTolerance);
  expect_relative(at(covar, 2, 2, d), 0.000050521889565315425706, kFitTolerance);
  for (int j = 1; j <= d; ++j) {
    for (int k = 1; k <= d; ++k) {
      if (j <= 2 && k <= 2) continue;
      EXPECT_EQ(at(covar, j, k, d), -7.0) << "element " << j << "," << k;
    }
  }
}

TEST(Lfit, ExactDataReproducesTheModel) {
  constexpr int n = 12;
  std::array<double, n + 1> x{};
  std::array<double, n + 1> y{};
  std::array<double, n + 1> sig{};
  for (int i = 1; i <= n; ++i) {
    x[i] = 0.25 + 0.5 * i;
    y[i] = 2.0 - 3.0 * x[i] + 0.5 * x[i] * x[i] + 1.5 / x[i];
    sig[i] = 1.0 + 0.125 * i;
  }
  std::array<double, 5> a{0.0, 0.0, 0.0, 0.0, 0.0};
  const std::array<int, 5> flags{0, 1, 1, 1, 1};
  std::array<double, 16> covar{};
  double chisq = -1.0;
  lfit(x, y, sig, n, a, flags, 4, covar, 4, chisq, poly_basis, 0.0, 0.0, 0.0,
       throw_on_numerical_failure);
  // Only the rounding of y and of the elimination separates the fit from the model.
  EXPECT_NEAR(a[1], 2.0, 1e-10);
  EXPECT_NEAR(a[2], -3.0, 1e-10);
  EXPECT_NEAR(a[3], 0.5, 1e-11);
  EXPECT_NEAR(a[4], 1.5, 1e-10);
  EXPECT_LT(chisq, 1e-20);
}

// Records every call of the basis routine.
struct CallLog {
  static inline std::vector<double> xs;
  static inline std::vector<std::array<double, 3>> pass_through;
  static inline std::vector<int> Ms;
  static inline std::vector<std::size_t> sizes;
  static void reset() {
    xs.clear();
    pass_through.clear();
    Ms.clear();
    sizes.clear();
  }
};

void logging_basis(double x, std::span<double> basis, int M, double p1, double p2, double p3) {
  CallLog::xs.push_back(x);
  CallLog::pass_through.push_back({p1, p2, p3});
  CallLog::Ms.push_back(M);
  CallLog::sizes.push_back(basis.size());
  basis[1] = 1.0;
  basis[2] = x;
  basis[3] = std::exp(-x);
}

TEST(Lfit, BasisIsCalledTwicePerPointInPointOrderWithArgumentsPassedThrough) {
  CallLog::reset();
  constexpr int n = 7;
  std::array<double, n + 1> x{0.0, 1.0, 2.0, 3.0, 5.0, 8.0, 13.0, 21.0};
  std::array<double, n + 1> y{0.0, 1.0, 3.0, 2.0, 5.0, 4.0, 7.0, 6.0};
  std::array<double, n + 1> sig{0.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  std::array<double, 4> a{0.0, 0.0, 0.5, 0.0};
  const std::array<int, 4> flags{0, 1, 0, 1};
  std::array<double, 9> covar{};
  double chisq = 0.0;
  lfit(x, y, sig, n, a, flags, 3, covar, 3, chisq, logging_basis, 1.25, -3.5, 1e-7,
       throw_on_numerical_failure);

  ASSERT_EQ(CallLog::xs.size(), static_cast<std::size_t>(2 * n));
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 1; i <= n; ++i) EXPECT_EQ(CallLog::xs[pass * n + i - 1], x[i]);
  }
  for (std::size_t c = 0; c < CallLog::xs.size(); ++c) {
    EXPECT_EQ(CallLog::pass_through[c][0], 1.25);
    EXPECT_EQ(CallLog::pass_through[c][1], -3.5);
    EXPECT_EQ(CallLog::pass_through[c][2], 1e-7);
    EXPECT_EQ(CallLog::Ms[c], 3);
    EXPECT_EQ(CallLog::sizes[c], 4u);
  }
}

TEST(Lfit, NothingToFitIsReportedAndGivesChiSquareOfTheCoefficientsAsGiven) {
  CallLog::reset();
  constexpr int n = 5;
  std::array<double, n + 1> x{0.0, 1.0, 2.0, 3.0, 4.0, 5.0};
  std::array<double, n + 1> y{};
  std::array<double, n + 1> sig{};
  for (int i = 1; i <= n; ++i) {
    y[i] = 2.0 + 0.5 * x[i];
    sig[i] = 0.5;
  }
  // a1 is 0.5 off the model, so each point contributes (0.5 / 0.5)^2 = 1.
  std::array<double, 4> a{0.0, 2.5, 0.5, 0.0};
  const std::array<int, 4> flags{0, 0, 0, 0};
  std::array<double, 9> covar;
  covar.fill(-7.0);
  double chisq = -1.0;
  FailureRecorder failures;
  lfit(x, y, sig, n, a, flags, 3, covar, 3, chisq, logging_basis, 0.0, 0.0, 0.0,
       failures.handler());
  EXPECT_EQ(failures.messages(), Messages{"lfit: no parameters to be fitted"});
  EXPECT_EQ(a[1], 2.5);
  EXPECT_EQ(a[2], 0.5);
  EXPECT_EQ(a[3], 0.0);
  EXPECT_DOUBLE_EQ(chisq, 5.0);
  for (double c : covar) EXPECT_EQ(c, -7.0);
  EXPECT_EQ(CallLog::xs.size(), static_cast<std::size_t>(2 * n));
}

TEST(Lfit, TooFewPointsReportASingularMatrixAndTheFitGoesOn) {
  std::array<double, 2> x{0.0, 2.0};
  std::array<double, 2> y{0.0, 1.0};
  std::array<double, 2> sig{0.0, 1.0};
  std::array<double, 4> a{0.0, 0.0, 0.0, 0.0};
  const std::array<int, 4> flags{0, 1, 1, 0};
  std::array<double, 4> covar{};
  double chisq = 0.0;
  FailureRecorder failures;
  lfit(x, y, sig, 1, a, flags, 3, covar, 2, chisq, logging_basis, 0.0, 0.0, 0.0,
       failures.handler());
  EXPECT_EQ(count_of(failures.messages(), "singular matrix in gaussj"), 1);
}

TEST(Lfit, RefusesSizesBeyondItsStorage) {
  std::vector<double> x(6, 1.0), y(6, 1.0), sig(6, 1.0);
  std::vector<double> a(52, 0.0);
  std::vector<int> flags(52, 1);
  std::vector<double> covar(51 * 51, 0.0);
  double chisq = 0.0;
  auto run = [&](std::span<const double> xs, int n, std::span<double> as, std::span<const int> fs,
                 int M, std::span<double> cv, int d) {
    lfit(xs, y, sig, n, as, fs, M, cv, d, chisq, logging_basis, 0.0, 0.0, 0.0,
         throw_on_numerical_failure);
  };
  EXPECT_THROW(run(x, 5, a, flags, 51, covar, 51), std::invalid_argument);
  EXPECT_THROW(run(x, 5, a, flags, -1, covar, 3), std::invalid_argument);
  EXPECT_THROW(run(x, 5, a, flags, 3, covar, 2), std::invalid_argument);
  EXPECT_THROW(run(x, 6, a, flags, 3, covar, 3), std::invalid_argument);
  EXPECT_THROW(run(x, 5, std::span<double>(a).first(3), flags, 3, covar, 3), std::invalid_argument);
  EXPECT_THROW(run(x, 5, a, std::span<const int>(flags).first(3), 3, covar, 3),
               std::invalid_argument);
  EXPECT_THROW(run(x, 5, a, flags, 3, std::span<double>(covar).first(8), 3), std::invalid_argument);
  EXPECT_THROW(lfit(x, y, sig, 5, a, flags, 3, covar, 3, chisq, nullptr, 0.0, 0.0, 0.0,
                    throw_on_numerical_failure),
               std::invalid_argument);
  sig[4] = 0.0;
  EXPECT_THROW(run(x, 5, a, flags, 3, covar, 3), std::invalid_argument);
  for (double v : a) EXPECT_EQ(v, 0.0);
}

TEST(Gaussj, OneByOneSystem) {
  constexpr int d = 3;
  std::vector<double> a(d * d, -7.0);
  std::vector<double> b(d, -7.0);
  a[0] = 4.0;
  b[0] = 3.0;
  gaussj(a, 1, d, b, 1, throw_on_numerical_failure);
  EXPECT_EQ(a[0], 0.25);
  EXPECT_EQ(b[0], 0.75);
  for (int i = 1; i < d * d; ++i) EXPECT_EQ(a[i], -7.0);
  for (int i = 1; i < d; ++i) EXPECT_EQ(b[i], -7.0);

  std::array<double, 1> a3{3.0};
  std::array<double, 1> b3{5.0};
  gaussj(a3, 1, 1, b3, 1, throw_on_numerical_failure);
  EXPECT_DOUBLE_EQ(a3[0], 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(b3[0], 5.0 / 3.0);
}

TEST(Gaussj, InverseAndSolutionsOfAGeneralMatrix) {
  // Leading dimension 6 for a 4 x 4 block and two right-hand sides.
  constexpr int d = 6;
  const double m[4][4] = {
      {2.0, -1.0, 0.5, 3.0}, {1.0, 4.0, -2.0, 0.0}, {0.0, 1.5, 3.0, -1.0}, {5.0, 0.0, 1.0, 2.0}};
  std::vector<double> a(d * d, -7.0);
  std::vector<double> b(d * 2, -7.0);
  for (int j = 1; j <= 4; ++j) {
    for (int k = 1; k <= 4; ++k) at(a, j, k, d) = m[j - 1][k - 1];
  }
  const double rhs[2][4] = {{1.0, 2.0, 3.0, 4.0}, {-1.0, 0.0, 0.5, 10.0}};
  for (int c = 1; c <= 2; ++c) {
    for (int j = 1; j <= 4; ++j) at(b, j, c, d) = rhs[c - 1][j - 1];
  }
  gaussj(a, 4, d, b, 2, throw_on_numerical_failure);

  // mpmath, 40 digits: inverse(m) and lu_solve(m, rhs). The matrix is well conditioned
  // (condition number 7.6 in the 1-norm), so only a few ulps of rounding: tolerance 1e-14.
  const double inv[4][4] = {
      {-0.22222222222222222222, -0.026143790849673202614, -0.078431372549019607843,
       0.29411764705882352941},
      {0.11111111111111111111, 0.2189542483660130719, 0.15686274509803921569,
       -0.088235294117647058824},
      {0.11111111111111111111, -0.075163398692810457516, 0.27450980392156862745,
       -0.029411764705882352941},
      {0.5, 0.10294117647058823529, 0.058823529411764705882, -0.22058823529411764706}};
  const double sol[2][4] = {
      {0.66666666666666666667, 0.66666666666666666667, 0.66666666666666666667, 0.0},
      {3.1241830065359477124, -0.9150326797385620915, -0.2679738562091503268,
       -2.6764705882352941176}};
  for (int j = 1; j <= d; ++j) {
    for (int k = 1; k <= d; ++k) {
      if (j <= 4 && k <= 4) {
        EXPECT_NEAR(at(a, j, k, d), inv[j - 1][k - 1], 1e-14) << j << "," << k;
      } else {
        EXPECT_EQ(at(a, j, k, d), -7.0) << j << "," << k;
      }
    }
  }
  for (int c = 1; c <= 2; ++c) {
    for (int j = 1; j <= d; ++j) {
      if (j <= 4) {
        EXPECT_NEAR(at(b, j, c, d), sol[c - 1][j - 1], 1e-14) << j << "," << c;
      } else {
        EXPECT_EQ(at(b, j, c, d), -7.0);
      }
    }
  }
}

TEST(Gaussj, EqualMagnitudesEverywhereStillGiveTheExactInverse) {
  // A Hadamard matrix: every pivot search meets only ties, and every pivot choice forces row
  // interchanges that must be undone as column interchanges. H^-1 = H/4, exact in binary.
  constexpr int d = 4;
  const double h[4][4] = {
      {1.0, 1.0, 1.0, 1.0}, {1.0, -1.0, 1.0, -1.0}, {1.0, 1.0, -1.0, -1.0}, {1.0, -1.0, -1.0, 1.0}};
  std::vector<double> a(d * d);
  std::vector<double> b{4.0, 0.0, -8.0, 2.0};
  for (int j = 1; j <= d; ++j) {
    for (int k = 1; k <= d; ++k) at(a, j, k, d) = h[j - 1][k - 1];
  }
  FailureRecorder failures;
  gaussj(a, d, d, b, 1, failures.handler());
  EXPECT_EQ(failures.messages(), Messages{});
  for (int j = 1; j <= d; ++j) {
    for (int k = 1; k <= d; ++k) EXPECT_EQ(at(a, j, k, d), h[j - 1][k - 1] / 4.0);
  }
  // x = H b / 4.
  EXPECT_EQ(b[0], -0.5);
  EXPECT_EQ(b[1], -1.5);
  EXPECT_EQ(b[2], 2.5);
  EXPECT_EQ(b[3], 3.5);
}

TEST(Gaussj, TiedPivotTakesTheCandidateMetLast) {
  // A = [[2, 1], [2, 1]], b = (4, 6): the first column holds the tie. Traced by hand:
  // - last met wins: pivot (2, 1), rows 1 and 2 exchanged (b becomes 6, 4), then
  //   A = [[0.5, 0.5], [-1, 0]], b = (3, -2); the second pivot is exactly 0, its reciprocal +inf,
  //   giving A = [[inf, -inf], [-inf, inf]], b = (inf, -inf), and undoing the interchange
  //   swaps the columns: A = [[-inf, inf], [inf, -inf]].
  // - had the first been taken (pivot (1, 1), no interchange), b would be (2, 2) after step 1
  //   and the end A = [[inf, -inf], [-inf, inf]], b = (-inf, inf): every sign opposite.
  constexpr double inf = std::numeric_limits<double>::infinity();
  std::vector<double> a{2.0, 2.0, 1.0, 1.0};
  std::vector<double> b{4.0, 6.0};
  FailureRecorder failures;
  gaussj(a, 2, 2, b, 1, failures.handler());
  EXPECT_EQ(failures.messages(), Messages{"singular matrix in gaussj"});
  EXPECT_EQ(at(a, 1, 1, 2), -inf);
  EXPECT_EQ(at(a, 1, 2, 2), inf);
  EXPECT_EQ(at(a, 2, 1, 2), inf);
  EXPECT_EQ(at(a, 2, 2, 2), -inf);
  EXPECT_EQ(b[0], inf);
  EXPECT_EQ(b[1], -inf);
}

TEST(Gaussj, ZeroPivotIsReportedAndGoesOnWithAnInfiniteReciprocal) {
  std::array<double, 1> a{0.0};
  std::array<double, 1> b{2.0};
  FailureRecorder failures;
  gaussj(a, 1, 1, b, 1, failures.handler());
  EXPECT_EQ(failures.messages(), Messages{"singular matrix in gaussj"});
  EXPECT_EQ(a[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(b[0], std::numeric_limits<double>::infinity());
}

TEST(Gaussj, NoQualifyingPivotStaysInsideTheMatrix) {
  // With only NaN left no element qualifies; the routine must neither read nor write outside
  // the block (checked under the sanitizers) and reports the column chosen twice.
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr int d = 3;
  std::vector<double> a(d * d, nan);
  std::vector<double> b(d, nan);
  FailureRecorder failures;
  gaussj(a, d, d, b, 1, failures.handler());
  EXPECT_GE(count_of(failures.messages(), "singular matrix in gaussj"), 1);
  for (double v : a) EXPECT_TRUE(std::isnan(v));
  for (double v : b) EXPECT_TRUE(std::isnan(v));
}

TEST(Gaussj, EmptySystemDoesNothing) {
  std::array<double, 4> a{1.0, 2.0, 3.0, 4.0};
  std::array<double, 2> b{5.0, 6.0};
  FailureRecorder failures;
  gaussj(a, 0, 2, b, 1, failures.handler());
  EXPECT_EQ(failures.messages(), Messages{});
  EXPECT_EQ(a, (std::array<double, 4>{1.0, 2.0, 3.0, 4.0}));
  EXPECT_EQ(b, (std::array<double, 2>{5.0, 6.0}));
}

TEST(Gaussj, RefusesSizesBeyondItsStorage) {
  std::vector<double> a(51 * 51, 1.0);
  std::vector<double> b(51 * 2, 1.0);
  EXPECT_THROW(gaussj(a, 51, 51, b, 1, throw_on_numerical_failure), std::invalid_argument);
  EXPECT_THROW(gaussj(a, -1, 3, b, 1, throw_on_numerical_failure), std::invalid_argument);
  EXPECT_THROW(gaussj(a, 3, 2, b, 1, throw_on_numerical_failure), std::invalid_argument);
  EXPECT_THROW(gaussj(a, 3, 3, b, -1, throw_on_numerical_failure), std::invalid_argument);
  EXPECT_THROW(gaussj(std::span<double>(a).first(8), 3, 3, b, 1, throw_on_numerical_failure),
               std::invalid_argument);
  EXPECT_THROW(gaussj(a, 3, 3, std::span<double>(b).first(5), 2, throw_on_numerical_failure),
               std::invalid_argument);
  for (double v : a) EXPECT_EQ(v, 1.0);
}

}  // namespace
}  // namespace velk
