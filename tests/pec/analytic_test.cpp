#include "pec/analytic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "pec_test_files.h"

namespace velk {
namespace {

using test::PecFileTest;

// Grid of these tests: point x at R = 1 + x/4 (exact binary radii); Ri = 2.25 is point 5 and
// Ro = 6.5 point 22.
constexpr double kR0 = 1.0;
constexpr double kH = 0.25;
constexpr int kN = 60;

// Rm = 3, b = 0.2, a = (-4000, 100, 20000, -12000, 3000).
const std::string kExpansion =
    "3.0   Rm\n0.2   b\n0 -4000.0\n1 100.0\n2 20000.0\n3 -12000.0\n4 3000.0\n";

std::string analytic_file(const std::string& wall, const std::string& tail,
                          const std::string& expansion = kExpansion, int lines = 5) {
  return test::header(lines, "AN") + expansion + wall + tail;
}

// Derived type-1 wall (N = 8), derived asymptote with C6 and C8 given, no exchange.
const std::string kDerived = analytic_file("1   srtype\n0.0 0.0 8.0   A B N\n",
                                           "0.0   Uinf\n2\n6 1.5e6\n8 2.0e7\n"
                                           "0.0 0.0 1.0   exchange\n2.25 6.5   Ri Ro\n");

// Reference values computed with mpmath at 40 digits from the definitions (P' by numerical
// differentiation at that precision).
constexpr double kPRi = -2408.1959162375979313;
constexpr double kdPRi = -5822.9723448052763642;
constexpr double kPRo = -350.90793481942418528;
constexpr double kdPRo = 893.21947628597247003;
constexpr double kP45 = -2523.3474216065420673;

std::vector<double> numbers_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> values;
  for (double v; in >> v;) values.push_back(v);
  return values;
}

// The double evaluation of the series loses a few ulps of its largest terms (about 1e4).
void expect_close(double actual, double expected, double relative = 1e-12) {
  EXPECT_NEAR(actual, expected, relative * std::max(1.0, std::abs(expected)));
}

class AnalyticTest : public PecFileTest {
 protected:
  std::vector<double> V = std::vector<double>(kN + 1, 0.0);
};

TEST_F(AnalyticTest, DerivedWallContinuesTheSeriesInValueAndSlopeAtRi) {
  write_file("an.pot", kDerived);
  const auto console = test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("an.pot")), "an.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  });
  ASSERT_EQ(console.size(), 4u);
  EXPECT_EQ(console[0], " Analytic PEC (Tiemann)");
  EXPECT_EQ(console[1], " Polynomial extension at short range.");
  const auto AB = numbers_of(console[2]);
  ASSERT_EQ(AB.size(), 2u);
  const double Asr = AB[0], Bsr = AB[1], Ri = 2.25, Nsr = 8.0;
  // Printed with 15 significant digits.
  expect_close(Asr + Bsr / std::pow(Ri, Nsr), kPRi, 1e-11);
  expect_close(-Nsr * Bsr / std::pow(Ri, Nsr + 1.0), kdPRi, 1e-11);
  // The grid point at Ri takes the series, the one before it the wall.
  expect_close(V[5], kPRi);
  expect_close(V[4], Asr + Bsr / std::pow(2.0, Nsr), 1e-11);
  expect_close(V[4], 156.10656200975286444, 1e-10);  // mpmath, the wall at R = 2
}

TEST_F(AnalyticTest, DerivedAsymptoteMeetsTheSeriesInValueAndSlopeAtRo) {
  write_file("an.pot", kDerived);
  double Uinf_returned = -1.0;
  const auto console = test::console_of([&] {
    Uinf_returned = pec_analytic(read_analytic(read_input_text("an.pot")), "an.pot", V,
                                 test::grid_from_origin(kR0, kH, kN));
  });
  ASSERT_EQ(console.size(), 4u);
  // The driver receives the value of the file.
  EXPECT_EQ(Uinf_returned, 0.0);
  // A free-format line of a real, a 32-bit integer in 12 columns and a real.
  const std::string& line = console[3];
  ASSERT_EQ(line.size(), 60u);
  EXPECT_EQ(line.substr(24, 12), "          10");
  const auto values = numbers_of(line);
  ASSERT_EQ(values.size(), 3u);
  const double Uinf = values[0], C10 = values[2], Ro = 6.5;
  // mpmath values of the derived asymptote and coefficient (largest index 8, so C10).
  expect_close(Uinf, 238.89560748372167277, 1e-11);
  expect_close(C10, 75881143387.802304647, 1e-11);
  const double value =
      Uinf - 1.5e6 / std::pow(Ro, 6) - 2.0e7 / std::pow(Ro, 8) - C10 / std::pow(Ro, 10);
  const double slope =
      6 * 1.5e6 / std::pow(Ro, 7) + 8 * 2.0e7 / std::pow(Ro, 9) + 10 * C10 / std::pow(Ro, 11);
  expect_close(value, kPRo, 1e-10);
  expect_close(slope, kdPRo, 1e-10);
  // The point at Ro takes the series; beyond it the derived tail (mpmath at R = 10 and 14).
  expect_close(V[22], kPRo);
  expect_close(V[36], 229.60749314494144231, 1e-11);
  expect_close(V[52], 238.4205065958925565, 1e-11);
}

