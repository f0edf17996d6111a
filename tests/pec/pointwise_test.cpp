#include "pec/pointwise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "io/warning.h"
#include "pec/potential_header.h"
#include "pec_test_files.h"
#include "support/failure_recorder.h"

namespace velk {
namespace {

using test::PecFileTest;

// Grid: point x at R = 1 + x/4 (exact binary radii), up to R = 20.25.
constexpr double kR0 = 1.0;
constexpr double kH = 0.25;
constexpr int kN = 77;

double radius(int x) {
  return kR0 + x * kH;
}

// Points R = 2, 2.5, ..., 20 of U(R), with the two end second derivatives.
template <class F>
std::string table(F U, double y2first = 0.0, double y2last = 0.0) {
  std::ostringstream text;
  text.precision(17);
  text << test::header(37, "PW") << y2first << "   y2 first\n" << y2last << "   y2 last\n";
  for (int i = 0; i < 37; ++i) {
    const double R = 2.0 + 0.5 * i;
    text << R << ' ' << U(R) << '\n';
  }
  return text.str();
}

const std::string kLinear = table([](double R) { return 7000.0 + 40.0 * R; });
const std::string kConstant = table([](double) { return 5000.0; });

class PointwiseTest : public PecFileTest {
 protected:
  double build(const std::string& name) {
    double Uinf = 0.0;
    console = test::console_of([&] {
      Uinf = pec_pointwise(read_pointwise(read_input_text(name)), name, V,
                           test::grid_from_origin(kR0, kH, kN), work, throw_on_numerical_failure,
                           report_handler());
    });
    return Uinf;
  }
  std::vector<double> V = std::vector<double>(kN + 1, 0.0);
  std::vector<std::string> console;
  // The extension of a file after the fit, from the builder's pure pieces.
  LongRangeExtension fitted(const std::string& name) {
    const PointwiseParameters p = read_pointwise(read_input_text(name));
    const auto Y2pts = pointwise_second_derivatives(p);
    std::vector<double> W(kN + 1, 0.0);
    const RadialGrid grid = test::grid_from_origin(kR0, kH, kN);
    tabulate_spline(W, grid, SplineTable{p.Npts, p.Rpts, p.Upts, Y2pts});
    return extension_fit(W, grid, pointwise_extension(p), work, throw_on_numerical_failure).ext;
  }
  ExtensionFitStorage work;
};

TEST_F(PointwiseTest, FileEndingAfterTheLastPointGivesAPureSpline) {
  // A cubic is its own spline when the end second derivatives are exact, so the grid, inside
  // and beyond the table (the end cubics continued), carries the cubic itself.
  const auto cubic = [](double R) { return 100.0 - 20.0 * R + 3.0 * R * R - 0.125 * R * R * R; };
  const auto second = [](double R) { return 6.0 - 0.75 * R; };
  write_file("cubic.pot", table(cubic, second(2.0), second(20.0)));
  EXPECT_EQ(build("cubic.pot"), kUinfUnset);
  EXPECT_EQ(console, std::vector<std::string>{" Pointwise PEC (delault)"});
  for (int x = 1; x <= kN; ++x) {
    // Rounding of the tridiagonal solve and of the cubic's terms (largest about 1e3).
    EXPECT_NEAR(V[x], cubic(radius(x)), 1e-10) << "R = " << radius(x);
  }
  EXPECT_FALSE(report_.has_value());
}

TEST_F(PointwiseTest, SwitchLinesOtherThanLowerCaseYMeanNoExtension) {
  write_file("base.pot", kConstant);
  write_file("upper.pot", kConstant + "Y   upper case\n8.0 12.0 0.0\n4000.0 1\n1\n6 1.0e6 1\n");
  write_file("no.pot", kConstant + "n\n");
  for (const char* name : {"base.pot", "upper.pot", "no.pot"}) {
    EXPECT_EQ(build(name), kUinfUnset) << name;
    EXPECT_EQ(V[kN], 5000.0) << name;
    EXPECT_FALSE(report_.has_value()) << name;
  }
}

TEST_F(PointwiseTest, FittedExtensionWithExchange) {
  // Straight-line table 7000 + 40 R; model a + B R - C3/R^3 with C3 = 2e4 held and a and B
  // fitted (the exchange term with alpha = 1, gamma = 0 is R itself). The least-squares line
  // through 7000 + 40 R + C3/R^3 at the 17 grid points 8, 8.25, ..., 12 (both window ends
  // included) was computed with mpmath: a = 7087.68551869581783, B = 33.4243029120534762,
  // chi^2 = 54.7058873097363613; model minus table changes sign first between R = 8.5 and 8.75.
  write_file("lin.pot", kLinear +
                            "y   extension follows\n"
                            "8.0 12.0 0.0   Rfit1 Rfit2 rho\n"
                            "1000.0 1   asymptote fitted\n"
                            "1\n"
                            "3 2.0e4 0\n"
                            "y   exchange block\n"
                            "10.0 1\n"
                            "1.0   alpha\n"
                            "0.0   gamma\n"
                            "lines after the last block are not read\n");
  // The asymptote as written, not the fitted one.
  EXPECT_EQ(build("lin.pot"), 1000.0);
  EXPECT_EQ(report_.value_or(std::vector<std::string>{}),
            (std::vector<std::string>{
                "Connection point at:          8.75000",
                "               Chi^2  0.547058873E+02",
                "           Parameter  1  0.708768552E+04  1",
                "           Parameter  3  0.200000000E+05  0",
                " Exchange:",
                "                   B  2  0.334243029E+02  1",
                "               alpha          1.00000",
                "               gamma          0.00000",
            }));
  const double a = 7087.68551869581783, B = 33.4243029120534762;
  // The spline (exact for a straight line on these radii) up to the connection point, then the
  // fitted model; the fit carries rounding of its normal equations (about 1e-12 relative).
  EXPECT_EQ(V[28], 7320.0);
  EXPECT_EQ(V[30], 7340.0);
  for (int x : {31, 40, 60, 77}) {
    const double R = radius(x);
    EXPECT_NEAR(V[x], a + B * R - 2.0e4 / (R * R * R), 1e-8) << "R = " << R;
  }
  const LongRangeExtension ext = fitted("lin.pot");
  EXPECT_NEAR(ext.extpar[1], a, 1e-8);
  EXPECT_NEAR(ext.extpar[2], B, 1e-9);
  EXPECT_EQ(ext.extpar[3], 2.0e4);
}

TEST_F(PointwiseTest, FittedExtensionWithoutExchangeAfterOneWithIt) {
  // A first call with an exchange block must leave nothing behind for the second.
  write_file("lin.pot", kLinear + "y\n8.0 12.0 0.0\n1000.0 1\n1\n3 2.0e4 0\ny\n10.0 1\n1.0\n0.0\n");
  build("lin.pot");
  // Constant table 5000; model a - C3/R^3 (C4 = 0 held, so not reported) with a fitted: a is
  // 5000 plus the mean of C3/R^3 over the 17 window points. mpmath: a = 5021.92854781635259,
  // chi^2 = 1157.32058821666039, first sign change between 9.5 and 9.75. A negative rho means
  // no damping. The file ends where the exchange switch would be.
  write_file("const.pot", kConstant + "y\n8.0 12.0 -1.0\n4000.0 1\n2\n3 2.0e4 0\n4 0.0 0\n");
  EXPECT_EQ(build("const.pot"), 4000.0);
  EXPECT_EQ(report_.value_or(std::vector<std::string>{}),
            (std::vector<std::string>{
                "Connection point at:          9.75000",
                "               Chi^2  0.115732059E+04",
                "           Parameter  1  0.502192855E+04  1",
                "           Parameter  3  0.200000000E+05  0",
            }));
  EXPECT_EQ(fitted("const.pot").exchflag, 'n');
  // Point 34 (R = 9.5) keeps the spline, point 35 (R = 9.75) starts the model.
  EXPECT_EQ(V[34], 5000.0);
  EXPECT_NEAR(V[35], 5021.92854781635259 - 2.0e4 / std::pow(9.75, 3), 1e-8);
}

TEST_F(PointwiseTest, AllParametersFixedReplacesOnlyBeyondRfit2) {
  write_file("fixed.pot", kConstant + "y\n8.0 12.0 0.0\n5000.0 0\n1\n6 1.0e6 0\nn\n");
  EXPECT_EQ(build("fixed.pot"), 5000.0);
  EXPECT_EQ(report_.value_or(std::vector<std::string>{}),
            (std::vector<std::string>{
                " All parameters fixed",
                "Connection point at:         12.00000",
                "           Parameter  1  0.500000000E+04  0",
                "           Parameter  6  0.100000000E+07  0",
            }));
  // Point 44 lies exactly at Rfit2 and keeps its spline value.
  for (int x = 1; x <= 44; ++x) EXPECT_EQ(V[x], 5000.0) << "R = " << radius(x);
  for (int x = 45; x <= kN; ++x) {
    const double R = radius(x);
    EXPECT_NEAR(V[x], 5000.0 - 1.0e6 / std::pow(R, 6), 1e-11) << "R = " << R;
    EXPECT_LT(V[x], 5000.0);
  }
}

TEST_F(PointwiseTest, FiveHundredPointsAreAccepted) {
  std::ostringstream text;
  text << test::header(500, "  ") << "0.0\n0.0\n";
  for (int i = 1; i <= 500; ++i) text << 1.0 + 0.05 * i << ' ' << 2.0 * i << '\n';
  write_file("p500.pot", text.str());
  EXPECT_EQ(build("p500.pot"), kUinfUnset);
  // A straight line, continued beyond the table.
  EXPECT_NEAR(V[1], 2.0 * (radius(1) - 1.0) / 0.05, 1e-9);
  EXPECT_NEAR(V[kN], 2.0 * (radius(kN) - 1.0) / 0.05, 1e-9);
}

TEST_F(PointwiseTest, RefusesBadFiles) {
  const std::string ext = "y\n8.0 12.0 0.0\n5000.0 1\n";
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {test::header(501, "PW"), "number of points must be less than 500"},
      {test::header(1, "PW") + "0.0\n0.0\n2.0 1.0\n",
       "velk: bad.pot: a pointwise potential needs at least 2 points, found 1"},
      {test::header(-4, "PW"), "velk: bad.pot: line 1: the number of points is negative (-4)"},
      {test::header(3, "PW") + "0.0\n0.0\n2.0 1.0\n3.0 2.0\n3.0 4.0\n",
       "velk: bad.pot: line 13: the radii of the points must increase strictly"},
      {kConstant + ext + "0\n",
       "velk: bad.pot: line 51: the long-range extension needs at least one dispersion line, "
       "found 0"},
      {kConstant + ext + "-2\n",
       "velk: bad.pot: line 51: the long-range extension needs at least one dispersion line, "
       "found -2"},
      {kConstant + ext + "1\n2 1.0 1\n",
       "velk: bad.pot: line 52: dispersion index 2 outside 3..20"},
      {kConstant + ext + "1\n1 1.0 1\n",
       "velk: bad.pot: line 52: dispersion index 1 outside 3..20"},
      {kConstant + ext + "1\n21 1.0 1\n",
       "velk: bad.pot: line 52: dispersion index 21 outside 3..20"},
      {kConstant + "y\n8.0 12.0 0.0\n5000.0 -1\n1\n6 1.0 1\n",
       "velk: bad.pot: line 50: fit switch -1 is negative (0 fixed, 1 fitted)"},
      {kConstant + ext + "1\n6 1.0 -1\n",
       "velk: bad.pot: line 52: fit switch -1 is negative (0 fixed, 1 fitted)"},
      {kConstant + ext + "1\n6 1.0 1\ny\n3.0 -2\n1.0\n1.0\n",
       "velk: bad.pot: line 54: fit switch -2 is negative (0 fixed, 1 fitted)"},
      {kConstant + ext + "2\n8 1.0 1\n6 1.0 1\n",
       "velk: bad.pot: line 53: dispersion index 6 does not exceed the previous one (8)"},
  };
  for (const auto& c : cases) {
    write_file("bad.pot", c.file);
    V.assign(kN + 1, -7.0);
    EXPECT_EQ(test::stop_message([&] {
                pec_pointwise(read_pointwise(read_input_text("bad.pot")), "bad.pot", V,
                              test::grid_from_origin(kR0, kH, kN), work, throw_on_numerical_failure,
                              report_handler());
              }),
              c.message);
    EXPECT_EQ(V[10], -7.0);
    EXPECT_FALSE(report_.has_value());
  }
}

TEST_F(PointwiseTest, RefusesAFitWindowBeyondTheFitStorage) {
  write_file("wide.pot", kConstant + "y\n8.0 14.0 0.0\n5000.0 1\n1\n6 1.0e6 1\n");
  // h = 0.001 puts 6001 grid points into [8, 14].
  const int N = 19000;
  std::vector<double> W(N + 1, -7.0);
  EXPECT_EQ(test::stop_message([&] {
              pec_pointwise(read_pointwise(read_input_text("wide.pot")), "wide.pot", W,
                            test::grid_from_origin(1.0, 0.001, N), work, throw_on_numerical_failure,
                            report_handler());
            }),
            "velk: wide.pot: the fit window holds 6001 grid points, at most 5000 are allowed");
  EXPECT_EQ(W[100], -7.0);
  EXPECT_FALSE(report_.has_value());
  // All parameters fixed: no fit points are stored, so the window may be wide.
  write_file("wide.pot", kConstant + "y\n8.0 14.0 0.0\n5000.0 0\n1\n6 1.0e6 0\n");
  EXPECT_NO_THROW(test::console_of([&] {
    pec_pointwise(read_pointwise(read_input_text("wide.pot")), "wide.pot", W,
                  test::grid_from_origin(1.0, 0.001, N), work, throw_on_numerical_failure,
                  report_handler());
  }));
}

TEST_F(PointwiseTest, RefusesAnExtensionEvaluatedAtZeroRadius) {
  write_file("neg.pot", kConstant + "y\n-1.0 12.0 0.0\n5000.0 1\n1\n6 1.0e6 1\n");
  // The grid starts at R = -1.75: the window reaches R = 0.
  EXPECT_EQ(test::stop_message([&] {
              pec_pointwise(read_pointwise(read_input_text("neg.pot")), "neg.pot", V,
                            test::grid_from_origin(-2.0, kH, kN), work, throw_on_numerical_failure,
                            report_handler());
            }),
            "velk: neg.pot: the long-range extension would be evaluated at R <= 0");
  // Without an extension the spline is defined everywhere.
  write_file("plain.pot", kConstant);
  EXPECT_NO_THROW(test::console_of([&] {
    pec_pointwise(read_pointwise(read_input_text("plain.pot")), "plain.pot", V,
                  test::grid_from_origin(-2.0, kH, kN), work, throw_on_numerical_failure,
                  report_handler());
  }));
}

TEST_F(PointwiseTest, FileEndingBeforeTheLastPointIsAnInputError) {
  write_file("cut.pot", test::header(3, "PW") + "0.0\n0.0\n2.0 1.0\n3.0 2.0\n");
  EXPECT_THROW(build("cut.pot"), InputError);
}

// The checks report the first fault met reading from the top of the file, even when the file
// breaks off further down: the reader keeps its input error until the faults before it are told.
TEST_F(PointwiseTest, FaultsComeInTheOrderOfTheFileBeforeALaterInputError) {
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      // Line 1 alone: the count is judged before the missing lines 2 to 8.
      {"-4\n", "velk: bad.pot: line 1: the number of points is negative (-4)"},
      {"501\n", "number of points must be less than 500"},
      {test::header(1, "PW"),
       "velk: bad.pot: a pointwise potential needs at least 2 points, found 1"},
      // Radii that fall at line 13, then the fourth point is missing.
      {test::header(4, "PW") + "0.0\n0.0\n2.0 1.0\n3.0 2.0\n3.0 4.0\n",
       "velk: bad.pot: line 13: the radii of the points must increase strictly"},
      // A negative switch at line 50, then the block breaks off.
      {kConstant + "y\n8.0 12.0 0.0\n5000.0 -1\n",
       "velk: bad.pot: line 50: fit switch -1 is negative (0 fixed, 1 fitted)"},
      // A bad index on the first of three dispersion lines, then nothing.
      {kConstant + "y\n8.0 12.0 0.0\n5000.0 1\n3\n2 1.0 1\n",
       "velk: bad.pot: line 52: dispersion index 2 outside 3..20"},
      // Nineteen lines can never rise strictly inside 3..20: the reader stops at the 19th.
      {[] {
         std::string text = kConstant + "y\n8.0 12.0 0.0\n5000.0 1\n25\n";
         for (int k = 3; k <= 20; ++k) text += std::to_string(k) + " 1.0 0\n";
         return text + "20 1.0 0\n";
       }(),
       "velk: bad.pot: line 70: dispersion index 20 does not exceed the previous one (20)"},
  };
  for (const auto& c : cases) {
    write_file("bad.pot", c.file);
    EXPECT_EQ(test::stop_message([&] {
                pec_pointwise(read_pointwise(read_input_text("bad.pot")), "bad.pot", V,
                              test::grid_from_origin(kR0, kH, kN), work, throw_on_numerical_failure,
                              report_handler());
              }),
              c.message);
  }
  // With no fault before it, the input error is what the user sees.
  write_file("cut.pot", kConstant + "y\n8.0 12.0 0.0\n5000.0 1\n2\n6 1.0 1\n");
  EXPECT_THROW(build("cut.pot"), InputError);
  const PointwiseParameters p = read_pointwise(read_input_text("cut.pot"));
  ASSERT_TRUE(p.read_failure.has_value());
  EXPECT_EQ(p.dispersion_read, 1);
  EXPECT_EQ(p.points_read, 37);
}

