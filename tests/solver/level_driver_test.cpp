#include "solver/level_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "driver_test_support.h"
#include "io/errors.h"
#include "io/warning.h"
#include "numlib/constants.h"
#include "run/level_file_writer.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"

namespace velk {
namespace {

using namespace driver_tests;

// Each test runs in a directory of its own, where the driver reads its potential file.
class LevelDriverTest : public test::ScratchDirectoryTest {
 protected:
  void SetUp() override {
    ScratchDirectoryTest::SetUp();
    write("mlj.pot", mlj_file(0, 0.0, 0.0));
  }
  static void write(const std::string& name, const std::string& text) {
    test::write_file(name, text);
  }

  static LevelTableRequest request(QuantumRange v, QuantumRange J, QuantumRange Par) {
    return mlj_request(v, J, Par);
  }
};

struct DriverRun {
  Recorder recorder;
  std::string console;
};

DriverRun run(const LevelTableRequest& r, GridOrientation orientation = GridOrientation::forward) {
  DriverRun out;
  test::ConsoleCapture capture;
  LevelDriver driver(DriverOptions{orientation, throw_on_numerical_failure});
  driver.compute_levels(r, out.recorder);
  out.console = capture.text();
  return out;
}

TEST_F(LevelDriverTest, LevelsComeInLoopOrderWithRunningLineNumbers) {
  const DriverRun out = run(request({0, 2}, {3, 4}, {0, 1}));
  ASSERT_EQ(out.recorder.levels.size(), 12u);
  EXPECT_EQ(out.recorder.begun, 1);
  EXPECT_EQ(out.recorder.ended, 1);
  std::size_t n = 0;
  for (int J = 3; J <= 4; ++J) {
    for (int v = 0; v <= 2; ++v) {
      for (int Par = 0; Par <= 1; ++Par) {
        const LevelRecord& l = out.recorder.levels[n++];
        EXPECT_EQ(l.iline, static_cast<int64_t>(n));
        EXPECT_EQ(l.J, J);
        EXPECT_EQ(l.v, v);
        EXPECT_EQ(l.Par, Par);
        EXPECT_EQ(l.results.node, v);
        EXPECT_LE(std::fabs(l.results.Dcor), 1e-6);
        EXPECT_FALSE(l.quasi_bound);
      }
    }
  }
  // Levels rise with v, and with J for the same v.
  EXPECT_LT(out.recorder.levels[0].E, out.recorder.levels[2].E);
  EXPECT_LT(out.recorder.levels[0].E, out.recorder.levels[6].E);
  // The effective potential is built once per J, before the first level of that J.
  std::size_t builds = 0;
  for (std::size_t at = 0; (at = out.console.find(" UYeff OK", at)) != std::string::npos; ++at) {
    ++builds;
  }
  EXPECT_EQ(builds, 1u + 2u) << "toadd's J = 0, then J = 3 and J = 4";
}

// The window of every level is [Umin + toadd + 1e-6, Umax - 1e-6] of its J (1e-6 in single
// precision), entered at its middle, and toadd is a third of the spacing of v = 1 and v = 2 at
// J = 0 as solved with the toadd tolerance of 0.1 cm-1.
TEST_F(LevelDriverTest, WindowSpansTheWellAboveToaddBelowTheBarrier) {
  const DriverRun out = run(request({0, 3}, {0, 0}, {1, 1}));
  ASSERT_EQ(out.recorder.levels.size(), 4u);
  const double spacing = out.recorder.levels[2].E - out.recorder.levels[1].E;
  for (const LevelRecord& l : out.recorder.levels) {
    EXPECT_NEAR(l.Ein + l.delE, l.Umax - constants::kWindowMargin, 1e-9);
    // Ein - delE = Umin + toadd + 1e-6 lies below the lowest level (about half a spacing above
    // the well's bottom).
    const double bottom = l.Ein - l.delE;
    EXPECT_LT(bottom, out.recorder.levels[0].E);
    EXPECT_EQ(l.Ein, out.recorder.levels[0].Ein) << "one window per J";
  }
  // toadd itself: its solves stop at 0.1 cm-1, hence the tolerance against the converged spacing.
  LevelDriver driver(DriverOptions{});
  test::ConsoleCapture capture;
  const double toadd =
      driver.compute_toadd(read_curve_definition("mlj.pot     "), RadialGrid(0.9, 8.0, 1500));
  EXPECT_NEAR(toadd, spacing / 3, 0.1);
  EXPECT_NE(capture.text().find(" toadd \n"), std::string::npos);
}

// A solve that ends with |Dcor| > tol is announced and repeated once from where it ended with a
// tenth of the window; the listed half-width stays the first one, the counts are the retry's.
TEST_F(LevelDriverTest, UnconvergedLevelIsRetriedOnceInANarrowerWindow) {
  LevelTableRequest r = request({2, 2}, {0, 0}, {1, 1});
  r.maxit = 4;
  const DriverRun out = run(r);
  ASSERT_EQ(out.recorder.levels.size(), 1u);
  const LevelRecord& l = out.recorder.levels[0];
  const std::size_t epr = out.console.find("Epr-");
  ASSERT_NE(epr, std::string::npos);
  EXPECT_EQ(out.console.find("Epr-", epr + 1), std::string::npos) << "one retry only";
  EXPECT_NE(out.console.find(" perhaps better...\n", epr), std::string::npos);
  EXPECT_LE(l.results.kturn, 4);

  // The same level without an iteration limit: no retry, and the same first window.
  const DriverRun converged = run(request({2, 2}, {0, 0}, {1, 1}));
  EXPECT_EQ(converged.console.find("Epr-"), std::string::npos);
  EXPECT_EQ(converged.recorder.levels[0].delE, l.delE);
  EXPECT_EQ(converged.recorder.levels[0].Ein, l.Ein);
}

// With one iteration per solve no level converges: in each J the first two poor levels are
// listed, the third and all later ones are not (their solves still run), and the line numbers stay
// consecutive over the listed levels.
TEST_F(LevelDriverTest, ThirdPoorLevelOfAJEndsTheListingOfThatJ) {
  LevelTableRequest r = request({0, 4}, {0, 1}, {1, 1});
  r.maxit = 1;
  r.tol = 1e-12;
  const DriverRun out = run(r);
  ASSERT_EQ(out.recorder.levels.size(), 4u);
  const int expected_J[] = {0, 0, 1, 1}, expected_v[] = {0, 1, 0, 1};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out.recorder.levels[i].iline, static_cast<int64_t>(i + 1));
    EXPECT_EQ(out.recorder.levels[i].J, expected_J[i]);
    EXPECT_EQ(out.recorder.levels[i].v, expected_v[i]);
  }
  // Every level was solved twice (the solve and its retry): ten announcements.
  std::size_t retries = 0;
  for (std::size_t at = 0; (at = out.console.find("Epr-", at)) != std::string::npos; ++at) {
    ++retries;
  }
  EXPECT_EQ(retries, 10u);
}

