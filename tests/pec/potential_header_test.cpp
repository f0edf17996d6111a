#include "pec/potential_header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "io/errors.h"
#include "pec_test_files.h"

namespace velk {
namespace {

using test::PecFileTest;

class PotentialHeaderTest : public PecFileTest {};

TEST_F(PotentialHeaderTest, ReadsTheEightLinesWithTheirTrailingComments) {
  write_file("hdr.pot",
             "42   number of points\n"
             "10.0 11.0 12.0 13.0 14.0   reduced masses\n"
             "1   Lambda\n"
             "0.0125   q1\n"
             "-0.0075   q2\n"
             "free text 1 2 3\n"
             "more free text\n"
             "ANALYTIC form\n"
             "3.0   Rm\n");
  const PotentialHeader header = read_potential_header("hdr.pot     ");
  EXPECT_EQ(header.Npts, 42);
  EXPECT_EQ(header.masses, (std::array<double, 5>{10.0, 11.0, 12.0, 13.0, 14.0}));
  EXPECT_EQ(header.Lambda, 1);
  EXPECT_EQ(header.q1, 0.0125);
  EXPECT_EQ(header.q2, -0.0075);
  EXPECT_EQ(header.pectype, "AN");
}

TEST_F(PotentialHeaderTest, ShortSelectionLinesAreBlankPadded) {
  write_file("blank.pot", test::header(3, ""));
  EXPECT_EQ(read_potential_header("blank.pot").pectype, "  ");
  write_file("one.pot", test::header(3, "M"));
  EXPECT_EQ(read_potential_header("one.pot").pectype, "M ");
}

TEST_F(PotentialHeaderTest, FewerThanFiveMassesTakeValuesFromTheNextLines) {
  // Line 2 holds three masses, so the read runs on through lines 3 and 4; every later item then
  // comes one line further down, and line 10 is the selection line.
  write_file("short.pot",
             "7\n"
             "15.0 7.5 1.0\n"
             "2\n"
             "0.5\n"
             "1\n"
             "0.25\n"
             "-0.125\n"
             "skipped\n"
             "skipped too\n"
             "ML\n");
  FreeFormatReader in("short.pot");
  const PotentialHeader header = read_potential_header(in);
  EXPECT_EQ(header.masses, (std::array<double, 5>{15.0, 7.5, 1.0, 2.0, 0.5}));
  EXPECT_EQ(header.Lambda, 1);
  EXPECT_EQ(header.q1, 0.25);
  EXPECT_EQ(header.q2, -0.125);
  EXPECT_EQ(header.pectype, "ML");
  EXPECT_EQ(in.line_number(), 10);
}

TEST_F(PotentialHeaderTest, TheDescriptionIsTheLineAfterQ2) {
  // With three masses on line 2 every item comes one line further down (as above): the
  // description is then the line after q2, not line 6 of the file.
  write_file("short.pot",
             "7\n15.0 7.5 1.0\n2\n0.5\n1\n0.25\n-0.125\n  Kratzer, De = 1e4 \r\n"
             "skipped\nML\n");
  EXPECT_EQ(read_potential_header("short.pot").description, "  Kratzer, De = 1e4 ");
  // A file that ends there reports the missing line as before.
  write_file("end.pot", "7\n1 2 3 4 5\n0\n0.0\n0.0\n");
  try {
    read_potential_header("end.pot");
    FAIL() << "no error";
  } catch (const InputError& error) {
    EXPECT_EQ(std::string(error.what()),
              "velk: end.pot, line 6: expected a line, found the end of the file");
  }
}

TEST_F(PotentialHeaderTest, NoLimitIsCheckedWhenTheHeaderIsRead) {
  write_file("big.pot", test::header(100000, "PW"));
  EXPECT_EQ(read_potential_header("big.pot").Npts, 100000);
  write_file("neg.pot", test::header(-3, "PW"));
  EXPECT_EQ(read_potential_header("neg.pot").Npts, -3);
}

TEST_F(PotentialHeaderTest, AMissingSelectionLineIsAnInputError) {
  write_file("cut.pot", "3\n1 2 3 4 5\n0\n0.0\n0.0\nx\ny\n");
  EXPECT_THROW(read_potential_header("cut.pot"), InputError);
}

TEST_F(PotentialHeaderTest, BuildersReadTheHeaderAndJudgeTheirCountApart) {
  write_file("ok.pot", test::header(51, "ML") + "2.5   first line of the body\n");
  FreeFormatReader in("ok.pot");
  int32_t Npts = 0;
  read_builder_header(in, 51, Npts);
  EXPECT_EQ(Npts, 51);
  double first = 0.0;
  in.read(first);
  EXPECT_EQ(first, 2.5);
  // The limit itself is accepted.
  EXPECT_NO_THROW(check_builder_count("ok.pot", 51, 51, "too many", "lines"));

  // Beyond the limit the reader stops after line 1: the rest need not exist.
  write_file("over.pot", "52\n");
  FreeFormatReader over("over.pot");
  read_builder_header(over, 51, Npts);
  EXPECT_EQ(Npts, 52);
  EXPECT_EQ(over.line_number(), 1);
  EXPECT_EQ(test::stop_message([] {
              check_builder_count("over.pot", 52, 51, "number of parameters must be less than 51",
                                  "lines");
            }),
            "number of parameters must be less than 51");
  EXPECT_EQ(test::stop_message(
                [] { check_builder_count("neg.pot", -1, 51, "too many", "coefficient lines"); }),
            "velk: neg.pot: line 1: the number of coefficient lines is negative (-1)");
}

TEST_F(PotentialHeaderTest, BuildersReadOnlyTheFirstValueOfLineTwo) {
  // Unlike the driver's read, the builder's read of line 2 ends on that line.
  write_file("short.pot", "3\n15.0\n0\n0.0\n0.0\na\nb\nPW\n9.5\n");
  FreeFormatReader in("short.pot");
  int32_t Npts = 0;
  read_builder_header(in, 500, Npts);
  EXPECT_EQ(Npts, 3);
  double first = 0.0;
  in.read(first);
  EXPECT_EQ(first, 9.5);
}

TEST_F(PotentialHeaderTest, ReadFailuresAreKeptForLater) {
  write_file("cut.pot", "3\n");
  int32_t Npts = 0;
  const auto failure = read_until_failure([&] {
    FreeFormatReader in("cut.pot");
    read_builder_header(in, 500, Npts);
  });
  EXPECT_EQ(Npts, 3);
  ASSERT_TRUE(failure.has_value());
  EXPECT_THROW(throw_read_failure(failure), InputError);
  EXPECT_NO_THROW(throw_read_failure(std::nullopt));
}

TEST(GridTest, PositiveGridAndSlots) {
  EXPECT_THROW(require_positive_grid("g.pot", test::grid_from_origin(-0.5, 0.25, 4), "MLJ"),
               StopRun);
  // Point 1 lies at exactly 0.
  EXPECT_THROW(require_positive_grid("g.pot", test::grid_from_origin(-0.25, 0.25, 4), "MLJ"),
               StopRun);
  // A grid running downwards has its smallest radius at point N.
  EXPECT_THROW(require_positive_grid("g.pot", test::grid_from_origin(1.25, -0.25, 5), "MLJ"),
               StopRun);
  EXPECT_NO_THROW(require_positive_grid("g.pot", test::grid_from_origin(0.0, 0.25, 4), "MLJ"));
  std::vector<double> V(5);
  EXPECT_NO_THROW(require_grid_slots(V, 4, "test"));
  EXPECT_THROW(require_grid_slots(V, 5, "test"), std::invalid_argument);
}

// Grid of these checks: point i at R = 1 + i/4 (exact binary radii).
TEST(CurveCheckTest, RefusesTheFirstNonFinitePointThenTheFirstBeyondWhatTheSolverCarries) {
  const RadialGrid grid = test::grid_from_origin(1.0, 0.25, 6);
  std::vector<double> V = {0.0, 5.0, 4.0, 3.0, 2.0, 1.0, 0.5};
  EXPECT_NO_THROW(require_finite_curve("c.pot", V, grid));
  V[3] = -kLargestCurveValue;  // the limit itself is carried
  EXPECT_NO_THROW(require_finite_curve("c.pot", V, grid));
  V[4] = 2e250;
  EXPECT_EQ(test::stop_message([&] { require_finite_curve("c.pot", V, grid); }),
            "velk: c.pot: the potential is 2e+250 cm-1 at grid point 4, R = 2, beyond the 1e250 "
            "cm-1 the level solver can carry");
  // A point that is not a number is reported first, even after a point beyond the limit.
  V[6] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(test::stop_message([&] { require_finite_curve("c.pot", V, grid); }),
            "velk: c.pot: the potential is not a finite number at grid point 6, R = 2.5");
}

}  // namespace
}  // namespace velk
