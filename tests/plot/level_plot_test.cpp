#include "plot/level_plot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/errors.h"
#include "io/warning.h"
#include "pec/potential_header.h"
#include "plot/state_inputs.h"
#include "plot_test_support.h"

namespace velk::plot {
namespace {

using test::AxisMap;
using test::PlotDirTest;
using test::TestLevel;
using test::XmlElement;

// Turning points of Kratzer's curve plus a centrifugal term c/R², in closed form: with u = 1/R,
// De(1 - Rm·u)² + c·u² = E is the quadratic (De·Rm² + c)u² - 2·De·Rm·u + (De - E) = 0.
struct Exact {
  double inner, outer;
};
Exact kratzer_turning_points(double E, double c) {
  const double a = test::kDe * test::kRm * test::kRm + c;
  const double b = test::kDe * test::kRm;
  const double root = std::sqrt(b * b - a * (test::kDe - E));
  return {a / (b + root), a / (b - root)};  // 1/u for the larger and the smaller u
}

double centrifugal(int J) {
  return kCentrifugalConstant * J * (J + 1) / test::kMu;
}

// ---- classical_turning_points on hand-filled grids ----

struct Grid {
  double R0, h;
  int N;
  std::vector<double> V;
  double R(int i) const { return R0 + i * h; }
};

// V = 50 (R - 5)² on 1..9 Å with h = 0.01.
Grid parabola() {
  Grid g{0.99, 0.01, 801, {}};
  g.V.assign(g.N + 1, 0.0);
  for (int i = 1; i <= g.N; ++i) g.V[i] = 50.0 * (g.R(i) - 5.0) * (g.R(i) - 5.0);
  return g;
}

TEST(ClassicalTurningPoints, ParabolaMatchesTheClosedForm) {
  const Grid g = parabola();
  for (const double E : {0.5, 12.5, 200.0, 799.0}) {
    const TurningPoints p = classical_turning_points(g.V, g.R0, g.h, g.N, E, 0.0);
    const double half_width = std::sqrt(E / 50.0);
    // Linear interpolation of a parabola between grid points: error below h²·V''/(8·|V'|),
    // at most 1e-4·100/(8·10) ≈ 1.3e-4 Å for the smallest E here, plus rounding.
    const double tolerance = 2e-4;
    EXPECT_TRUE(p.inner_found && p.outer_found) << E;
    EXPECT_NEAR(p.inner, 5.0 - half_width, tolerance) << E;
    EXPECT_NEAR(p.outer, 5.0 + half_width, tolerance) << E;
  }
}

TEST(ClassicalTurningPoints, CentrifugalTermAgainstABisectionOfTheSmoothCurve) {
  const Grid g = parabola();
  const double c = 300.0;  // cm-1·Å²
  const auto U = [&](double R) { return 50.0 * (R - 5.0) * (R - 5.0) + c / (R * R); };
  // The minimum of U lies near R = 5.01; bisect each side on the smooth curve.
  const auto bisect = [&](double lo, double hi, double E) {
    for (int k = 0; k < 200; ++k) {
      const double mid = 0.5 * (lo + hi);
      ((U(lo) - E) * (U(mid) - E) <= 0.0 ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi);
  };
  const double E = 150.0;
  const TurningPoints p = classical_turning_points(g.V, g.R0, g.h, g.N, E, c);
  EXPECT_NEAR(p.inner, bisect(1.0, 5.0, E), 2e-4);
  EXPECT_NEAR(p.outer, bisect(5.02, 9.0, E), 2e-4);
  // The term moves the well: both points lie outside those of V alone by a visible amount.
  const TurningPoints bare = classical_turning_points(g.V, g.R0, g.h, g.N, E, 0.0);
  EXPECT_GT(p.inner, bare.inner + 1e-3);
}

TEST(ClassicalTurningPoints, OpenEndsAndLevelsBelowTheBottom) {
  Grid g{0.0, 1.0, 10, {}};
  // A well at i = 3 that rises to 5 on the left and only to 4 at the outer end.
  g.V = {0, 5, 2, 1, 2, 3, 3.5, 3.8, 3.9, 3.95, 4.0};
  const TurningPoints open = classical_turning_points(g.V, g.R0, g.h, g.N, 4.5, 0.0);
  EXPECT_TRUE(open.inner_found);
  EXPECT_NEAR(open.inner, 1.0 + (5.0 - 4.5) / (5.0 - 2.0), 1e-15);
  EXPECT_FALSE(open.outer_found);
  EXPECT_EQ(open.outer, 10.0);  // the grid end

  const TurningPoints below = classical_turning_points(g.V, g.R0, g.h, g.N, 0.5, 0.0);
  EXPECT_FALSE(below.inner_found || below.outer_found);
  EXPECT_EQ(below.inner, 3.0);
  EXPECT_EQ(below.outer, 3.0);

  // A curve without an interior minimum: the lowest value (the outer end here) is the bottom.
  Grid falling{0.0, 1.0, 4, {0, 9, 7, 5, 3}};
  const TurningPoints f = classical_turning_points(falling.V, 0.0, 1.0, 4, 6.0, 0.0);
  EXPECT_TRUE(f.inner_found);
  EXPECT_NEAR(f.inner, 2.5, 1e-15);
  EXPECT_FALSE(f.outer_found);
  EXPECT_EQ(f.outer, 4.0);

  EXPECT_THROW(classical_turning_points(g.V, 0.0, 1.0, 11, 1.0, 0.0), std::invalid_argument);
}

// ---- level files ----

class LevelFileTest : public PlotDirTest {};

TEST_F(LevelFileTest, ReadsBothLayoutsAndMarksQuasiBoundLevels) {
  write_file(
      "Astate.dat",
      test::level_file("model.pot   ", {{0, 0, 900.0}, {1, 0, 2500.0}, {5, 30, 10100.0, true}}));
  const LevelFileData data = read_level_file("Astate.dat");
  EXPECT_EQ(data.data_file, "model.pot");
  ASSERT_EQ(data.levels.size(), 3u);
  EXPECT_EQ(data.levels[1].iline, 2);
  EXPECT_EQ(data.levels[1].v, 1);
  EXPECT_EQ(data.levels[1].E, 2500.0);
  EXPECT_EQ(data.levels[1].p, 1);
  EXPECT_FALSE(data.levels[1].quasi_bound);
  EXPECT_TRUE(data.levels[2].quasi_bound);
  EXPECT_EQ(data.levels[2].J, 30);
  EXPECT_EQ(data.unreadable, 0);
}

TEST_F(LevelFileTest, DunhamLayoutCommasBlankLinesAndOverflowedValues) {
  write_file("Bstate.dat",
             "    3 !number of levels\n"
             " Data File:  na2a.dun    \n"
             " Dunham coeff. type: d.   Mass ratio:    1.00000000000000     \n"
             " __________________________________\n"
             " iline,nv,Jline,Eout,Par\n"
             "  1  1  1  1  1\n"
             "    1   0   9   14749.094820  1 10  1\n"
             "\n"
             "2,1,9,14865.653228,1\n"
             "    3   2   9****************  1 10  1\n");
  const LevelFileData data = read_level_file("Bstate.dat");
  EXPECT_EQ(data.data_file, "na2a.dun");
  ASSERT_EQ(data.levels.size(), 2u);
  EXPECT_EQ(data.levels[1].E, 14865.653228);
  EXPECT_EQ(data.unreadable, 1);
}

TEST_F(LevelFileTest, ClearErrors) {
  try {
    read_level_file("Astate.dat");
    ADD_FAILURE() << "a missing file must be an error";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(), "velk-plot: Astate.dat: no such file; run velk first");
  }
  write_file("short.dat", "    1 !number of levels\n Potential File:  a.pot\n");
  try {
    read_level_file("short.dat");
    ADD_FAILURE();
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(),
                 "velk-plot: short.dat: line 3: the file ends within its six header lines");
  }
  write_file("bad.dat", test::level_file("a.pot", {{0, 0, 1.0}}) + "    2   1   x   5.0 1\n");
  try {
    read_level_file("bad.dat");
    ADD_FAILURE();
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(),
                 "velk-plot: bad.dat: line 8: expected a level line beginning with iline, v, J, E "
                 "and p, found \"2   1   x   5.0 1\"");
  }
}

