#include "pec/extension_fit.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "numlib/constants.h"
#include "numlib/ipow.h"
#include "pec/spline.h"
#include "pec_test_files.h"
#include "support/failure_recorder.h"

namespace velk {
namespace {

using test::PecFileTest;

TEST(ExtensionBasis, DampedDispersionUsesTheSinglePrecisionConstants) {
  std::vector<double> X(9, 0.0);
  extension_basis(7.5, X, 8, 1.5, 0.8, 0.5);
  // mpmath at 40 digits with c1 = 2.0999999046325684 and c2 = 0.10899999737739563; with 2.1 and
  // 0.109 X6 would be -2.2111485933e-6, 7.5e-8 away, far outside the few-ulp tolerance.
  EXPECT_EQ(X[1], 1.0);
  EXPECT_NEAR(X[2], 0.05091256806094481905, 1e-16);
  EXPECT_NEAR(X[3], -0.0021640567511404912537, 1e-13 * 0.0021640567511404912537);
  EXPECT_NEAR(X[6], -2.2111484267368296182e-6, 1e-13 * 2.2111484267368296182e-6);
  EXPECT_NEAR(X[8], -1.4063978303441343136e-8, 1e-13 * 1.4063978303441343136e-8);
}

// The model summed term by term with every basis value formed, as the formula reads: the value
// must be this to the bit, whichever terms the evaluation leaves out (zero coefficients, the
// exchange term without alpha and gamma) and at radii where the powers overflow or vanish.
double model_with_every_term(double R, const LongRangeExtension& ext) {
  double V = 0.0;
  for (int j = 1; j <= ext.nextpar; ++j) {
    double X = 1.0;
    if (j == 2) {
      X = std::pow(R, ext.alpha) * std::exp(-ext.gamma * R);
    } else if (j >= 3) {
      double f = 1.0;
      if (ext.rho > 0.0) {
        const double rhoR = ext.rho * R;
        f = ipow(1.0 - std::exp(-constants::kDampingC1 * ext.rho * R / j -
                                constants::kDampingC2 * ipow(rhoR, 2) / std::sqrt(double(j))),
                 j);
      }
      X = -f / ipow(R, j);
    }
    V += ext.extpar[static_cast<std::size_t>(j)] * X;
  }
  return V;
}

TEST(ExtensionValue, EqualsTheSumOfEveryTermOnRandomModels) {
  std::mt19937_64 random(3131);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double radii[] = {1e-300, 1e-20, 1e-14, 0.3, 1.0, 7.5, 19.0, 1e14, 1e20, 1e300};
  for (int trial = 0; trial < 300; ++trial) {
    LongRangeExtension ext;
    ext.extflag = 'y';
    ext.nextpar = 1 + static_cast<int>(random() % kExtensionCapacity);
    for (int j = 1; j <= ext.nextpar; ++j) {
      // Half the coefficients zero, some of them -0.
      const double c = random() % 2 ? 0.0 : std::ldexp(unit(random) - 0.5, 10 + j);
      ext.extpar[static_cast<std::size_t>(j)] = random() % 4 ? c : -c;
    }
    const bool exchange = random() % 2;
    ext.alpha = exchange ? 3.0 * unit(random) : 0.0;
    ext.gamma = exchange ? unit(random) : 0.0;
    ext.rho = random() % 2 ? unit(random) : 0.0;
    std::array<double, kExtensionCapacity + 1> X{};
    for (int probe = 0; probe < 40; ++probe) {
      const double R = probe < 10 ? radii[probe] : 2.0 + 40.0 * unit(random);
      const double want = model_with_every_term(R, ext);
      const double got = extension_value(R, ext, X);
      if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << "trial " << trial << ", R = " << R;
      } else {
        ASSERT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want))
            << "trial " << trial << ", R = " << R << ": " << got << " against " << want;
      }
    }
  }
}

TEST(ExtensionBasis, WithoutPositiveRhoTheDispersionIsUndamped) {
  for (double rho : {0.0, -0.5}) {
    std::vector<double> X(7, 0.0);
    extension_basis(7.5, X, 6, 0.0, 0.0, rho);
    EXPECT_EQ(X[2], 1.0);  // R^0 exp(0)
    for (int k = 3; k <= 6; ++k) EXPECT_DOUBLE_EQ(X[k], -1.0 / std::pow(7.5, k)) << "k = " << k;
  }
}

