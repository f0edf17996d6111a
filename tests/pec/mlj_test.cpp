#include "pec/mlj.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "io/errors.h"
#include "pec_test_files.h"

namespace velk {
namespace {

using test::PecFileTest;

// Grid of these tests: point x at R = 1 + x/4 (exact binary radii), up to R = 51.
constexpr double kR0 = 1.0;
constexpr double kH = 0.25;
constexpr int kN = 200;

double radius(int x) {
  return kR0 + x * kH;
}

std::string mlj_file(const std::string& coefficients, int lines, const std::string& tail) {
  return test::header(lines, "ML") + "2.0   Re\n" + coefficients + tail;
}

// Re = 2, beta = 1.5 + 0.3 y - 0.1 y^2, De = 5000, p = 6, Cp = 3e5, delta = 1.5, Rx = 6.
const std::string kThreeTerms =
    mlj_file("0 1.5\n1 0.3\n2 -0.1\n", 3, "5000.0   De\n6 3.0e5   p Cp\n1.5   delta\n6.0   Rx\n");

class MljTest : public PecFileTest {
 protected:
  std::vector<double> V = std::vector<double>(kN + 1, 0.0);
};

TEST_F(MljTest, MatchesTheClosedFormAndReturnsDe) {
  write_file("mlj.pot", kThreeTerms);
  double Uinf = 0.0;
  const auto console = test::console_of([&] {
    Uinf = pec_mlj(read_mlj(read_input_text("mlj.pot     ")), "mlj.pot     ", V,
                   test::grid_from_origin(kR0, kH, kN));
  });
  EXPECT_EQ(console, std::vector<std::string>{" MLJ PEC (Le Roy)"});
  EXPECT_EQ(Uinf, 5000.0);
  // Reference values: the closed form evaluated with mpmath at 40 digits. The double evaluation
  // loses a few ulps in exp, the powers and the sums, hence the relative tolerance.
  const struct {
    int x;
    double V;
  } reference[] = {{2, 174999.39922529744879},  {3, 10643.002571131260181},
                   {6, 3032.5736812405517444},  {12, 4907.2139861455036419},
                   {20, 4992.4419207066863446}, {36, 4999.6143828525487808},
                   {80, 4999.9960094477373895}};
  for (const auto& ref : reference) {
    EXPECT_NEAR(V[ref.x], ref.V, 1e-13 * ref.V) << "R = " << radius(ref.x);
  }
}

TEST_F(MljTest, IsZeroAtReAndApproachesDeFromBelowAsTheTail) {
  write_file("mlj.pot", kThreeTerms);
  test::console_of([&] {
    pec_mlj(read_mlj(read_input_text("mlj.pot")), "mlj.pot", V,
            test::grid_from_origin(kR0, kH, kN));
  });
  // y = 0 and (Re/R)^p = 1 at R = Re, whatever the coefficients.
  EXPECT_EQ(V[4], 0.0);
  const double De = 5000.0, Cp = 3.0e5, Re = 2.0;
  const double betainf = std::log(2.0 * De * std::pow(Re, 6) / Cp);
  for (int x = 60; x <= kN; ++x) {
    const double R = radius(x);
    EXPECT_LT(V[x], De);
    EXPECT_GT(V[x], V[x - 1]);
    // From R = 16 on the switch is below 3e-7 and beta is betainf; then with
    // E = exp(2 betainf Re/(R + Re)) and w = Cp E/(2 De R^6), De - V = (Cp/R^6) E - De w^2,
    // whose ratio to Cp/R^6 tends to 1 like 1/R. The switch's remainder (2e-7) and the rounding
    // of De - V (5e-8 of it at R = 51) set the tolerance.
    const double E = std::exp(2.0 * betainf * Re / (R + Re));
    const double w = Cp * E / (2.0 * De * std::pow(R, 6));
    const double ratio = (De - V[x]) / (Cp / std::pow(R, 6));
    EXPECT_NEAR(ratio, E - De * w * w / (Cp / std::pow(R, 6)), 1e-6) << "R = " << R;
  }
  // At R = 51 the tail is within 7 % of Cp/R^p.
  EXPECT_NEAR((De - V[kN]) * std::pow(radius(kN), 6) / Cp, 1.0, 0.07);
}

TEST_F(MljTest, SingleCoefficientMovesFromBeta0ToBetaInfAcrossRx) {
  // K = 0: only beta0; a steep switch (delta = 20) at Rx = 6.
  write_file("k0.pot",
             mlj_file("0 1.6\n", 1, "4000.0   De\n6 2.0e5   p Cp\n20.0   delta\n6.0   Rx\n"));
  test::console_of([&] {
    pec_mlj(read_mlj(read_input_text("k0.pot")), "k0.pot", V, test::grid_from_origin(kR0, kH, kN));
  });
  const double Re = 2.0, De = 4000.0, Cp = 2.0e5;
  const double betainf = std::log(2.0 * De * std::pow(Re, 6) / Cp);
  // The exponent coefficient recovered from the tabulated value: outside Re the bracket
  // 1 - u exp(-beta y) is positive, so beta = -ln((1 - sqrt(V/De))/u)/y.
  const auto beta_at = [&](int x) {
    const double R = radius(x);
    const double y = (R - Re) / (R + Re);
    const double u = std::pow(Re / R, 6);
    return -std::log((1.0 - std::sqrt(V[x] / De)) / u) / y;
  };
  // 1 Å inside and outside Rx the switch differs from 1 or 0 by exp(-20).
  EXPECT_NEAR(beta_at(16), 1.6, 1e-7);                    // R = 5
  EXPECT_NEAR(beta_at(24), betainf, 1e-7);                // R = 7
  EXPECT_NEAR(beta_at(20), 0.5 * (1.6 + betainf), 1e-9);  // R = Rx: f = 1/2
  EXPECT_GT(1.6 - betainf, 0.5);
}

TEST_F(MljTest, FiftyOneCoefficientLinesAreAccepted) {
  std::string lines;
  for (int k = 0; k <= 50; ++k) lines += std::to_string(k) + (k == 0 ? " 1.2\n" : " 0.0\n");
  write_file("max.pot", mlj_file(lines, 51, "5000.0\n6 3.0e5\n1.5\n6.0\n"));
  std::vector<double> W(kN + 1, 0.0);
  test::console_of([&] {
    pec_mlj(read_mlj(read_input_text("max.pot")), "max.pot", W,
            test::grid_from_origin(kR0, kH, kN));
  });
  write_file("one.pot", mlj_file("0 1.2\n", 1, "5000.0\n6 3.0e5\n1.5\n6.0\n"));
  test::console_of([&] {
    pec_mlj(read_mlj(read_input_text("one.pot")), "one.pot", V,
            test::grid_from_origin(kR0, kH, kN));
  });
  // Zero coefficients up to index 50 change nothing.
  EXPECT_EQ(W, V);
}

TEST_F(MljTest, EachCallStartsFromClearedCoefficients) {
  write_file("mlj.pot", kThreeTerms);
  write_file("k0.pot", mlj_file("0 1.5\n", 1, "5000.0\n6 3.0e5\n1.5\n6.0\n"));
  std::vector<double> first(kN + 1, 0.0), again(kN + 1, 0.0);
  test::console_of([&] {
    pec_mlj(read_mlj(read_input_text("k0.pot")), "k0.pot", first,
            test::grid_from_origin(kR0, kH, kN));
    pec_mlj(read_mlj(read_input_text("mlj.pot")), "mlj.pot", V,
            test::grid_from_origin(kR0, kH, kN));
    pec_mlj(read_mlj(read_input_text("k0.pot")), "k0.pot", again,
            test::grid_from_origin(kR0, kH, kN));
  });
  EXPECT_EQ(first, again);
  EXPECT_NE(first, V);
}

TEST_F(MljTest, RefusesBadInputBeforeTabulating) {
  const std::string tail = "1.5   delta\n6.0   Rx\n";
  const struct {
    std::string body;
    int lines;
    std::string message;
  } cases[] = {
      {"0 1.5\n", 52, "number of parameters must be less than 51"},
      {"0 1.5\n", -1, "velk: bad.pot: line 1: the number of coefficient lines is negative (-1)"},
      {"51 1.5\n", 1, "velk: bad.pot: line 10: coefficient index 51 outside 0..50"},
      {"-1 1.5\n", 1, "velk: bad.pot: line 10: coefficient index -1 outside 0..50"},
  };
  for (const auto& c : cases) {
    write_file("bad.pot", mlj_file(c.body, c.lines, "5000.0\n6 3.0e5\n" + tail));
    V.assign(kN + 1, -7.0);
    EXPECT_EQ(test::stop_message([&] {
                pec_mlj(read_mlj(read_input_text("bad.pot")), "bad.pot", V,
                        test::grid_from_origin(kR0, kH, kN));
              }),
              c.message);
    EXPECT_EQ(V[5], -7.0);
  }
  const struct {
    std::string values;
    std::string message;
  } values[] = {
      {"0.0\n6 3.0e5\n", "velk: bad.pot: the well depth De must be positive"},
      {"-10.0\n6 3.0e5\n", "velk: bad.pot: the well depth De must be positive"},
      {"5000.0\n6 0.0\n", "velk: bad.pot: the long-range coefficient Cp must be positive"},
      {"5000.0\n6 -1.0\n", "velk: bad.pot: the long-range coefficient Cp must be positive"},
  };
  for (const auto& c : values) {
    write_file("bad.pot", mlj_file("0 1.5\n", 1, c.values + tail));
    V.assign(kN + 1, -7.0);
    EXPECT_EQ(test::stop_message([&] {
                pec_mlj(read_mlj(read_input_text("bad.pot")), "bad.pot", V,
                        test::grid_from_origin(kR0, kH, kN));
              }),
              c.message);
    EXPECT_EQ(V[5], -7.0);
  }
  // Re = 0 would take the logarithm of 0.
  write_file("re0.pot", test::header(1, "ML") + "0.0\n0 1.5\n5000.0\n6 3.0e5\n" + tail);
  EXPECT_EQ(test::stop_message([&] {
              pec_mlj(read_mlj(read_input_text("re0.pot")), "re0.pot", V,
                      test::grid_from_origin(kR0, kH, kN));
            }),
            "velk: re0.pot: the equilibrium radius Re must be positive");
}

TEST_F(MljTest, RefusesAGridReachingZero) {
  write_file("mlj.pot", kThreeTerms);
  V.assign(kN + 1, -7.0);
  // Point 4 lies at R = 0.
  EXPECT_EQ(test::stop_message([&] {
              pec_mlj(read_mlj(read_input_text("mlj.pot")), "mlj.pot", V,
                      test::grid_from_origin(-1.0, kH, kN));
            }),
            "velk: mlj.pot: the MLJ potential needs a radial grid with R > 0");
  EXPECT_EQ(V[10], -7.0);
}

TEST_F(MljTest, MissingValuesAreInputErrors) {
  write_file("cut.pot", mlj_file("0 1.5\n", 1, "5000.0\n6 3.0e5\n1.5\n"));
  EXPECT_THROW(test::console_of([&] {
                 pec_mlj(read_mlj(read_input_text("cut.pot")), "cut.pot", V,
                         test::grid_from_origin(kR0, kH, kN));
               }),
               InputError);
}

// Faults come in the order of the file's lines, before an input error further down.
TEST_F(MljTest, FaultsComeBeforeALaterInputError) {
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {"52\n", "number of parameters must be less than 51"},
      {"-1\n", "velk: bad.pot: line 1: the number of coefficient lines is negative (-1)"},
      {mlj_file("0 1.5\n51 0.3\n", 3, ""),
       "velk: bad.pot: line 11: coefficient index 51 outside 0..50"},
  };
  for (const auto& c : cases) {
    write_file("bad.pot", c.file);
    EXPECT_EQ(test::stop_message([&] {
                pec_mlj(read_mlj(read_input_text("bad.pot")), "bad.pot", V,
                        test::grid_from_origin(kR0, kH, kN));
              }),
              c.message);
  }
  // A value check after the read comes only when the whole file could be read.
  write_file("cut.pot", mlj_file("0 1.5\n", 1, "-5000.0\n6 3.0e5\n1.5\n"));
  EXPECT_THROW(test::console_of([&] {
                 pec_mlj(read_mlj(read_input_text("cut.pot")), "cut.pot", V,
                         test::grid_from_origin(kR0, kH, kN));
               }),
               InputError);
}

// The check on its own, on hand-made curves of a grid at R = 1 + i/4 ending at R(8) = 3.
TEST(MljWellTest, ALocalMinimumOnTheWallOfAWellBeyondTheGridIsRefused) {
  const RadialGrid grid = test::grid_from_origin(1.0, 0.25, 8);
  MljParameters p;
  p.Re = 3.5;
  // The wall of the well at Re, with a kink: a local minimum at point 4 below a maximum at 5.
  const std::vector<double> kinked = {0.0, 900.0, 700.0, 500.0, 400.0, 450.0, 300.0, 200.0, 100.0};
  EXPECT_EQ(test::stop_message([&] { require_well_on_grid(p, grid, kinked, "w.pot"); }),
            "velk: w.pot: the well bottom Re = 3.5 lies beyond the last grid radius 3: the local "
            "minimum at grid point 4, R = 2, is not the well; extend the grid beyond Re");
  // A plain wall has no minimum: left to the level driver's "Umin >  Umax".
  const std::vector<double> wall = {0.0, 900.0, 700.0, 500.0, 400.0, 300.0, 200.0, 150.0, 100.0};
  EXPECT_NO_THROW(require_well_on_grid(p, grid, wall, "w.pot"));
  // With Re on the grid (its last point included) a minimum is the well.
  p.Re = 3.0;
  EXPECT_NO_THROW(require_well_on_grid(p, grid, kinked, "w.pot"));
  p.Re = 2.0;
  EXPECT_NO_THROW(require_well_on_grid(p, grid, kinked, "w.pot"));
}

}  // namespace
}  // namespace velk