// Lambda = 1: Par = 1 takes q1·J(J+1), every other Par q2·J(J+1), added after the solve; any other
// Lambda adds nothing whatever q1 and q2 hold.
TEST_F(LevelDriverTest, LambdaDoublingShiftsByParity) {
  write("mlj.pot", mlj_file(1, 0.5, 0.25));
  const DriverRun doubled = run(request({1, 1}, {0, 3}, {0, 2}));
  ASSERT_EQ(doubled.recorder.levels.size(), 12u);
  for (std::size_t i = 0; i < 12; i += 3) {
    const LevelRecord& p0 = doubled.recorder.levels[i];
    const LevelRecord& p1 = doubled.recorder.levels[i + 1];
    const LevelRecord& p2 = doubled.recorder.levels[i + 2];
    const double JJ1 = p0.J * (p0.J + 1.0);
    // 0.5 and 0.25 are exact in single precision; the solves of the three parities are the same.
    EXPECT_NEAR(p1.E - p0.E, (0.5 - 0.25) * JJ1, 1e-9) << "J=" << p0.J;
    EXPECT_EQ(p2.E, p0.E);
  }
  EXPECT_EQ(doubled.recorder.levels[1].E, doubled.recorder.levels[0].E) << "J = 0: no shift";

  write("mlj.pot", mlj_file(2, 0.5, 0.25));
  const DriverRun plain = run(request({1, 1}, {3, 3}, {0, 1}));
  ASSERT_EQ(plain.recorder.levels.size(), 2u);
  EXPECT_EQ(plain.recorder.levels[0].E, plain.recorder.levels[1].E);
}