TEST_F(AnalyticTest, PointsAtTheConnectionRadiiTakeTheSeries) {
  // Neither end is continuous here: the wall is near 1e4 and the tail near 0, so each grid point
  // shows which piece it took.
  write_file("an.pot", analytic_file("1\n9000.0 100.0 6.0\n",
                                     "-5.0   Uinf\n1\n6 1.0e5\n20.0 0.5 1.1   exchange\n"
                                     "2.25 6.5\n"));
  const auto console = test::console_of([&] {
    EXPECT_EQ(pec_analytic(read_analytic(read_input_text("an.pot")), "an.pot", V,
                           test::grid_from_origin(kR0, kH, kN)),
              -5.0);
  });
  // Nothing is derived, so nothing is printed beyond the two lines.
  EXPECT_EQ(console.size(), 2u);
  expect_close(V[5], kPRi);
  expect_close(V[22], kPRo);
  EXPECT_EQ(V[8], -4000.0);  // R = Rm: xi = 0 gives a0 exactly
  expect_close(V[14], kP45);
  expect_close(V[4], 9000.0 + 100.0 / std::pow(2.0, 6.0), 1e-15);
  for (int x : {23, 40, 60}) {
    const double R = kR0 + x * kH;
    const double tail =
        -5.0 - 1.0e5 / std::pow(R, 6) + 20.0 * std::pow(R, 0.5) * std::exp(-1.1 * R);
    expect_close(V[x], tail, 1e-14);
  }
}

TEST_F(AnalyticTest, TypeTwoWallIsUsedAsRead) {
  write_file("an.pot",
             analytic_file("2   exponential\n500.0 2.0\n", "100.0\n0\n0.0 0.0 1.0\n2.25 6.5\n"));
  auto console = test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("an.pot")), "an.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  });
  EXPECT_EQ(console, (std::vector<std::string>{" Analytic PEC (Tiemann)",
                                               " Exponential extension at short range."}));
  for (int x = 1; x <= 4; ++x) {
    const double R = kR0 + x * kH;
    expect_close(V[x], 500.0 * std::exp(-2.0 * (R - 2.25)), 1e-15);
  }
  // Zeros are not matched either: the wall is 0.
  write_file("zero.pot", analytic_file("2\n0.0 0.0\n", "100.0\n0\n0.0 0.0 1.0\n2.25 6.5\n"));
  console = test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("zero.pot")), "zero.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  });
  EXPECT_EQ(console.size(), 2u);
  EXPECT_EQ(V[3], 0.0);
}

TEST_F(AnalyticTest, WithoutLongRangeLinesTheDerivedCoefficientIsC2) {
  write_file("an.pot", analytic_file("2\n500.0 2.0\n", "0.0\n0\n0.0 0.0 1.0\n2.25 6.5\n"));
  const auto console = test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("an.pot")), "an.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  });
  ASSERT_EQ(console.size(), 3u);
  EXPECT_EQ(console[2].substr(24, 12), "           2");
  // Uinf - C2/R^2 meets P in value and slope at Ro: C2 = P'(Ro) Ro^3/2, Uinf = P(Ro) + P'(Ro) Ro/2.
  const auto values = numbers_of(console[2]);
  expect_close(values[0], kPRo + kdPRo * 6.5 / 2.0, 1e-11);
  expect_close(values[2], kdPRo * std::pow(6.5, 3) / 2.0, 1e-11);
}

TEST_F(AnalyticTest, LaterLinesReplaceEarlierOnes) {
  const std::string tail = "100.0\n1\n6 1.0e5\n0.0 0.0 1.0\n2.25 6.5\n";
  write_file("small.pot", analytic_file("2\n500.0 2.0\n", tail));
  std::vector<double> small(kN + 1, 0.0);
  test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("small.pot")), "small.pot", small,
                 test::grid_from_origin(kR0, kH, kN));
  });
  // a_2 and C6 are given twice; the second values are those of the small file.
  write_file("twice.pot",
             analytic_file("2\n500.0 2.0\n", "100.0\n2\n6 3.0e5\n6 1.0e5\n0.0 0.0 1.0\n2.25 6.5\n",
                           kExpansion.substr(0, kExpansion.find("2 20000.0")) + "2 77.0\n" +
                               kExpansion.substr(kExpansion.find("2 20000.0")),
                           6));
  test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("twice.pot")), "twice.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  });
  EXPECT_EQ(V, small);
}

