#include "pec/potential_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/errors.h"
#include "pec_test_files.h"

namespace velk {
namespace {

using test::PecFileTest;

TEST(SelectRepresentation, OnlyTheExactUpperCasePairsSelectAnalyticOrMlj) {
  EXPECT_EQ(select_representation("AN"), Representation::analytic);
  EXPECT_EQ(select_representation("ANALYTIC"), Representation::analytic);
  EXPECT_EQ(select_representation("ML"), Representation::mlj);
  EXPECT_EQ(select_representation("MLJ"), Representation::mlj);
  for (const char* other : {"an", "ml", "An", "mL", "  ", "", "A", "M", " AN", "PW", "NA"}) {
    EXPECT_EQ(select_representation(other), Representation::pointwise) << '"' << other << '"';
  }
}

// Rmin = 1.25, Rmax = 11, N = 40: h = 9.75/39 = 0.25 and R0 = 1.0, both exact, so grid point i
// lies at 1 + i/4.
const RadialGrid kGrid(1.25, 11.0, 40);

class PotentialBuilderTest : public PecFileTest {
 protected:
  std::vector<double> V = std::vector<double>(41, 0.0);
  PotentialBuilder builder;
};

const std::string kMlj = "2.0\n0 1.5\n5000.0\n6 3.0e5\n1.5\n6.0\n";
const std::string kAnalytic =
    "3.0\n0.2\n0 -4000.0\n2\n500.0 2.0\n100.0\n0\n0.0 0.0 1.0\n2.25 6.5\n";
const std::string kPointwise = "0.0\n0.0\n1.0 10.0\n2.0 20.0\n";

TEST_F(PotentialBuilderTest, DispatchesOnTheSelectionText) {
  write_file("mlj.pot", test::header(1, "ML") + kMlj);
  write_file("an.pot", test::header(1, "AN") + kAnalytic);
  write_file("pw.pot", test::header(2, "  ") + kPointwise);
  double Uinf = 0.0;
  auto console = test::console_of(
      [&] { Uinf = builder.build(read_curve_definition("mlj.pot"), V, kGrid, BuildOptions{}); });
  EXPECT_EQ(console, std::vector<std::string>{" MLJ PEC (Le Roy)"});
  EXPECT_EQ(Uinf, 5000.0);
  EXPECT_EQ(V[4], 0.0);  // R = Re

  console = test::console_of(
      [&] { Uinf = builder.build(read_curve_definition("an.pot"), V, kGrid, BuildOptions{}); });
  EXPECT_EQ(console[0], " Analytic PEC (Tiemann)");
  EXPECT_EQ(Uinf, 100.0);
  EXPECT_EQ(V[10], -4000.0);  // a constant series between Ri and Ro

  for (const char* pectype : {"  ", "an", "ml", "PW"}) {
    write_file("pw.pot", test::header(2, pectype) + kPointwise);
    console = test::console_of(
        [&] { Uinf = builder.build(read_curve_definition("pw.pot"), V, kGrid, BuildOptions{}); });
    EXPECT_EQ(console, std::vector<std::string>{" Pointwise PEC (delault)"}) << pectype;
    EXPECT_EQ(Uinf, kUinfUnset);
    EXPECT_DOUBLE_EQ(V[8], 30.0);  // R = 3 on the straight line, continued beyond the table
  }
}

TEST_F(PotentialBuilderTest, ResultsDependOnlyOnTheFileAndTheGrid) {
  write_file("ext.pot", test::header(2, "PW") + kPointwise +
                            "y\n1.5 3.0 0.0\n7.0 0\n1\n6 100.0 0\ny\n-2.0 0\n1.0\n0.5\n");
  write_file("pw.pot", test::header(2, "PW") + kPointwise);
  std::vector<double> first(41, 0.0);
  test::console_of([&] {
    builder.build(read_curve_definition("pw.pot"), first, kGrid, BuildOptions{});
    builder.build(read_curve_definition("ext.pot"), V, kGrid, BuildOptions{});
    builder.build(read_curve_definition("pw.pot"), V, kGrid, BuildOptions{});
  });
  EXPECT_EQ(V, first);
}

TEST_F(PotentialBuilderTest, RefusesGridsOfFewerThanTwoPointsAndShortArrays) {
  write_file("pw.pot", test::header(2, "PW") + kPointwise);
  EXPECT_EQ(test::stop_message([&] {
              builder.build(read_curve_definition("pw.pot"), V, RadialGrid(1.25, 11.0, 1),
                            BuildOptions{});
            }),
            "velk: pw.pot: the radial grid needs at least 2 points, N = 1");
  EXPECT_THROW(test::console_of([&] {
                 builder.build(read_curve_definition("pw.pot"), V, RadialGrid(1.25, 11.25, 41),
                               BuildOptions{});
               }),
               std::invalid_argument);
}

TEST_F(PotentialBuilderTest, GridOfTwoPointsHasThemAtItsEnds) {
  write_file("pw.pot", test::header(2, "PW") + kPointwise);
  // Rmin = 1, Rmax = 2, N = 2: h = 1, R0 = 0.
  test::console_of([&] {
    builder.build(read_curve_definition("pw.pot"), V, RadialGrid(1.0, 2.0, 2), BuildOptions{});
  });
  EXPECT_EQ(V[1], 10.0);
  EXPECT_EQ(V[2], 20.0);
}

}  // namespace
}  // namespace velk