// A pointwise table of n points R = first, first + step, ... of U, with its natural spline.
struct Table {
  Table(int n, double first, double step, double (*U)(double))
      : R(n + 1, 0.0), V(n + 1, 0.0), Y2(n + 1, 0.0) {
    for (int i = 1; i <= n; ++i) {
      R[i] = first + step * (i - 1);
      V[i] = U(R[i]);
    }
    spline_second_derivatives(n, R, V, Y2, 0.0, 0.0);
    spline = SplineTable{n, R, V, Y2};
  }
  std::vector<double> R, V, Y2;
  SplineTable spline;
};

// Runs the extension as the pointwise builder does: check, spline, fit, potext.out; ext receives
// the fitted parameters.
class ExtensionFitTest : public PecFileTest {
 protected:
  void run_extension(std::vector<double>& V, double R0, double h, const SplineTable& spline, int N,
                     LongRangeExtension& ext, const std::string& file) {
    const RadialGrid grid = test::grid_from_origin(R0, h, N);
    check_extension(ext, grid, file);
    tabulate_spline(V, grid, spline);
    if (ext.extflag != 'y') return;
    const ExtensionReport report = extension_fit(V, grid, ext, work, failures.handler());
    write_file("potext.out", "");
    std::string text;
    for (const auto& line : potext_lines(report)) text += line + "\n";
    write_file("potext.out", text);
    ext = report.ext;
  }
  ExtensionFitStorage work;
  test::FailureRecorder failures;
};

double zero(double) {
  return 0.0;
}

TEST_F(ExtensionFitTest, WithoutTheSwitchOnlyTheSplineIsTabulated) {
  const Table table(3, 1.0, 1.0, [](double R) { return 2.0 * R; });
  LongRangeExtension ext;
  ext.extflag = 'Y';
  ext.extpar[1] = 9.0;
  ext.extfit[1] = 1;
  ext.nextpar = 0;  // not looked at
  std::vector<double> V(11, 0.0);
  run_extension(V, 0.0, 1.0, table.spline, 10, ext, "t.pot");
  for (int i = 1; i <= 10; ++i) EXPECT_DOUBLE_EQ(V[i], 2.0 * i);
  EXPECT_EQ(ext.extpar[1], 9.0);
  EXPECT_FALSE(std::filesystem::exists("potext.out"));
}

TEST_F(ExtensionFitTest, SmallModelsAreAConstantAndTheExchangeTerm) {
  const Table table(2, 1.0, 1.0, zero);
  LongRangeExtension ext;
  ext.extflag = 'y';
  ext.Rfit1 = 3.0;
  ext.Rfit2 = 5.0;
  ext.extpar[1] = 3.0;
  ext.extpar[2] = 4.0;
  ext.extpar[3] = -2.5;  // outside the model, still reported
  ext.alpha = 0.5;
  ext.gamma = 0.1;
  std::vector<double> V(9, 0.0);

  ext.nextpar = 2;
  run_extension(V, 0.0, 1.0, table.spline, 8, ext, "t.pot");
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(V[i], 0.0);
  for (int i = 6; i <= 8; ++i) {
    EXPECT_NEAR(V[i], 3.0 + 4.0 * std::sqrt(i) * std::exp(-0.1 * i), 1e-14) << "R = " << i;
  }
  // No exchange block is written without its switch, and the amplitude is never a parameter line.
  EXPECT_EQ(read_lines("potext.out"), (std::vector<std::string>{
                                          " All parameters fixed",
                                          "Connection point at:          5.00000",
                                          "           Parameter  1  0.300000000E+01  0",
                                          "           Parameter  3 -0.250000000E+01  0",
                                      }));

  ext.nextpar = 1;
  run_extension(V, 0.0, 1.0, table.spline, 8, ext, "t.pot");
  for (int i = 6; i <= 8; ++i) EXPECT_EQ(V[i], 3.0);
}

TEST_F(ExtensionFitTest, ModelParametersOutsideTheCapacityAreRefused) {
  const Table table(2, 1.0, 1.0, zero);
  LongRangeExtension ext;
  ext.extflag = 'y';
  std::vector<double> V(9, 0.0);
  ext.nextpar = 0;
  EXPECT_THROW(run_extension(V, 0.0, 1.0, table.spline, 8, ext, "t.pot"), std::invalid_argument);
  ext.nextpar = 21;
  EXPECT_THROW(run_extension(V, 0.0, 1.0, table.spline, 8, ext, "t.pot"), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists("potext.out"));
}