TEST_F(AnalyticTest, AcceptsAllHundredAndOneCoefficients) {
  const std::string tail = "100.0\n1\n6 1.0e5\n0.0 0.0 1.0\n2.25 6.5\n";
  write_file("small.pot", analytic_file("2\n500.0 2.0\n", tail));
  std::vector<double> small(kN + 1, 0.0);
  test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("small.pot")), "small.pot", small,
                 test::grid_from_origin(kR0, kH, kN));
  });

  std::string lines = kExpansion;
  for (int k = 5; k <= 100; ++k) lines += std::to_string(k) + " 0.0\n";
  write_file("limit.pot", analytic_file("2\n500.0 2.0\n", tail, lines, 101));
  test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("limit.pot")), "limit.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  });
  // Horner's rule carries exact zeros down to a_4, so the curve is the same to the last bit.
  EXPECT_EQ(V, small);

  write_file("over.pot", analytic_file("2\n500.0 2.0\n", tail, lines + "0 -4000.0\n", 102));
  EXPECT_EQ(test::stop_message([&] {
              pec_analytic(read_analytic(read_input_text("over.pot")), "over.pot", V,
                           test::grid_from_origin(kR0, kH, kN));
            }),
            "number of points must be less than 101");
}

TEST_F(AnalyticTest, ShortRangeTypeOtherThanOneOrTwoStops) {
  write_file("an3.pot", analytic_file("3\n", ""));
  const auto console = [&] {
    std::vector<std::string> lines;
    try {
      lines = test::console_of([&] {
        pec_analytic(read_analytic(read_input_text("an3.pot")), "an3.pot", V,
                     test::grid_from_origin(kR0, kH, kN));
      });
    } catch (const StopRun& stop) {
      EXPECT_STREQ(stop.what(), "Specify the short range type!");
      return true;
    }
    return false;
  }();
  EXPECT_TRUE(console);
}

TEST_F(AnalyticTest, RefusesBadInput) {
  const std::string lr = "0\n0.0 0.0 1.0\n2.25 6.5\n";
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {analytic_file("2\n1 1\n", "100.0\n" + lr, "3.0\n0.2\n101 1.0\n", 1),
       "velk: bad.pot: line 11: index 101 outside 0..100"},
      {analytic_file("2\n1 1\n", "100.0\n" + lr, "3.0\n0.2\n0 1.0\n-1 1.0\n", 2),
       "velk: bad.pot: line 12: index -1 outside 0..100"},
      {analytic_file("2\n1 1\n", "100.0\n1\n21 1.0\n0.0 0.0 1.0\n2.25 6.5\n"),
       "velk: bad.pot: line 20: index 21 outside 1..20"},
      {analytic_file("2\n1 1\n", "100.0\n1\n0 1.0\n0.0 0.0 1.0\n2.25 6.5\n"),
       "velk: bad.pot: line 20: index 0 outside 1..20"},
      {analytic_file("2\n1 1\n", "100.0\n-1\n0.0 0.0 1.0\n2.25 6.5\n"),
       "velk: bad.pot: line 19: the number of long-range lines is negative (-1)"},
      {analytic_file("2\n1 1\n", "100.0\n0\n0.0 0.0 1.0\n6.5 6.5\n"),
       "velk: bad.pot: the inner connection radius Ri must be smaller than the outer one Ro"},
      {analytic_file("2\n1 1\n", "100.0\n0\n0.0 0.0 1.0\n6.5 2.25\n"),
       "velk: bad.pot: the inner connection radius Ri must be smaller than the outer one Ro"},
      // With Uinf = 0 the largest index 19 would derive C21.
      {analytic_file("2\n1 1\n", "0.0\n1\n19 1.0\n0.0 0.0 1.0\n2.25 6.5\n"),
       "velk: bad.pot: the derived long-range coefficient C21 exceeds C20 (largest index above "
       "18)"},
      {analytic_file("1\n0.0 0.0 0.0\n", "100.0\n" + lr),
       "velk: bad.pot: the short-range wall derived at Ri needs Nsr /= 0 and Ri > 0"},
      // b = -1 puts the pole of xi at R = 3, between Ri and Ro.
      {analytic_file("2\n1 1\n", "100.0\n" + lr, "3.0\n-1.0\n0 1.0\n", 1),
       "velk: bad.pot: R + b*Rm vanishes between Ri and Ro"},
      {test::header(-2, "AN"),
       "velk: bad.pot: line 1: the number of coefficient lines is "
       "negative (-2)"},
  };
  for (const auto& c : cases) {
    write_file("bad.pot", c.file);
    V.assign(kN + 1, -7.0);
    EXPECT_EQ(test::stop_message([&] {
                pec_analytic(read_analytic(read_input_text("bad.pot")), "bad.pot", V,
                             test::grid_from_origin(kR0, kH, kN));
              }),
              c.message);
    EXPECT_EQ(V[10], -7.0);
  }
  // The same index 19 is fine when the asymptote is given.
  write_file("ok.pot", analytic_file("2\n1 1\n", "10.0\n1\n19 1.0\n0.0 0.0 1.0\n2.25 6.5\n"));
  EXPECT_NO_THROW(test::console_of([&] {
    pec_analytic(read_analytic(read_input_text("ok.pot")), "ok.pot", V,
                 test::grid_from_origin(kR0, kH, kN));
  }));
  // A grid that reaches R = 0 (point 4).
  EXPECT_EQ(test::stop_message([&] {
              pec_analytic(read_analytic(read_input_text("ok.pot")), "ok.pot", V,
                           test::grid_from_origin(-1.0, kH, kN));
            }),
            "velk: ok.pot: the analytic potential needs a radial grid with R > 0");
}