// A fit window between two grid points leaves the fit without points: the singular normal
// matrix is handed to the failure handler, and the build goes on with the values at hand and
// still writes its report.
TEST_F(PointwiseTest, AFailedFitIsReportedToTheHandlerAndTheBuildGoesOn) {
  write_file("empty.pot", kConstant + "y\n8.1 8.2 0.0\n5000.0 1\n1\n6 1.0e6 0\n");
  test::FailureRecorder failures;
  test::console_of([&] {
    pec_pointwise(read_pointwise(read_input_text("empty.pot")), "empty.pot", V,
                  test::grid_from_origin(kR0, kH, kN), work, failures.handler(), report_handler());
  });
  EXPECT_EQ(failures.messages(), std::vector<std::string>{"singular matrix in gaussj"});
  // No crossing with a parameter that is not a number: the spline stays everywhere.
  for (int x = 1; x <= kN; ++x) EXPECT_EQ(V[x], 5000.0) << "R = " << radius(x);
  ASSERT_EQ(report_.value_or(std::vector<std::string>{}).size(), 3u);
  EXPECT_EQ(report_.value_or(std::vector<std::string>{})[2],
            "           Parameter  6  0.100000000E+07  0");
}

// --- warnings
// -------------------------------------------------------------------------------------

std::vector<std::string> pointwise_warnings(const std::string& name, const RadialGrid& grid) {
  WarningCapture capture;
  const PointwiseParameters p = read_pointwise(read_input_text(name));
  warn_pointwise(p, name, grid);
  return capture.lines();
}

