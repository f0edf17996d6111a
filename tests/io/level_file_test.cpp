#include "io/level_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "io/errors.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

using test::write_file;

class LevelFileTest : public test::ScratchDirectoryTest {};

// A header as both producers write it: the count as I5 and five descriptive lines.
std::string header(int count) {
  char first[40];
  std::snprintf(first, sizeof first, "%5d !number of levels\n", count);
  return std::string(first) +
         " Potential File:  na2x.pot    \n comment\n mass\n"
         " iline   nv Jline        Eout Par  delE    ic   Ein  Dcor\n ----\n";
}

std::string message_of(const std::function<void()>& read) {
  try {
    read();
  } catch (const InputError& error) {
    return error.what();
  }
  return "";
}

// Seeded random level lines in the producers' columns (I5,I5,I5,F15.6,I3 and more values, a
// quasi-bound one marked "res."): the free-format reads of the transition runs and the listing
// of velk-plot both give back what was written. The energy written with six decimals is converted
// by strtod, independently of the reader, so the comparison is exact.
TEST_F(LevelFileTest, BothReadsGiveBackWhatTheProducersWrote) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> small(-3, 120);
  std::uniform_real_distribution<double> energy(-5000.0, 99999.0);
  struct Written {
    int iline, v, J, p;
    double E;
    bool quasi_bound;
  };
  std::vector<Written> written;
  std::string text = header(40);
  for (int k = 1; k <= 40; ++k) {
    char E_text[32];
    std::snprintf(E_text, sizeof E_text, "%15.6f", energy(random));
    const Written level{
        k,         small(random), small(random), small(random) % 3, std::strtod(E_text, nullptr),
        k % 7 == 0};
    written.push_back(level);
    char line[120];
    std::snprintf(line, sizeof line, "%5d%5d%5d%s%3d%12.4f%5d%s\n", level.iline, level.v, level.J,
                  E_text, level.p, 0.125, 3, level.quasi_bound ? "  res.  0.1E-03" : "");
    text += line;
  }
  write_file("Astate.dat", text);

  LevelFileReader reader("Astate.dat");
  EXPECT_EQ(reader.read_count_and_skip_header(), 40);
  const LevelListing listing = read_level_listing("Astate.dat", "velk-plot");
  ASSERT_EQ(listing.levels.size(), written.size());
  EXPECT_EQ(listing.data_file, "na2x.pot");
  EXPECT_EQ(listing.unreadable, 0);
  for (std::size_t k = 0; k < written.size(); ++k) {
    const LevelLine strict = reader.next();
    for (const LevelLine& got : {strict, static_cast<const LevelLine&>(listing.levels[k])}) {
      EXPECT_EQ(got.iline, written[k].iline) << k;
      EXPECT_EQ(got.v, written[k].v) << k;
      EXPECT_EQ(got.J, written[k].J) << k;
      EXPECT_EQ(got.E, written[k].E) << k;
      EXPECT_EQ(got.p, written[k].p) << k;
    }
    EXPECT_EQ(listing.levels[k].quasi_bound, written[k].quasi_bound) << k;
  }
}

// The level solver's two layouts carry the last correction Dcor and the node count at the same
// columns. The lines are copied from velk's own output (the quasi-bound e2e case, whose v = 61
// line ended on 80 nodes, and a bound line of the analytic example); a Dunham line has neither.
TEST_F(LevelFileTest, TheListingKeepsTheSolversCorrectionAndNodeCount) {
  write_file("Astate.dat",
             header(4) +
                 "    1   0   0     79.35067 1  2985.0116 10   3037.03035  0.65E-05  723  47980 "
                 "22   0\n"
                 "    3  60  30   6028.28383 1  2916.5835 10   3111.96825 -0.74E-05  253   res. "
                 "22  60  0.11E+00   6028.55178   6022.04193\n"
                 "    4  61  30   6028.55178 1  2916.5835 10   3111.96825 -0.95E-02  160   res. "
                 "60  80  0.85E-01   6028.55178   6022.04193\n"
                 "    2   1   0    3224.857452  1 10  1\n");
  const LevelListing listing = read_level_listing("Astate.dat", "velk-plot");
  ASSERT_EQ(listing.levels.size(), 4u);
  const ListedLevel& bound = listing.levels[0];
  ASSERT_TRUE(bound.Dcor && bound.node);
  EXPECT_EQ(*bound.Dcor, 0.65e-5);
  EXPECT_EQ(*bound.node, 0);
  EXPECT_EQ(*listing.levels[1].Dcor, -0.74e-5);
  EXPECT_EQ(*listing.levels[1].node, 60);
  EXPECT_EQ(*listing.levels[2].Dcor, -0.95e-2);
  EXPECT_EQ(*listing.levels[2].node, 80);
  EXPECT_FALSE(listing.levels[3].Dcor || listing.levels[3].node);
}

// A field written as asterisks says nothing; the level itself is still listed.
TEST_F(LevelFileTest, AnOverflowedCorrectionOrNodeCountIsUnknown) {
  write_file("Astate.dat",
             header(1) +
                 "    1   0   0     79.35067 1  2985.0116 10   3037.03035**********  723  47980 "
                 "22****\n");
  const LevelListing listing = read_level_listing("Astate.dat", "velk-plot");
  ASSERT_EQ(listing.levels.size(), 1u);
  EXPECT_FALSE(listing.levels[0].Dcor.has_value());
  EXPECT_FALSE(listing.levels[0].node.has_value());
}

TEST_F(LevelFileTest, TheTransitionReadsStopOnAShortOrMalformedFile) {
  write_file("BstateQ.dat", header(2) + "    1    0    3   1234.500000  1\n");
  LevelFileReader reader("BstateQ.dat");
  reader.skip_header();
  EXPECT_EQ(reader.next().E, 1234.5);
  // The input layer's end-of-file error, naming the file and the line after the last one.
  EXPECT_EQ(message_of([&] { reader.next(); }),
            "velk: BstateQ.dat, line 8: expected an integer (item 1 of 5), found the end of the "
            "file");

  write_file("short.dat", header(1).substr(0, 30));
  EXPECT_EQ(message_of([] { LevelFileReader("short.dat").skip_header(); }),
            "velk: short.dat, line 3: expected a line, found the end of the file");

  // A count too wide for its five columns is written as asterisks: not a number of levels.
  write_file("Astate.dat", "***** !number of levels\n");
  EXPECT_EQ(message_of([] { LevelFileReader("Astate.dat").read_count_and_skip_header(); }),
            "velk: Astate.dat, line 1: expected an integer, found \"*****\"");
}

TEST_F(LevelFileTest, TheListingNamesTheProgramThatListsTheFile) {
  write_file("bad.dat", header(1) + "    1    0  1.5   1234.500000  1\n");
  EXPECT_EQ(message_of([] { read_level_listing("bad.dat", "velk"); }),
            "velk: bad.dat: line 7: expected a level line beginning with iline, v, J, E and p, "
            "found \"1    0  1.5   1234.500000  1\"");
}

}  // namespace
}  // namespace velk