TEST_F(AnalyticTest, MissingValuesAreInputErrors) {
  write_file("cut.pot", analytic_file("1\n0.0 0.0 8.0\n", "0.0\n2\n6 1.5e6\n"));
  EXPECT_THROW(test::console_of([&] {
                 pec_analytic(read_analytic(read_input_text("cut.pot")), "cut.pot", V,
                              test::grid_from_origin(kR0, kH, kN));
               }),
               InputError);
}

// Console lines and the stop or input error of a build, as a user sees them.
struct Outcome {
  std::vector<std::string> console;
  std::string ending;  // the stop message, "InputError", or "" when the build succeeded
};

Outcome outcome_of(const std::string& name, std::span<double> V) {
  Outcome out;
  ::testing::internal::CaptureStdout();
  try {
    pec_analytic(read_analytic(read_input_text(name)), name, V,
                 test::grid_from_origin(kR0, kH, kN));
  } catch (const StopRun& stop) {
    out.ending = stop.what();
  } catch (const InputError&) {
    out.ending = "InputError";
  }
  std::istringstream text(::testing::internal::GetCapturedStdout());
  for (std::string line; std::getline(text, line);) out.console.push_back(line);
  return out;
}

// Faults come in the order of the file's lines, before an input error further down; the wall's
// line is printed once its parameters have been read, and not before.
TEST_F(AnalyticTest, FaultsAndTheWallLineComeInTheOrderOfTheFile) {
  const std::string name = " Analytic PEC (Tiemann)";
  const std::string wall = " Polynomial extension at short range.";
  const struct {
    std::string file;
    std::vector<std::string> console;
    std::string ending;
  } cases[] = {
      {"-2\n", {name}, "velk: an.pot: line 1: the number of coefficient lines is negative (-2)"},
      {"102\n", {name}, "number of points must be less than 101"},
      {test::header(3, "AN") + "3.0\n0.2\n0 1.0\n101 2.0\n",
       {name},
       "velk: an.pot: line 12: index 101 outside 0..100"},
      {test::header(1, "AN") + "3.0\n0.2\n0 1.0\n", {name}, "InputError"},
      {test::header(1, "AN") + "3.0\n0.2\n0 1.0\n3\n", {name}, "Specify the short range type!"},
      {test::header(1, "AN") + "3.0\n0.2\n0 1.0\n1\n", {name}, "InputError"},
      {test::header(1, "AN") + "3.0\n0.2\n0 1.0\n1\n1.0 2.0 6.0\n", {name, wall}, "InputError"},
      {test::header(1, "AN") + "3.0\n0.2\n0 1.0\n1\n1.0 2.0 6.0\n5.0\n-1\n",
       {name, wall},
       "velk: an.pot: line 15: the number of long-range lines is negative (-1)"},
      {test::header(1, "AN") + "3.0\n0.2\n0 1.0\n1\n1.0 2.0 6.0\n5.0\n2\n21 1.0\n",
       {name, wall},
       "velk: an.pot: line 16: index 21 outside 1..20"},
  };
  for (const auto& c : cases) {
    write_file("an.pot", c.file);
    const Outcome got = outcome_of("an.pot", V);
    EXPECT_EQ(got.console, c.console) << c.file;
    EXPECT_EQ(got.ending, c.ending) << c.file;
  }
}

}  // namespace
}  // namespace velk