// ---- the picture of a potential state ----

class LevelPictureTest : public PlotDirTest {
 protected:
  void SetUp() override {
    PlotDirTest::SetUp();
    write_file("model.pot", test::kratzer_file());
    write_file("velk.inf", test::control_file("model.pot", 'p', "model.pot", 'p'));
  }

  // Builds the curve of state A as velk-plot does and draws the given level file.
  XmlElement picture(const std::vector<TestLevel>& levels) {
    write_file("Astate.dat", test::level_file("model.pot", levels));
    const StateInputs states = read_state_inputs("velk.inf");
    ::testing::internal::CaptureStdout();
    curve = build_potential_curve(states.A);
    builder_console = ::testing::internal::GetCapturedStdout();
    data = read_level_file("Astate.dat");
    svg = level_plot_svg({'A', "model.pot", &data, &curve});
    return test::parse_xml(svg);
  }

  PotentialCurve curve;
  LevelFileData data;
  std::string svg, builder_console;
};

const std::vector<TestLevel> kLevels = {
    {0, 0, 900.0}, {1, 0, 2500.0}, {1, 10, 2500.0}, {3, 0, 6400.0}, {5, 30, 10100.0, true}};

TEST_F(LevelPictureTest, LevelLinesSitAtTheEnergiesOfTheLevelFile) {
  const XmlElement root = picture(kLevels);
  EXPECT_EQ(builder_console, " Analytic PEC (Tiemann)\n Polynomial extension at short range.\n");
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), kLevels.size());
  for (std::size_t k = 0; k < kLevels.size(); ++k) {
    const XmlElement& line = *lines[k];
    EXPECT_EQ(line.number("y1"), line.number("y2"));
    // Both the level and the ticks are written to a hundredth of a pixel.
    EXPECT_NEAR(y.value(line.number("y1")), kLevels[k].E, 2.0 * y.hundredth()) << k;
    EXPECT_EQ(line.attribute("data-v"), std::to_string(kLevels[k].v));
    EXPECT_EQ(line.attribute("data-J"), std::to_string(kLevels[k].J));
  }
  // The hundredth of a pixel is small against the level spacing: the check above is sharp.
  EXPECT_LT(y.hundredth(), 1.0);
}

