// The choices of a level picture: levels the solver did not find, v labels, the picture's size
// and its title from the potential file's description line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "plot/level_plot.h"
#include "plot/picture_layout.h"
#include "plot/state_inputs.h"
#include "plot_test_support.h"

namespace velk::plot {
namespace {

using test::AxisMap;
using test::PlotDirTest;
using test::TestLevel;
using test::XmlElement;

// The run's tolerance in control_file() (record 12).
constexpr double kTolerance = 1e-5;

class LevelOptionsTest : public PlotDirTest {
 protected:
  void SetUp() override {
    PlotDirTest::SetUp();
    write_file("model.pot", test::kratzer_file());
    write_file("velk.inf", test::control_file("model.pot", 'p', "model.pot", 'p'));
  }

  XmlElement picture(const std::vector<TestLevel>& levels, const LevelDrawing& drawing,
                     std::optional<double> tolerance = kTolerance) {
    write_file("Astate.dat", test::level_file("model.pot", levels));
    ::testing::internal::CaptureStdout();
    curve = build_potential_curve(read_state_inputs("velk.inf").A);
    ::testing::internal::GetCapturedStdout();
    data = read_level_file("Astate.dat");
    svg = level_plot_svg({'A', "model.pot", &data, &curve}, drawing, tolerance);
    return test::parse_xml(svg);
  }

  PotentialCurve curve;
  LevelFileData data;
  std::string svg;
};

// v = 1 converged on the wrong number of nodes, v = 3 with a correction of 2e-5 > 1e-5; v = 2
// has |Dcor| exactly at the tolerance, which the solver accepts (its test is strict).
const std::vector<TestLevel> kMixed = {{0, 0, 900.0},
                                       {1, 0, 2500.0, false, 2},
                                       {2, 0, 4000.0, false, -1, "-0.10E-04"},
                                       {3, 0, 6400.0, false, -1, "-0.20E-04"}};

TEST(LevelNotFound, NodeCountAndCorrectionAgainstTheTolerance) {
  ListedLevel level;
  level.v = 4;
  EXPECT_FALSE(level_not_found(level, kTolerance));  // nothing known: a Dunham level
  level.node = 4;
  level.Dcor = -1e-5;
  EXPECT_FALSE(level_not_found(level, kTolerance));
  level.Dcor = -1.1e-5;
  EXPECT_TRUE(level_not_found(level, kTolerance));
  EXPECT_FALSE(level_not_found(level, std::nullopt));  // no tolerance: only the nodes count
  level.Dcor = 0.0;
  level.node = 5;
  EXPECT_TRUE(level_not_found(level, std::nullopt));
}

TEST_F(LevelOptionsTest, LevelsNotFoundAreDashedGreyAndCounted) {
  const XmlElement root = picture(kMixed, {});
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), 4u);
  const std::vector<bool> expected{false, true, false, true};
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(lines[k]->has_class("not-found"), expected[k]) << k;
    EXPECT_EQ(!lines[k]->attribute("stroke-dasharray").empty(), expected[k]) << k;
  }
  EXPECT_EQ(lines[1]->attribute("stroke"), "#999999");
  EXPECT_NE(lines[0]->attribute("stroke"), "#999999");
  EXPECT_NE(svg.find("levels not found: 2"), std::string::npos);
  EXPECT_NE(svg.find("(not found: node count 2, not v)"), std::string::npos);
  EXPECT_NE(svg.find("(not found: |Dcor| = 2e-05 cm-1 above the tolerance 1e-05)"),
            std::string::npos);
  // Without the run's tolerance only the node count tells.
  picture(kMixed, {}, std::nullopt);
  EXPECT_NE(svg.find("levels not found: 1"), std::string::npos);
}

TEST_F(LevelOptionsTest, LevelsNotFoundCanBeLeftOut) {
  LevelDrawing drawing;
  drawing.hide_not_found = true;
  const XmlElement root = picture(kMixed, drawing);
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]->attribute("data-v"), "0");
  EXPECT_EQ(lines[1]->attribute("data-v"), "2");
  EXPECT_TRUE(test::with_class(root, "not-found").empty());
  EXPECT_NE(svg.find("2 levels not found left out"), std::string::npos);
  EXPECT_NE(svg.find("2 levels, v = 0..2, J = 0"), std::string::npos);
}

TEST_F(LevelOptionsTest, LabelsNameEachVOnceBesideItsLowestJ) {
  LevelDrawing drawing;
  drawing.v_labels = true;
  const XmlElement root =
      picture({{0, 0, 900.0}, {1, 0, 2500.0}, {0, 5, 905.0}, {1, 5, 2505.0}}, drawing);
  const auto lines = test::with_class(root, "level");
  const auto labels = test::with_class(root, "v-label");
  ASSERT_EQ(lines.size(), 4u);
  ASSERT_EQ(labels.size(), 2u);
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(labels[k]->text, std::to_string(k));
    // Just right of the end of the J = 0 line, on its height (the text's baseline sits 3 px
    // below the line so that the digits stand centred on it).
    EXPECT_NEAR(labels[k]->number("x"), lines[k]->number("x2") + 3.0, 0.011);
    EXPECT_NEAR(labels[k]->number("y"), lines[k]->number("y1") + 3.0, 0.011);
  }
  EXPECT_NE(svg.find("numbers beside the levels: v"), std::string::npos);
  // Without the option there are none.
  picture({{0, 0, 900.0}}, {});
  EXPECT_EQ(svg.find("v-label"), std::string::npos);
}