// J = 19 lifts the lowest level above the asymptote (3000 cm-1, the curve's Uinf and so Ulim),
// well below the barrier's top: it is quasi-bound, listed with its tunnelling figure and the
// window's top, on either grid.
TEST_F(LevelDriverTest, LevelAboveTheAsymptoteIsQuasiBound) {
  for (GridOrientation o : {GridOrientation::forward, GridOrientation::reversed}) {
    const DriverRun out = run(request({0, 0}, {19, 19}, {1, 1}), o);
    ASSERT_EQ(out.recorder.levels.size(), 1u);
    const LevelRecord& l = out.recorder.levels[0];
    EXPECT_EQ(l.Ulim, 3000.0);
    EXPECT_GT(l.E, l.Ulim);
    EXPECT_TRUE(l.quasi_bound);
    EXPECT_GT(l.tunnel, 0.0);
    EXPECT_GT(l.Umax, l.E);
    EXPECT_LE(std::fabs(l.results.Dcor), 1e-6);
  }
}

// At J = 60 the centrifugal term swamps the well (about 27000 cm-1 at Re): no interior minimum is
// left and the run stops there, the levels of the lower J already handed on.
TEST_F(LevelDriverTest, JWithoutWellStopsTheRun) {
  test::ConsoleCapture capture;
  LevelDriver driver(DriverOptions{});
  Recorder recorder;
  try {
    driver.compute_levels(request({0, 0}, {18, 60}, {1, 1}), recorder);
    FAIL() << "expected a stop";
  } catch (const StopRun& stop) {
    EXPECT_EQ(std::string(stop.what()), "Umin >  Umax");
  }
  ASSERT_FALSE(recorder.levels.empty());
  EXPECT_EQ(recorder.levels.front().J, 18);
  EXPECT_LT(recorder.levels.back().J, 60);
  EXPECT_EQ(recorder.ended, 0);
}

// J(J+1) - Lambda² is formed in 32-bit integers: 46340² = 2147395600 fits, 46341² = 2147488281
// does not (2^31 - 1 = 2147483647). The stop comes before toadd, so nothing is handed on.
TEST_F(LevelDriverTest, LambdaWhoseSquareLeaves32BitsStopsTheRun) {
  for (const int Lambda : {46341, -46341}) {
    write("mlj.pot", mlj_file(Lambda, 0.0, 0.0));
    test::ConsoleCapture capture;
    LevelDriver driver(DriverOptions{});
    Recorder recorder;
    try {
      driver.compute_levels(request({0, 0}, {0, 0}, {1, 1}), recorder);
      FAIL() << "Lambda = " << Lambda << " was accepted";
    } catch (const StopRun& stop) {
      EXPECT_EQ(std::string(stop.what()),
                "velk: mlj.pot: Lambda = " + std::to_string(Lambda) +
                    " is too large; J(J+1) - Lambda^2 is formed in 32-bit integers, which hold "
                    "Lambda = -46340 to 46340");
    }
    EXPECT_EQ(recorder.begun, 0);
  }
  // Lambda = 46340 passes this check (what its huge negative centrifugal term does to the well
  // is the landmarks' business).
  write("mlj.pot", mlj_file(46340, 0.0, 0.0));
  LevelDriver driver(DriverOptions{});
  test::ConsoleCapture capture;
  try {
    driver.compute_toadd(read_curve_definition("mlj.pot     "),
                         request({0, 0}, {0, 0}, {1, 1}).grid);
  } catch (const StopRun& stop) {
    EXPECT_EQ(std::string(stop.what()).find("Lambda"), std::string::npos) << stop.what();
  }
}

// --- warnings ------------------------------------------------------------------------------------

struct WarnedRun {
  DriverRun run;
  std::vector<std::string> warnings;
};

