#include "solver/level_digest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver_test_support.h"
#include "io/warning.h"
#include "solver/level_driver.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

LevelBeyondLast beyond(int32_t v, int32_t J, int32_t count) {
  return {v, J, count, "v=" + std::to_string(v) + " J=" + std::to_string(J)};
}

const std::string kPrefix(kWarningPrefix);

// Consecutive J make one line with the spans of v, J and the counts; a gap in J closes a run; a
// run of a single J keeps its levels' own lines; nothing is given before a run ends.
TEST(LevelWarningDigest, RunsOfConsecutiveJAreSummedUpAndSingleJKeepTheirLines) {
  WarningCapture capture;
  {
    LevelWarningDigest digest("state A (x.pot)", false);
    digest.beyond_last(beyond(30, 165, 30));
    digest.beyond_last(beyond(29, 169, 29));  // J=166..168 have none: the run of 165 ends
    EXPECT_EQ(capture.lines(), std::vector<std::string>{kPrefix + "v=30 J=165"});
    digest.beyond_last(beyond(30, 169, 29));
    digest.beyond_last(beyond(22, 170, 22));
    digest.beyond_last(beyond(21, 171, 21));
    EXPECT_EQ(capture.lines().size(), 1u);
    digest.flush();
    digest.flush();  // nothing is held twice
  }
  const std::vector<std::string> expected{
      kPrefix + "v=30 J=165",
      kPrefix +
          "state A (x.pot): 4 listed levels of v=21..30 at J=169..171 do not exist: each lies "
          "beyond the last level of its J (the state has 21..29 levels there); velk --verbose "
          "names each"};
  EXPECT_EQ(capture.lines(), expected);
}

// Counts are said as the levels' own lines say them.
TEST(LevelWarningDigest, ACountOfNoneOrOneIsSaidInWords) {
  WarningCapture capture;
  {
    LevelWarningDigest digest("state B (z.pot)", false);
    digest.beyond_last(beyond(0, 24, 0));
    digest.beyond_last(beyond(0, 25, 0));
    digest.flush();
    digest.beyond_last(beyond(1, 40, 1));
    digest.beyond_last(beyond(2, 41, 1));
  }  // what is held at the end is not given: the driver flushes
  ASSERT_EQ(capture.lines().size(), 1u);
  EXPECT_NE(capture.lines()[0].find("(the state has no level there)"), std::string::npos);
  WarningCapture second;
  LevelWarningDigest digest("state B (z.pot)", false);
  digest.beyond_last(beyond(1, 40, 1));
  digest.beyond_last(beyond(2, 41, 1));
  digest.flush();
  ASSERT_EQ(second.lines().size(), 1u);
  EXPECT_NE(second.lines()[0].find("v=1..2 at J=40..41"), std::string::npos);
  EXPECT_NE(second.lines()[0].find("(the state has 1 level there)"), std::string::npos);
}

TEST(LevelWarningDigest, VerboseGivesEveryLineAsItComes) {
  WarningCapture capture;
  LevelWarningDigest digest("state B (y.pot)", true);
  digest.beyond_last(beyond(5, 1, 5));
  digest.beyond_last(beyond(5, 2, 5));
  digest.fast_set_aside(3);
  digest.fast_set_aside(4);
  const std::vector<std::string>& lines = capture.lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], kPrefix + "v=5 J=1");
  EXPECT_EQ(lines[1], kPrefix + "v=5 J=2");
  EXPECT_EQ(lines[2].find(kPrefix + "state B (y.pot): J=3: the levels are the exact search's"), 0u);
  EXPECT_EQ(lines[3].find(kPrefix + "state B (y.pot): J=4: "), 0u);
}

TEST(LevelWarningDigest, FastSearchSetAsideIsOneLinePerRunOfJ) {
  WarningCapture capture;
  {
    LevelWarningDigest digest("state A (dw.pot)", false);
    for (int32_t J : {0, 1, 2, 7}) digest.fast_set_aside(J);
    digest.flush();
  }
  const std::vector<std::string>& lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].find(kPrefix + "state A (dw.pot): J=0..2: "), 0u);
  EXPECT_EQ(lines[1].find(kPrefix + "state A (dw.pot): J=7: "), 0u);
}