TEST_F(LevelPictureTest, LevelLinesEndAtTheClassicalTurningPoints) {
  const XmlElement root = picture(kLevels);
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), kLevels.size());
  // Bound levels: closed-form turning points, with J(J+1)·16.857.../mu for J = 10. The grid step
  // is 0.001 Å, so the linear interpolation between grid points is far below a hundredth of a
  // pixel (about 2.7e-4 Å here).
  for (std::size_t k = 0; k < 4; ++k) {
    const Exact exact = kratzer_turning_points(kLevels[k].E, centrifugal(kLevels[k].J));
    EXPECT_NEAR(x.value(lines[k]->number("x1")), exact.inner, 2.0 * x.hundredth() + 1e-5) << k;
    EXPECT_NEAR(x.value(lines[k]->number("x2")), exact.outer, 2.0 * x.hundredth() + 1e-5) << k;
  }
  // J = 10 at the same energy as J = 0 lies in a narrower region.
  EXPECT_GT(lines[2]->number("x1"), lines[1]->number("x1"));
  EXPECT_LT(lines[2]->number("x2"), lines[1]->number("x2"));
  // The quasi-bound level above the asymptote has no outer crossing: it runs to the grid end.
  EXPECT_NEAR(x.value(lines[4]->number("x2")), 20.0, 2.0 * x.hundredth());
}

TEST_F(LevelPictureTest, QuasiBoundLevelsAreDashedAndBoundOnesSolid) {
  const XmlElement root = picture(kLevels);
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), kLevels.size());
  for (std::size_t k = 0; k < kLevels.size(); ++k) {
    const bool dashed = !lines[k]->attribute("stroke-dasharray").empty();
    EXPECT_EQ(dashed, kLevels[k].quasi_bound) << k;
    EXPECT_EQ(lines[k]->has_class("quasi-bound"), kLevels[k].quasi_bound) << k;
  }
  EXPECT_NE(lines[4]->attribute("stroke"), lines[0]->attribute("stroke"));
  EXPECT_NE(svg.find("quasi-bound levels (res.): 1"), std::string::npos);
}