WarnedRun run_warned(const LevelTableRequest& r, GridOrientation o = GridOrientation::forward) {
  WarningCapture capture;
  WarnedRun out{run(r, o), {}};
  out.warnings = capture.lines();
  return out;
}

std::size_t count_containing(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<std::size_t>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; }));
}

// The bound levels at J = 0 are those the solver finds converged with v nodes below the
// asymptote (four on this curve of mass 1 u); every listed v beyond them is named with that
// count, every one within it is not. Both grid orientations agree.
TEST_F(LevelDriverTest, LevelsBeyondTheLastAreNamedWithTheCountOfLevels) {
  for (GridOrientation o : {GridOrientation::forward, GridOrientation::reversed}) {
    LevelTableRequest r = request({0, 8}, {0, 0}, {1, 1});
    r.state = "A";
    const WarnedRun out = run_warned(r, o);
    int bound = 0;
    for (const LevelRecord& l : out.run.recorder.levels) {
      if (l.v == bound && std::fabs(l.results.Dcor) <= r.tol && l.results.node == l.v &&
          l.E < l.Ulim) {
        ++bound;
      }
    }
    ASSERT_GE(bound, 3);
    const std::string count = "; the state has " + std::to_string(bound) + " levels v=0.." +
                              std::to_string(bound - 1) + " at J=0";
    std::size_t beyond = 0;
    for (const LevelRecord& l : out.run.recorder.levels) {
      const std::string level =
          "velk: warning: state A (mlj.pot): v=" + std::to_string(l.v) + " J=0";
      const std::size_t named = count_containing(out.warnings, level + " not found") +
                                count_containing(out.warnings, level + " lies above");
      EXPECT_EQ(named, l.v < bound ? 0u : 1u) << "v=" << l.v;
      if (l.v >= bound) ++beyond;
    }
    EXPECT_GE(beyond, 1u);
    EXPECT_EQ(count_containing(out.warnings, count), beyond);
  }
}

// A Lennard-Jones well, De = 2000 cm-1 at Re = 3 Å, mass 5 u, as a table of 434 points from 2.4 to
// 17.988 Å: at J = 30 its centrifugal barrier tops the well 39.62 cm-1 above the limit, and level
// v = 11 lies 0.18 cm-1 under that top (found, converged with 11 nodes). The count of levels below
// the top closes the well at the barrier and, for a level whose wave function reaches that far
// into it, comes out one short: the warnings of v = 12 and 13 must count v = 11 among the levels.
TEST_F(LevelDriverTest, TheCountOfLevelsIncludesALevelFoundJustUnderTheBarrierTop) {
  const double De = 2000.0, Re = 3.0;
  const auto V = [&](double R) {
    const double x6 = std::pow(Re / R, 6);
    return De * (x6 * x6 - 2 * x6);
  };
  const auto V2 = [&](double R) {
    return De * (156 * std::pow(Re, 12) / std::pow(R, 14) - 84 * std::pow(Re, 6) / std::pow(R, 8));
  };
  std::string points;
  int n = 0;
  double R = 0.8 * Re;
  const double first = R;
  double last = R;
  char line[64];
  for (; R <= 6 * Re + 1e-9; R += 0.012 * Re, ++n) {
    std::snprintf(line, sizeof line, "%.6f %.10f\n", R, V(R));
    points += line;
    last = R;
  }
  char ends[96];
  std::snprintf(ends, sizeof ends, "%.17g\n%.17g\n", V2(first), V2(last));
  write("lj.pot", std::to_string(n) + "\n5 5 5 5 5\n0\n0.0\n0.0\nLJ\ntable\nPW  pointwise\n" +
                      ends + points + "n\n");
  LevelTableRequest r = request({0, 13}, {30, 30}, {1, 1});
  r.curve = read_curve_definition("lj.pot      ");
  r.grid = RadialGrid(first, last, 4000);
  r.tol = 1e-5;
  r.state = "A";
  const WarnedRun out = run_warned(r);
  const auto& levels = out.run.recorder.levels;
  ASSERT_GE(levels.size(), 12u);
  const LevelRecord& top = levels[11];
  ASSERT_EQ(top.v, 11);
  ASSERT_EQ(top.results.node, 11);
  ASSERT_LE(std::fabs(top.results.Dcor), r.tol);
  ASSERT_TRUE(top.quasi_bound);
  EXPECT_GT(top.E, top.Umax - 0.5);
  EXPECT_LT(top.E, top.Umax);
  // The level 0.5 cm-1 under the top is broad, and named so; the two above it do not exist.
  ASSERT_EQ(out.warnings.size(), 3u);
  EXPECT_EQ(count_containing(out.warnings, "quasi-bound level v=11 J=30 at "), 1u);
  EXPECT_EQ(count_containing(out.warnings, "is wider than the tolerance: half-width "), 1u);
  for (int v : {12, 13}) {
    EXPECT_EQ(count_containing(out.warnings,
                               "state A (lj.pot): v=" + std::to_string(v) + " J=30 not found"),
              1u);
  }
  EXPECT_EQ(count_containing(out.warnings, "; the state has 12 levels v=0..11 at J=30"), 2u)
      << out.warnings[0];
}