// A count of 30 before 37 points: the 7 after the 30th are what the builder ignores, and the line
// of the first of them is named. The switch line counts as a point when it holds one.
TEST_F(PointwiseTest, ATableLongerThanItsCountIsNamed) {
  std::string text = kLinear;
  text.replace(0, 2, "30");
  write_file("long.pot", text);
  const PointwiseParameters p = read_pointwise(read_input_text("long.pot"));
  EXPECT_EQ(p.Npts, 30);
  EXPECT_EQ(p.extra_point_lines, 7);
  EXPECT_EQ(p.extra_line, p.point_line[30] + 1);
  const RadialGrid inside(2.0, 16.5, 100);  // the 30th point is at 16.5 Å
  const std::vector<std::string> lines = pointwise_warnings("long.pot", inside);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            "velk: warning: long.pot: the header announces 30 points, but 37 lines of "
            "points follow; the 7 from line " +
                std::to_string(p.extra_line) + " on are ignored (correct the count)");
  // The full count, and a count followed by a switch line, give nothing to say.
  write_file("whole.pot", kLinear + "n\n");
  EXPECT_EQ(read_pointwise(read_input_text("whole.pot")).extra_point_lines, 0);
  EXPECT_TRUE(pointwise_warnings("whole.pot", RadialGrid(2.0, 20.0, 100)).empty());
}