TEST_F(ExtensionFitTest, PointAtRfit1IsFittedButNotExaminedForTheConnection) {
  // Zero table; window of the two grid points 3 and 4; model a - 27/R^3 with a fitted, so
  // a = (1 + 27/64)/2 = 0.7109375 and the model lies below the table at 3 and above it from 4 on.
  // The crossing between 3 and 4 does not count: point 3 is not examined, and point 4, the first
  // examined, has no earlier difference to compare with.
  const Table table(2, 1.0, 1.0, zero);
  LongRangeExtension ext;
  ext.extflag = 'y';
  ext.Rfit1 = 3.0;
  ext.Rfit2 = 4.0;
  ext.nextpar = 3;
  ext.extfit[1] = 1;
  ext.extpar[3] = 27.0;
  std::vector<double> V(9, -1.0);
  run_extension(V, 0.0, 1.0, table.spline, 8, ext, "t.pot");
  EXPECT_DOUBLE_EQ(ext.extpar[1], 0.7109375);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(V[i], 0.0) << "R = " << i;
  // chi^2 = 2 * 0.2890625^2 = 0.1671142578125; no connection line.
  EXPECT_EQ(read_lines("potext.out"), (std::vector<std::string>{
                                          "               Chi^2  0.167114258E+00",
                                          "           Parameter  1  0.710937500E+00  1",
                                          "           Parameter  3  0.270000000E+02  0",
                                      }));
}

// The model the fit is meant to recover: 8000 - C6 f6/R^6 - C8 f8/R^8, damped with rho = 0.4,
// written out here on its own from the definition.
double damped(double R, int k) {
  const double rho = 0.4;
  const double c1 = 2.0999999046325684, c2 = 0.10899999737739563;
  return std::pow(1.0 - std::exp(-c1 * rho * R / k - c2 * (rho * R) * (rho * R) / std::sqrt(k)), k);
}
double model(double R) {
  return 8000.0 - 2.0e6 * damped(R, 6) / std::pow(R, 6) - 5.0e7 * damped(R, 8) / std::pow(R, 8);
}

TEST_F(ExtensionFitTest, RecoversDispersionCoefficientsOfTheModel) {
  // 251 points from 5 to 30 Å; the fit sees the spline at the 1201 grid points in [8, 20].
  const Table table(251, 5.0, 0.1, model);
  LongRangeExtension ext;
  ext.extflag = 'y';
  ext.Rfit1 = 8.0;
  ext.Rfit2 = 20.0;
  ext.rho = 0.4;
  ext.nextpar = 8;
  ext.extpar[1] = 7000.0;
  ext.extpar[6] = 1.0e6;
  ext.extpar[8] = 1.0e7;
  ext.extfit[1] = ext.extfit[6] = ext.extfit[8] = 1;
  const int N = 2500;
  std::vector<double> V(N + 1, 0.0);
  run_extension(V, 4.99, 0.01, table.spline, N, ext, "fit.pot");
  // The spline of a 0.1 Å table misses the curve by about 1e-8 cm-1 in the window, which the
  // fit turns into relative errors of 3e-7 in C6 and 3e-6 in C8 (measured); 1e-5 leaves room.
  EXPECT_NEAR(ext.extpar[1], 8000.0, 1e-6);
  EXPECT_NEAR(ext.extpar[6] / 2.0e6, 1.0, 1e-5);
  EXPECT_NEAR(ext.extpar[8] / 5.0e7, 1.0, 1e-5);
  for (int k : {2, 3, 4, 5, 7}) EXPECT_EQ(ext.extpar[k], 0.0) << "k = " << k;
  // The grid carries the curve, whichever side of the connection a point lies on. Near 5 Å the
  // natural spline's wrong end condition still shows (1.6e-4 at 5 Å), from 5.5 Å on it is below
  // 2.2e-7 (measured), so 1e-6 there.
  for (int i = 52; i <= N; ++i) {
    const double R = 4.99 + i * 0.01;
    ASSERT_NEAR(V[i], model(R), 1e-6) << "R = " << R;
  }
  const auto lines = read_lines("potext.out");
  ASSERT_GE(lines.size(), 4u);
  const auto chi = lines[lines.size() - 4];
  EXPECT_EQ(chi.substr(0, 20), "               Chi^2");
  EXPECT_LT(std::stod(chi.substr(20)), 1e-6);
  EXPECT_EQ(lines[lines.size() - 3].substr(0, 25), "           Parameter  1  ");
  EXPECT_EQ(lines[lines.size() - 2].substr(0, 25), "           Parameter  6  ");
  EXPECT_EQ(lines[lines.size() - 1].substr(0, 25), "           Parameter  8  ");
}

}  // namespace
}  // namespace velk