// A grid that starts just inside the minimum (1.5 Å) cuts the inner wall: every level is named with
// the inner end; the grid of the fixture, from 0.9 Å, gives none of these.
TEST_F(LevelDriverTest, AGridThatCutsTheInnerWallIsNamedForEachLevel) {
  for (GridOrientation o : {GridOrientation::forward, GridOrientation::reversed}) {
    LevelTableRequest r = request({0, 2}, {0, 0}, {1, 1});
    EXPECT_TRUE(run_warned(r, o).warnings.empty());
    r.grid = RadialGrid(1.4, 8.0, 1500);
    const WarnedRun cut = run_warned(r, o);
    EXPECT_EQ(count_containing(cut.warnings,
                               "has not died out at the inner end of the grid (R = "
                               "1.4 Å)"),
              3u);
  }
}

// The MLJ well with its energies in hartree (De 3000 cm-1 -> 0.0137): far shallower than the
// zero-point energy of its first level, which the warning says with the units expected.
TEST_F(LevelDriverTest, AWellShallowerThanItsZeroPointEnergyIsNamed) {
  write("mlj.pot",
        "1\n1.0 2.0 1.0 1.0 1.0\n0\n0\n0\ncomment\ncomment\nML\n1.5\n0 2.0\n0.0137\n6 "
        "1.37\n1.0\n4.0\n");
  const WarnedRun out = run_warned(request({0, 0}, {0, 0}, {1, 1}));
  EXPECT_EQ(count_containing(out.warnings,
                             "shallower than the zero-point energy of its first "
                             "level"),
            1u);
  EXPECT_EQ(count_containing(out.warnings, "radii in Å and energies in cm-1"), 1u);
}

// The Na2 X MLJ curve (1.2e6 cm-1 at 1.8 Å) of the example, on a grid that starts at 1.8 Å with
// too few points for that wall (T = 5.6 there): the recurrence counts spurious nodes, and the
// warning says so once for the state, however many J and requests follow; with the example's own
// grid (50000 points), and one starting at 2.0 Å, nothing is said.
TEST_F(LevelDriverTest, AGridDeepInTheWallIsNamedOncePerState) {
  std::ifstream in(std::string(VELK_EXAMPLES_DIR) + "/na2-x-mlj/na2xmlj.pot");
  ASSERT_TRUE(in) << "the example curve";
  write("na2xmlj.pot", std::string(std::istreambuf_iterator<char>(in), {}));
  const auto na2 = [](double Rmin, double Rmax, int N, QuantumRange J) {
    LevelTableRequest r = request({0, 1}, J, {1, 1});
    r.curve = read_curve_definition("na2xmlj.pot");
    r.mass_index = 5;
    r.tol = 1e-3;
    r.grid = RadialGrid(Rmin, Rmax, N);
    return r;
  };
  const std::string said = "the Numerov coefficient T = h²·μ·(V − E)/(12 × 16.857631) reaches";
  {
    WarningCapture capture;
    LevelDriver driver(DriverOptions{GridOrientation::forward, throw_on_numerical_failure});
    Recorder recorder;
    test::ConsoleCapture console;
    driver.compute_levels(na2(1.8, 15.0, 1500, {0, 1}), recorder);
    driver.compute_levels(na2(1.8, 15.0, 1500, {5, 5}), recorder);
    ASSERT_EQ(count_containing(capture.lines(), said), 1u);
    EXPECT_EQ(count_containing(capture.lines(), "reaches 5.55 at R = 1.8 Å"), 1u);
    EXPECT_EQ(count_containing(capture.lines(),
                               "start the grid at R = 1.844 Å or further out, or "
                               "use at least 3532 points"),
              1u);
  }
  for (const auto& [Rmin, N] : {std::pair{1.8, 50000}, std::pair{2.0, 1500}}) {
    EXPECT_EQ(count_containing(run_warned(na2(Rmin, 15.0, N, {0, 0})).warnings, said), 0u)
        << Rmin << " " << N;
  }
}