// The table of kLinear spans 720 cm-1; in hartree (divided by 219474.63) it spans 0.0033.
TEST_F(PointwiseTest, EnergiesSpanningLessThanOneWavenumberAreNamedWithTheUnits) {
  write_file("hartree.pot", table([](double R) { return (7000.0 + 40.0 * R) / 219474.6313632; }));
  const std::vector<std::string> lines = pointwise_warnings("hartree.pot", RadialGrid(2, 20, 100));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("span only 0.003281 cm-1; energies are expected in cm-1 and radii in Å"),
            std::string::npos)
      << lines[0];
}

// The last point is at 20 Å: a grid to 20.25 Å runs on the spline's extrapolation unless an
// extension block carries the curve there.
TEST_F(PointwiseTest, AGridBeyondTheLastPointWithoutExtensionIsNamed) {
  write_file("plain.pot", kLinear);
  EXPECT_TRUE(pointwise_warnings("plain.pot", RadialGrid(2.0, 20.0, 100)).empty());
  const std::vector<std::string> lines = pointwise_warnings("plain.pot", RadialGrid(2, 20.25, 100));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            "velk: warning: plain.pot: the grid reaches R = 20.25 Å, beyond the last "
            "point of the table (R = 20 Å), and the file has no extension block: the "
            "curve there is the spline's extrapolation");
  write_file("ext.pot", kLinear + "y\n8.0 12.0 0.0\n4000.0 1\n1\n6 1.0e6 1\n");
  EXPECT_TRUE(pointwise_warnings("ext.pot", RadialGrid(2, 20.25, 100)).empty());
}

}  // namespace
}  // namespace velk