// Broad levels are gathered over the whole state, with the spans of v, J and half-widths; one alone
// keeps its own line, and --verbose gives each as it comes.
TEST(LevelWarningDigest, BroadLevelsOfAStateAreOneLine) {
  const auto broad = [](int32_t v, int32_t J, double width) {
    return BroadLevel{v, J, width, "v=" + std::to_string(v) + " J=" + std::to_string(J)};
  };
  WarningCapture capture;
  {
    LevelWarningDigest digest("state A (b.pot)", false);
    digest.too_broad(broad(30, 159, 4.5e-6));
    digest.too_broad(broad(20, 200, 0.72));
    digest.too_broad(broad(25, 170, 1e-3));
    EXPECT_TRUE(capture.lines().empty());
    digest.flush();
    digest.too_broad(broad(3, 7, 2e-4));
    digest.flush();
  }
  const std::vector<std::string> expected{
      kPrefix +
          "state A (b.pot): 3 quasi-bound levels of v=20..30 at J=159..200 are wider than the "
          "tolerance: half-widths 4.5E-06 to 7.2E-01 cm-1 (their tunnelling figures); their "
          "energies are defined only to about their widths; velk --verbose names each",
      kPrefix + "v=3 J=7"};
  EXPECT_EQ(capture.lines(), expected);
  WarningCapture verbose;
  LevelWarningDigest each("state A (b.pot)", true);
  each.too_broad(broad(30, 159, 4.5e-6));
  each.too_broad(broad(20, 200, 0.72));
  EXPECT_EQ(verbose.lines(),
            (std::vector<std::string>{kPrefix + "v=30 J=159", kPrefix + "v=20 J=200"}));
}

// --- through the driver ------------------------------------------------------------------------

class DigestDriverTest : public test::ScratchDirectoryTest {};

std::size_t count_containing(const std::vector<std::string>& lines, const std::string& part) {
  std::size_t n = 0;
  for (const std::string& line : lines) n += line.find(part) != std::string::npos ? 1 : 0;
  return n;
}

// The MLJ curve holds about a dozen levels: v = 0..15 at J = 0..5 asks for levels beyond the last
// in every J. Without --verbose one line sums them up, on one thread or three (whose attempts
// apart hand the levels on in J order); with it every level has its own line, as before.
TEST_F(DigestDriverTest, LevelsBeyondTheLastOfManyJAreOneLineUnlessVerbose) {
  test::write_file("mlj.pot", driver_tests::mlj_file(0, 0.0, 0.0));
  LevelTableRequest r = driver_tests::mlj_request({0, 15}, {0, 5}, {1, 1});
  r.state = "A";
  DriverOptions verbose{GridOrientation::forward, throw_on_numerical_failure};
  verbose.verbose = true;
  const driver_tests::Handed each = driver_tests::hand_on(r, verbose);
  const std::size_t named = count_containing(each.warnings, " not found") +
                            count_containing(each.warnings, " lies above the last level");
  EXPECT_GE(named, 6u);
  EXPECT_EQ(count_containing(each.warnings, "listed levels of"), 0u);

  for (int threads : {1, 3}) {
    DriverOptions options{GridOrientation::forward, throw_on_numerical_failure};
    options.threads = threads;
    const driver_tests::Handed summed = driver_tests::hand_on(r, options);
    EXPECT_EQ(summed.levels.size(), each.levels.size());
    EXPECT_EQ(count_containing(summed.warnings, " not found"), 0u);
    EXPECT_EQ(count_containing(summed.warnings, " lies above the last level"), 0u);
    ASSERT_EQ(count_containing(summed.warnings, "listed levels of"), 1u);
    const std::string head =
        kPrefix + "state A (mlj.pot): " + std::to_string(named) + " listed levels of v=";
    EXPECT_EQ(count_containing(summed.warnings, head), 1u) << summed.warnings.back();
    EXPECT_EQ(count_containing(summed.warnings, " at J=0..5 do not exist"), 1u);
  }
}

}  // namespace
}  // namespace velk