// The stop names nothing; the warning before it names the file, the grid and the J it met.
TEST_F(LevelDriverTest, TheStopWithoutWellIsExplainedOnTheWarningSink) {
  WarningCapture capture;
  test::ConsoleCapture console;
  LevelDriver driver(DriverOptions{});
  Recorder recorder;
  LevelTableRequest r = request({0, 0}, {18, 60}, {1, 1});
  r.state = "B";
  EXPECT_THROW(driver.compute_levels(r, recorder), StopRun);
  // Levels of the last J before the stop may have been named too; the stop's context comes last.
  ASSERT_FALSE(capture.lines().empty());
  const int J = recorder.levels.back().J + 1;
  EXPECT_EQ(capture.lines().back().rfind(
                "velk: warning: state B (mlj.pot): \"Umin >  Umax\" at J=" + std::to_string(J) +
                    ": the effective potential on the "
                    "grid 0.9..8 Å (1500 points)",
                0),
            0u)
      << capture.lines().back();
}

// --- the level file
// ------------------------------------------------------------------------------- Expected lines
// written out by hand from the layouts (I5,I4,I4,F13.5,I2,F11.4,I3,F13.5,E10.2,I5, I7,I3,I4) and
// its quasi-bound variant with "   res." in place of krigth.

TEST_F(LevelDriverTest, LevelFileHasItsHeaderAndBothLayouts) {
  LevelTableRequest r = request({0, 1}, {0, 2}, {1, 1});
  r.mass_index = 2;
  LevelFileWriter file;
  file.begin(r);
  LevelRecord a;
  a.iline = 1;
  a.v = 3;
  a.J = 12;
  a.Par = 1;
  a.E = 1234.567891;
  a.delE = 98.76543;
  a.Ein = 1200.5;
  a.results = {1.5e-7, 7, 3, 12, 345};  // Dcor, kturn, node, kleft, krigth
  file.level(a);
  LevelRecord b = a;
  b.iline = 2;
  b.quasi_bound = true;
  b.results.Dcor = -2.5e-5;
  b.tunnel = 3.26e-4;
  b.Umax = 4752.12235;
  b.Ulim = 3000.0;
  file.level(b);
  file.end();

  std::ifstream in("Astate.dat");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::vector<std::string> expected{
      "    6 !number of levels",
      " Potential File:  mlj.pot     ",
      " Energ. data:     Astate.dat  ",
      " ---------------------------------------------",
      " iline,nv,Jline,Eout,Par,delE,ic,Ein,Dcor,kleft-krigth,kturn,node",
      "  1  1  1  1  1 !levels to be used",
      "    1   3  12   1234.56789 1    98.7654 20   1200.50000  0.15E-06   12    345  7   3",
      "    2   3  12   1234.56789 1    98.7654 20   1200.50000 -0.25E-04   12   res.  7   3  "
      "0.33E-03   4752.12235   3000.00000"};
  EXPECT_EQ(lines, expected);
}

// --- the faster ways against the reference
// ---------------------------------------------------------