TEST_F(LevelOptionsTest, TheSizeWidensThePlotAreaAndKeepsTheScalesTrue) {
  LevelDrawing drawing;
  drawing.size = {1600.0, 900.0};
  const XmlElement root = picture({{0, 0, 900.0}, {3, 0, 6400.0}}, drawing);
  EXPECT_EQ(root.attribute("width"), "1600.00");
  EXPECT_EQ(root.attribute("height"), "900.00");
  const auto frame = test::with_class(root, "frame");
  ASSERT_EQ(frame.size(), 1u);
  // The margins and the legend column keep their widths: 90 left, 288 + 22 right, 64 above,
  // 70 below, as in the default 1000 x 600 picture whose frame is 600 x 466.
  EXPECT_EQ(frame[0]->number("width"), 1600.0 - 90.0 - 288.0 - 22.0);
  EXPECT_EQ(frame[0]->number("height"), 900.0 - 64.0 - 70.0);
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto lines = test::with_class(root, "level");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(y.value(lines[1]->number("y1")), 6400.0, 2.0 * y.hundredth());
}

TEST(PictureSize, ParsesWidthByHeightWithinTheLimits) {
  const auto size = parse_picture_size("1200x800");
  ASSERT_TRUE(size);
  EXPECT_EQ(size->width, 1200.0);
  EXPECT_EQ(size->height, 800.0);
  EXPECT_TRUE(parse_picture_size("700x400"));
  EXPECT_TRUE(parse_picture_size("20000x20000"));
  for (const char* bad : {"", "1200", "1200x", "x800", "699x400", "700x399", "20001x600",
                          "1200X800", "1200x800px", "-1200x800", "12.5x800", "1200 x 800"}) {
    EXPECT_FALSE(parse_picture_size(bad)) << bad;
  }
  // The default layout is the one every picture had before the size could be chosen.
  const PictureLayout layout = layout_of({});
  EXPECT_EQ(layout.frame.left, 90.0);
  EXPECT_EQ(layout.frame.top, 64.0);
  EXPECT_EQ(layout.frame.width, 600.0);
  EXPECT_EQ(layout.frame.height, 466.0);
  EXPECT_EQ(layout.legend_left, 712.0);
}

TEST_F(LevelOptionsTest, ABlankDescriptionLineLeavesTheFileNameAsTitle) {
  std::string file = test::kratzer_file();
  file.replace(file.find("Kratzer curve De (1 - Rm/R)^2"), 29, "   \t");
  write_file("model.pot", file);
  const XmlElement root = picture({{0, 0, 900.0}}, {});
  EXPECT_EQ(test::with_class(root, "title")[0]->text, "model.pot");
  EXPECT_EQ(test::with_class(root, "subtitle")[0]->text,
            "state A: potential curve and the levels of Astate.dat");
}

TEST(DescriptionTitle, KeepsUtf8ReplacesOtherBytesAndCutsLongLines) {
  // "Rm = 2 Å" in UTF-8 (C3 85) stays; the same in Latin-1 (C5), a lone continuation byte and a
  // control character would make the picture ill-formed and become '?'.
  EXPECT_EQ(description_title("Rm = 2 \xC3\x85", 80), "Rm = 2 \xC3\x85");
  EXPECT_EQ(description_title("Rm = 2 \xC5, a\x85\x01"
                              "b\tc",
                              80),
            "Rm = 2 ?, a??b\tc");
  // A sequence cut by the end of the line is not text either.
  EXPECT_EQ(description_title("x\xE2\x82", 80), "x??");
  // Characters, not bytes, are counted: the fourth character here is the two bytes of Å.
  EXPECT_EQ(description_title("abc\xC3\x85"
                              "def",
                              4),
            "abc\xC3\x85...");
  EXPECT_EQ(description_title("abcd", 4), "abcd");
}

TEST_F(LevelOptionsTest, ALongDescriptionIsCutToTheWidthOfThePicture) {
  std::string file = test::kratzer_file();
  file.replace(file.find("Kratzer curve De (1 - Rm/R)^2"), 29, std::string(300, 'k'));
  write_file("model.pot", file);
  const XmlElement root = picture({{0, 0, 900.0}}, {});
  // (1000 - 40) / 9.5 = 101 characters, then the three dots.
  EXPECT_EQ(test::with_class(root, "title")[0]->text, std::string(101, 'k') + "...");
}

TEST_F(LevelOptionsTest, TheRunToleranceIsRecordTwelve) {
  EXPECT_EQ(read_run_tolerance("velk.inf"), kTolerance);
  // Cut after the state records: no tolerance, and no error either.
  write_file("velk.inf", "title\na.pot\np\n1\nb.dun\nd\n1\ngrid\n1.5 25 1000\n1.5 25 1000\n60\n");
  EXPECT_EQ(read_run_tolerance("velk.inf"), std::nullopt);
}

}  // namespace
}  // namespace velk::plot