TEST_F(LevelPictureTest, AsymptoteIsTheUinfOfTheFileAndTheTitleTheDescriptionLine) {
  const XmlElement root = picture(kLevels);
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto asymptote = test::with_class(root, "asymptote");
  ASSERT_EQ(asymptote.size(), 1u);
  EXPECT_NEAR(y.value(asymptote[0]->number("y1")), test::kDe, 2.0 * y.hundredth());
  EXPECT_FALSE(asymptote[0]->attribute("stroke-dasharray").empty());
  // Line 6 of kratzer_file() names the curve; the file's name moves to the subtitle.
  EXPECT_EQ(test::with_class(root, "title")[0]->text, "Kratzer curve De (1 - Rm/R)^2");
  EXPECT_EQ(test::child_named(root, "title")->text, "Kratzer curve De (1 - Rm/R)^2");
  EXPECT_EQ(test::with_class(root, "subtitle")[0]->text,
            "state A, model.pot: potential curve and the levels of Astate.dat");
  EXPECT_NE(svg.find("asymptote 10000 cm-1"), std::string::npos);
  EXPECT_NE(svg.find("(Uinf of the potential file)"), std::string::npos);
  // The curve is drawn, thinned far below the 19001 grid points.
  const auto curve_lines = test::with_class(root, "curve");
  ASSERT_EQ(curve_lines.size(), 1u);
  const std::string& points = curve_lines[0]->attribute("points");
  const auto count = std::count(points.begin(), points.end(), ',');
  EXPECT_GT(count, 100);
  EXPECT_LT(count, 3000);
}

TEST_F(LevelPictureTest, CurvePointsLieOnThePotential) {
  const XmlElement root = picture({{0, 0, 900.0}, {3, 0, 6400.0}});
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const std::string points = test::with_class(root, "curve")[0]->attribute("points");
  std::istringstream in(points);
  int checked = 0;
  for (std::string pair; in >> pair;) {
    const auto comma = pair.find(',');
    const double px = std::stod(pair.substr(0, comma)), py = std::stod(pair.substr(comma + 1));
    const double R = x.value(px), E = y.value(py);
    const double V = test::kDe * (1.0 - test::kRm / R) * (1.0 - test::kRm / R);
    if (V > y.value(64.0)) continue;  // held at the top of the frame, hidden by the clip
    // Position error of a hundredth of a pixel in R, times the slope, plus one in E.
    const double slope = 2.0 * test::kDe * (1.0 - test::kRm / R) * test::kRm / (R * R);
    EXPECT_NEAR(E, V, 2.0 * y.hundredth() + std::abs(slope) * 2.0 * x.hundredth()) << R;
    ++checked;
  }
  EXPECT_GT(checked, 50);
}

TEST_F(LevelPictureTest, LevelsNearTheAsymptoteRunPastTheRightEdge) {
  // 9900 cm-1 is bound by 1 % of the depth: its outer turning point lies far beyond the grid.
  const XmlElement root = picture({{0, 0, 900.0}, {3, 0, 6400.0}, {9, 0, 9900.0}});
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), 3u);
  // The picture ends a little past the outer turning point of 6400 cm-1 (10 Å), not at 20 Å.
  const double right_end = x.value(690.0);
  EXPECT_GT(right_end, 10.0);
  EXPECT_LT(right_end, 11.0);
  // The line itself still runs to the grid end; the clip hides the rest.
  EXPECT_NEAR(x.value(lines[2]->number("x2")), 20.0, 2.0 * x.hundredth());
  EXPECT_NE(svg.find("1 level reaches past the right edge"), std::string::npos);
}

TEST_F(LevelPictureTest, ALowLevelAloneStillShowsTheWellUpToHalfHeight) {
  const XmlElement root = picture({{0, 0, 900.0}});
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  // The energy axis runs from 5 % of the range below the well bottom (0) to 8 % above the
  // asymptote; the curve crosses its middle E at xi = sqrt(E/De), R = Rm/(1 - xi). The wall
  // leaves the picture below the grid start (R = 1), so the R axis starts there and ends 5 % of
  // its span beyond that crossing.
  const double middle = 0.5 * (y.value(530.0) + y.value(64.0));
  EXPECT_NEAR(middle, 0.5 * (-0.05 * test::kDe + 1.08 * test::kDe), 2.0 * y.hundredth());
  const double crossing = test::kRm / (1.0 - std::sqrt(middle / test::kDe));
  EXPECT_NEAR(x.value(90.0), 1.0, 2.0 * x.hundredth());
  EXPECT_NEAR(x.value(690.0), crossing + 0.05 * (crossing - 1.0), 0.01);
}

TEST_F(LevelPictureTest, WithoutLevelsTheCurveAndAsymptoteAreStillDrawn) {
  const XmlElement root = picture({});
  EXPECT_TRUE(test::with_class(root, "level").empty());
  EXPECT_EQ(test::with_class(root, "curve").size(), 1u);
  EXPECT_EQ(test::with_class(root, "asymptote").size(), 1u);
  EXPECT_NE(svg.find("no levels in Astate.dat"), std::string::npos);
}