void expect_same(const Handed& got, const Handed& reference, const std::string& what) {
  EXPECT_EQ(got.console, reference.console) << what;
  EXPECT_EQ(got.warnings, reference.warnings) << what;
  EXPECT_EQ(got.stop, reference.stop) << what;
  ASSERT_EQ(got.levels.size(), reference.levels.size()) << what;
  for (std::size_t i = 0; i < got.levels.size(); ++i) {
    const LevelRecord& a = got.levels[i];
    const LevelRecord& b = reference.levels[i];
    const auto bits = [](double x) { return std::bit_cast<uint64_t>(x); };
    EXPECT_TRUE(a.iline == b.iline && a.v == b.v && a.J == b.J && a.Par == b.Par &&
                bits(a.E) == bits(b.E) && bits(a.delE) == bits(b.delE) &&
                bits(a.Ein) == bits(b.Ein) && bits(a.results.Dcor) == bits(b.results.Dcor) &&
                a.results.kturn == b.results.kturn && a.results.node == b.results.node &&
                a.results.kleft == b.results.kleft && a.results.krigth == b.results.krigth &&
                a.quasi_bound == b.quasi_bound && bits(a.tunnel) == bits(b.tunnel) &&
                bits(a.Umax) == bits(b.Umax) && bits(a.Ulim) == bits(b.Ulim))
        << what << ": level " << i;
  }
}

// Vector lanes, searches followed together, iterations taken from the cache and J computed ahead
// on 1, 2 and 3 threads (a single J shared out among them), and in the fast mode the effective
// potentials made ahead, hand on bit for bit what computing every J in turn hands on: on both
// grids, with levels beyond the last (warned about), quasi-bound levels, Lambda doubling, a run
// that stops at a J without well, and a well so shallow that passes from the top miss their joint
// ("rigth error", which depends on the joint of the solve before).
TEST_F(LevelDriverTest, FasterWaysHandOnWhatComputingInTurnHandsOn) {
  struct Job {
    std::string name;
    std::string file;
    LevelTableRequest request;
  };
  std::vector<Job> jobs{
      {"bound and beyond", mlj_file(0, 0.0, 0.0), request({0, 8}, {0, 4}, {1, 1})},
      {"quasi-bound", mlj_file(0, 0.0, 0.0), request({0, 2}, {17, 20}, {1, 1})},
      {"Lambda doubled", mlj_file(1, 0.5, 0.25), request({0, 3}, {0, 3}, {0, 2})},
      {"one J", mlj_file(0, 0.0, 0.0), request({0, 6}, {2, 2}, {1, 1})},
      {"stop", mlj_file(0, 0.0, 0.0), request({0, 0}, {55, 60}, {1, 1})},
      {"shallow",
       "1\n1.0 2.0 1.0 1.0 1.0\n0\n0\n0\ncomment\ncomment\nML\n1.5\n0 2.0\n0.03\n6 3.0\n1.0\n4.0\n",
       request({0, 2}, {0, 2}, {1, 1})},
  };
  for (Job& job : jobs) {
    write("mlj.pot", job.file);
    job.request.curve = read_curve_definition("mlj.pot");
    job.request.state = "A";
    for (const SearchMode mode : {SearchMode::exact, SearchMode::fast}) {
      for (const GridOrientation o : {GridOrientation::forward, GridOrientation::reversed}) {
        DriverOptions in_turn{o, throw_on_numerical_failure};
        in_turn.in_turn_only = true;
        in_turn.mode = mode;
        const Handed reference = hand_on(job.request, in_turn);
        if (job.name == "shallow" && o == GridOrientation::forward && mode == SearchMode::exact) {
          ASSERT_NE(reference.console.find(" rigth error"), std::string::npos)
              << "the shallow well must miss a joint to test that path";
        }
        if (job.name == "stop") {
          ASSERT_EQ(reference.stop, "Umin >  Umax");
        }
        for (const int threads : {1, 2, 3}) {
          DriverOptions faster{o, throw_on_numerical_failure};
          faster.threads = threads;
          faster.mode = mode;
          expect_same(hand_on(job.request, faster), reference,
                      job.name + (mode == SearchMode::fast ? ", fast" : ", exact") +
                          (o == GridOrientation::forward ? ", forward" : ", reversed") +
                          ", threads " + std::to_string(threads));
        }
      }
    }
  }
}

}  // namespace
}  // namespace velk