TEST_F(LevelPictureTest, PointwiseCurveWithoutExtensionTakesTheAsymptoteFromTheGridEnd) {
  // V = 100 (R - 3)² tabulated at R = 1, 1.5, ..., 20 without an extension block: the builder
  // knows no asymptote, and V at the last grid point (R = 20, where V = 28900) stands in.
  std::ostringstream text;
  text << "39\n7.5 7.5 7.5 7.5 7.5\n0\n0.0\n0.0\ncomment\ncomment\nPW\n200.0\n200.0\n";
  for (int i = 0; i < 39; ++i) {
    const double R = 1.0 + 0.5 * i;
    text << R << ' ' << 100.0 * (R - 3.0) * (R - 3.0) << '\n';
  }
  write_file("model.pot", text.str());
  const XmlElement root = picture({{0, 0, 400.0}});
  // A parabola is its own spline with these end conditions, so V(N) is the parabola's value to
  // rounding.
  EXPECT_FALSE(curve.asymptote_is_uinf);
  EXPECT_NEAR(curve.asymptote, 28900.0, 1e-8);
  EXPECT_EQ(curve.asymptote, curve.V[static_cast<std::size_t>(curve.N)]);
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  EXPECT_NEAR(y.value(test::with_class(root, "asymptote")[0]->number("y1")), 28900.0,
              2.0 * y.hundredth());
  EXPECT_NE(svg.find("(V at the grid end, R = 20"), std::string::npos);
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const auto level = test::with_class(root, "level");
  EXPECT_NEAR(x.value(level[0]->number("x1")), 1.0, 2.0 * x.hundredth() + 1e-5);
  EXPECT_NEAR(x.value(level[0]->number("x2")), 5.0, 2.0 * x.hundredth() + 1e-5);
}

TEST_F(LevelPictureTest, CurveBuildLeavesTheRunsExtensionReportAsItWas) {
  // A table of points with a fitted long-range extension: the run wrote potext.out for it, and
  // building the curve again for a picture must neither rewrite nor replace that file.
  write_file("ext.pot",
             "6\n1.0 1.0 1.0 1.0 1.0\n0\n0.0\n0.0\ntable\ntable\nPW\n0.0\n0.0\n"
             "1.0 9000.0\n2.0 1000.0\n4.0 3000.0\n6.0 4500.0\n8.0 4900.0\n10.0 4980.0\n"
             "y\n6.0 10.0 0.0\n5000.0 1\n1\n6 1.0e5 1\n");
  write_file("velk.inf", test::control_file("ext.pot", 'p', "ext.pot", 'p'));
  write_file("potext.out", "the run's report\n");
  struct stat before {
  }, after{};
  ASSERT_EQ(stat("potext.out", &before), 0);
  ::testing::internal::CaptureStdout();
  curve = build_potential_curve(read_state_inputs("velk.inf").A);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(curve.asymptote, 5000.0);
  ASSERT_EQ(stat("potext.out", &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(velk::test::lines_of("potext.out"), std::vector<std::string>{"the run's report"});
}

TEST_F(LevelPictureTest, CurveBuildRefusesBadStates) {
  StateInput state = read_state_inputs("velk.inf").A;
  state.mass_index = 6;
  EXPECT_THROW(build_potential_curve(state), InputError);
  state.mass_index = 1;
  state.Rmax = state.Rmin;
  EXPECT_THROW(build_potential_curve(state), InputError);
  state.Rmax = 20.0;
  state.N = 1;
  EXPECT_THROW(build_potential_curve(state), InputError);
  state.N = 50001;
  try {
    build_potential_curve(state);
    ADD_FAILURE();
  } catch (const StopRun& stop) {
    EXPECT_STREQ(stop.what(), "number of points must be less than 50000");
  }
  state.N = 100;
  state.file = "absent.pot  ";
  try {
    build_potential_curve(state);
    ADD_FAILURE();
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(),
                 "velk-plot: absent.pot: no such file; the potential file named in velk.inf");
  }
}

TEST_F(LevelPictureTest, CentrifugalTermNeedsAPositiveMass) {
  write_file("Astate.dat", test::level_file("model.pot", {{0, 1, 900.0}}));
  data = read_level_file("Astate.dat");
  curve.V = {0.0, 5.0, 1.0, 5.0};
  curve.R0 = 0.0;
  curve.h = 1.0;
  curve.N = 3;
  curve.mu = 0.0;
  EXPECT_THROW(level_plot_svg({'A', "model.pot", &data, &curve}), InputError);
  // J = 0 with Lambda = 0 adds nothing and needs no mass.
  write_file("Astate.dat", test::level_file("model.pot", {{0, 0, 3.0}}));
  data = read_level_file("Astate.dat");
  EXPECT_NO_THROW(test::parse_xml(level_plot_svg({'A', "model.pot", &data, &curve})));
}

// ---- a Dunham state ----

TEST_F(LevelFileTest, DunhamStateIsATermDiagramAgainstJ) {
  write_file("Bstate.dat", test::level_file("x.dun", {{0, 9, 14749.09482},
                                                      {1, 9, 14865.653228},
                                                      {0, 11, 14753.5},
                                                      {2, 9, 14981.496436}}));
  const LevelFileData data = read_level_file("Bstate.dat");
  const std::string svg = level_plot_svg({'B', "x.dun", &data, nullptr});
  const XmlElement root = test::parse_xml(svg);
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), 4u);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const double centre = 0.5 * (lines[k]->number("x1") + lines[k]->number("x2"));
    EXPECT_NEAR(x.value(centre), data.levels[k].J, 2.0 * x.hundredth());
    EXPECT_NEAR(y.value(lines[k]->number("y1")), data.levels[k].E, 2.0 * y.hundredth());
  }
  EXPECT_TRUE(test::with_class(root, "curve").empty());
  EXPECT_TRUE(test::with_class(root, "asymptote").empty());
  EXPECT_NE(svg.find("Dunham state: term values only,"), std::string::npos);
  EXPECT_EQ(test::with_class(root, "xlabel")[0]->text, "J");

  write_file("Empty.dat", test::level_file("x.dun", {}));
  const LevelFileData empty = read_level_file("Empty.dat");
  EXPECT_THROW(level_plot_svg({'B', "x.dun", &empty, nullptr}), InputError);
}

TEST_F(LevelFileTest, StateRecordsAreReadWithoutTheRestOfTheControlFile) {
  // Only the first ten records matter: a file cut after them still gives both states, and the
  // LIF flag that stops velk does not stop a picture.
  write_file("velk.inf",
             "title\nlong_name_of_a_file.pot\np\n2\nb.dun\nd\n3\ngrid\n1.5 25 1000 state A\n"
             "2.0,30.0,2000\n");
  const StateInputs states = read_state_inputs("velk.inf");
  EXPECT_EQ(states.A.file, "long_name_of");  // cut to 12 characters, as velk reads it
  EXPECT_EQ(states.A.kind, 'p');
  EXPECT_EQ(states.A.mass_index, 2);
  EXPECT_EQ(states.A.Rmin, 1.5);
  EXPECT_EQ(states.A.Rmax, 25.0);
  EXPECT_EQ(states.A.N, 1000);
  EXPECT_EQ(states.B.file, "b.dun       ");
  EXPECT_EQ(states.B.kind, 'd');
  EXPECT_EQ(states.B.N, 2000);
  write_file("velk.inf", "title\na.pot\np\n1\nb.dun\nd\n1\ngrid\n1.5 25 1000\n");
  EXPECT_THROW(read_state_inputs("velk.inf"), InputError);
}

// velk-plot never waits on standard input: a fit that fails (its window holds no grid point, so
// the normal matrix is singular) is told on standard error and the curve is drawn with the values
// at hand, the spline of the table here.
class FailedFitTest : public PlotDirTest {};

TEST_F(FailedFitTest, IsAWarningOnStandardErrorAndTheCurveIsStillBuilt) {
  set_warning_program("velk-plot");  // as velk-plot's main does
  write_file("fit.pot",
             "3   points\n7.5 7.5 7.5 7.5 7.5\n0\n0.0\n0.0\nline 6\nline 7\nPW\n0.0\n0.0\n"
             "2.0 300.0\n3.0 100.0\n4.0 200.0\n"
             "y\n3.51 3.52 0.0\n250.0 1\n1\n6 1.0e3 0\n");
  StateInput state;
  state.file = "fit.pot     ";
  state.mass_index = 1;
  state.Rmin = 2.0;
  state.Rmax = 4.0;
  state.N = 21;  // step 0.1: no grid point inside [3.51, 3.52]
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  const PotentialCurve curve = build_potential_curve(state);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "velk-plot: warning: singular matrix in gaussj\n");
  // The table's own points on the grid: the spline passes through them.
  EXPECT_EQ(curve.V[1], 300.0);
  EXPECT_EQ(curve.V[21], 200.0);
  EXPECT_EQ(curve.asymptote, 250.0);
}

}  // namespace
}  // namespace velk::plot
