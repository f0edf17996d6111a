#include "plot/spectrum_plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "io/errors.h"
#include "plot/plot_command.h"
#include "plot/plot_files.h"
#include "plot_test_support.h"

namespace velk::plot {
namespace {

using test::AxisMap;
using test::XmlElement;

class SpectrumTest : public test::PlotDirTest {};

// One transition line in the columns velk writes (I5, I5, I4, I4, I4, F15.6, F15.6).
std::string tran_line(int index, int v, int J, int vp, int Jp, double nu, bool second = true) {
  char text[100];
  std::snprintf(text, sizeof text, "%5d%5d%4d%4d%4d%15.6f", index, v, J, vp, Jp, nu);
  std::string line = text;
  if (second) {
    std::snprintf(text, sizeof text, "%15.6f", -4.637783);
    line += text;
  }
  return line + "\n";
}

const std::string kOneLevelHeader =
    " A state data file:na2x.pot    \n"
    " B state data file:na2a.dun    \n"
    " ==============================\n"
    " \n";

// A one-level run with branch code 3, dJ = 1: P, Q, R for v' = 0, 1, 2.
struct Line {
  int vp, Jp;
  double nu;
};
const std::vector<Line> kLines = {
    {0, 9, 14652.782070}, {0, 10, 14654.990709}, {0, 11, 14657.419853},
    {1, 9, 14769.340478}, {1, 10, 14771.538141}, {1, 11, 14773.955212},
    {2, 9, 14885.183686}, {2, 10, 14887.370373}, {2, 11, 14889.775370},
};

std::string one_level_file() {
  std::string text = kOneLevelHeader;
  int index = 1;
  for (const Line& l : kLines) text += tran_line(index++, 0, 10, l.vp, l.Jp, l.nu, l.Jp != 9);
  return text;
}

TEST(Branch, FollowsFromTheRotationalQuantumNumbers) {
  EXPECT_EQ(branch_of(10, 9), Branch::P);
  EXPECT_EQ(branch_of(10, 7), Branch::P);  // dJ = 3
  EXPECT_EQ(branch_of(10, 10), Branch::Q);
  EXPECT_EQ(branch_of(10, 11), Branch::R);
  EXPECT_EQ(branch_of(0, -1), Branch::P);  // J'' = 0 asks for J' = -1
  EXPECT_EQ(branch_letter(Branch::Q), 'Q');
}

TEST_F(SpectrumTest, ReadsTheOneLevelList) {
  write_file("vel_tran.out", one_level_file());
  const TransitionFileData data = read_transition_file("vel_tran.out", kProgram);
  EXPECT_EQ(data.header,
            (std::vector<std::string>{"A state data file:na2x.pot", "B state data file:na2a.dun"}));
  ASSERT_EQ(data.lines.size(), kLines.size());
  EXPECT_EQ(data.lines[4].index, 5);
  EXPECT_EQ(data.lines[4].v_lower, 0);
  EXPECT_EQ(data.lines[4].J_lower, 10);
  EXPECT_EQ(data.lines[4].v_upper, 1);
  EXPECT_EQ(data.lines[4].J_upper, 10);
  EXPECT_EQ(data.lines[4].nu, 14771.538141);
}

TEST_F(SpectrumTest, ReadsTheKnownLevelAndWindowHeaders) {
  write_file("known.out",
             "      Known level:   0  10   1    96.31275\n"
             "           Data file:na2a.dun    \n"
             " ==============================\n"
             " \n" +
                 tran_line(1, 0, 10, 0, 10, 14558.677959, false));
  const TransitionFileData known = read_transition_file("known.out", kProgram);
  EXPECT_EQ(known.header.front(), "Known level:   0  10   1    96.31275");
  ASSERT_EQ(known.lines.size(), 1u);

  // The window run has no empty line after the equals signs, and counts only written lines.
  write_file("window.out",
             " A state data file:na2x.pot    \n"
             " B state data file:na2b.dun    \n"
             " Range:   14000.0000000000       16000.0000000000     \n"
             " ==============================\n" +
                 tran_line(1, 0, 0, 3, 1, 15000.5, false) +
                 tran_line(2, 1, 0, 3, 1, 14850.25, false));
  const TransitionFileData window = read_transition_file("window.out", kProgram);
  EXPECT_EQ(window.header.size(), 3u);
  ASSERT_EQ(window.lines.size(), 2u);
  EXPECT_EQ(window.lines[1].v_lower, 1);
  EXPECT_EQ(window.lines[1].nu, 14850.25);
}

TEST_F(SpectrumTest, FieldsThatTouchAreReadByColumnAndOverflowsAreLeftOut) {
  write_file("vel_tran.out", kOneLevelHeader +
                                 // J'' = 1000 and v' = 1234 fill their columns completely.
                                 tran_line(99999, 12345, 1000, 1234, 999, 1.5, false) +
                                 "    2    0  10   0   9***************\n");
  const TransitionFileData data = read_transition_file("vel_tran.out", kProgram);
  ASSERT_EQ(data.lines.size(), 1u);
  EXPECT_EQ(data.lines[0].index, 99999);
  EXPECT_EQ(data.lines[0].v_lower, 12345);
  EXPECT_EQ(data.lines[0].J_lower, 1000);
  EXPECT_EQ(data.lines[0].v_upper, 1234);
  EXPECT_EQ(data.lines[0].J_upper, 999);
  EXPECT_EQ(data.unreadable, 1);
}

TEST_F(SpectrumTest, ClearErrors) {
  const auto message = [](const std::string& path) {
    try {
      read_transition_file(path, kProgram);
    } catch (const InputError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message("vel_tran.out"), "velk-plot: vel_tran.out: no such file; run velk first");
  write_file("plain.out", "just some text\n");
  EXPECT_EQ(message("plain.out"),
            "velk-plot: plain.out: no line of equals signs ends a header; this is not a "
            "transition list written by velk");
  write_file("short.out", kOneLevelHeader + "    1    0  10   0   9   1234.5\n");
  EXPECT_EQ(message("short.out"),
            "velk-plot: short.out: line 5: expected a transition line (I5, I5, I4, I4, I4, "
            "F15.6), found \"1    0  10   0   9   1234.5\"");
  write_file("empty.out", kOneLevelHeader);
  const TransitionFileData empty = read_transition_file("empty.out", kProgram);
  EXPECT_TRUE(empty.lines.empty());
  EXPECT_THROW(spectrum_plot_svg(empty), InputError);
}

TEST_F(SpectrumTest, SticksStandAtTheirWavenumbersInTheRowOfTheirUpperLevel) {
  write_file("vel_tran.out", one_level_file());
  const std::string svg = spectrum_plot_svg(read_transition_file("vel_tran.out", kProgram));
  const XmlElement root = test::parse_xml(svg);
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto sticks = test::with_class(root, "stick");
  ASSERT_EQ(sticks.size(), kLines.size());
  for (std::size_t k = 0; k < kLines.size(); ++k) {
    const XmlElement& stick = *sticks[k];
    EXPECT_EQ(stick.number("x1"), stick.number("x2"));
    EXPECT_NEAR(x.value(stick.number("x1")), kLines[k].nu, 2.0 * x.hundredth()) << k;
    // Upwards in v': y1 is the lower end. The stick lies inside the row of its v'.
    const double lo = y.value(stick.number("y1")), hi = y.value(stick.number("y2"));
    EXPECT_LT(lo, hi);
    EXPECT_GE(lo, kLines[k].vp - 0.5);
    EXPECT_LE(hi, kLines[k].vp + 0.5);
    // P at the bottom of the row, Q in the middle, R at the top.
    const char branch = "PQR"[kLines[k].Jp - 9];
    EXPECT_TRUE(stick.has_class(std::string(1, branch))) << k;
    const double middle = 0.5 * (lo + hi) - kLines[k].vp;
    if (branch == 'P') {
      EXPECT_LT(middle, -0.1);
    } else if (branch == 'Q') {
      EXPECT_NEAR(middle, 0.0, 0.05);
    } else {
      EXPECT_GT(middle, 0.1);
    }
  }
  // Three colours, one per branch, and the same colour within a branch.
  EXPECT_NE(sticks[0]->attribute("stroke"), sticks[1]->attribute("stroke"));
  EXPECT_NE(sticks[1]->attribute("stroke"), sticks[2]->attribute("stroke"));
  EXPECT_NE(sticks[0]->attribute("stroke"), sticks[2]->attribute("stroke"));
  EXPECT_EQ(sticks[0]->attribute("stroke"), sticks[3]->attribute("stroke"));
  // The legend names each branch with its colour and count.
  const auto legend = test::with_class(root, "legend");
  ASSERT_EQ(legend.size(), 1u);
  std::vector<std::string> texts;
  std::vector<std::string> colours;
  for (const XmlElement& child : legend[0]->children) {
    if (child.name == "text") texts.push_back(child.text);
    if (child.name == "line") colours.push_back(child.attribute("stroke"));
  }
  ASSERT_EQ(colours.size(), 3u);
  EXPECT_EQ(colours[0], sticks[0]->attribute("stroke"));
  EXPECT_EQ(colours[2], sticks[2]->attribute("stroke"));
  EXPECT_EQ(texts[0], "P branch: J' < J''");
  EXPECT_EQ(texts[1], "3 lines");
  EXPECT_EQ(texts[4], "R branch: J' > J''");
  // Texts are compared as parsed: the apostrophes are escaped in the file.
  EXPECT_NE(std::find(texts.begin(), texts.end(), "all from v'' = 0, J'' = 10"), texts.end());
  EXPECT_NE(svg.find("A state data file: na2x.pot  |  B state data file: na2a.dun"),
            std::string::npos);
}

TEST_F(SpectrumTest, ASingleBranchFillsTheWholeRow) {
  write_file("vel_tran.out", kOneLevelHeader + tran_line(1, 0, 10, 4, 10, 15000.0) +
                                 tran_line(2, 0, 10, 5, 10, 15100.0));
  const XmlElement root =
      test::parse_xml(spectrum_plot_svg(read_transition_file("vel_tran.out", kProgram)));
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto sticks = test::with_class(root, "stick");
  ASSERT_EQ(sticks.size(), 2u);
  EXPECT_NEAR(y.value(sticks[0]->number("y1")), 4.0 - 0.42, 2.0 * y.hundredth());
  EXPECT_NEAR(y.value(sticks[0]->number("y2")), 4.0 + 0.42, 2.0 * y.hundredth());
  EXPECT_EQ(test::with_class(root, "legend")[0]->children.size(), 1u + 2u + 2u);
}

TEST_F(SpectrumTest, AChosenSizeWidensTheAxesAndKeepsTheSticksInPlace) {
  write_file("vel_tran.out", one_level_file());
  const XmlElement root = test::parse_xml(spectrum_plot_svg(
      read_transition_file("vel_tran.out", kProgram), PictureSize{1800.0, 700.0}));
  EXPECT_EQ(root.attribute("width"), "1800.00");
  EXPECT_EQ(root.attribute("height"), "700.00");
  // The plot area takes the extra width: 1800 less the margins of the 1000-pixel picture (400).
  EXPECT_EQ(test::with_class(root, "frame")[0]->number("width"), 1400.0);
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const auto sticks = test::with_class(root, "stick");
  ASSERT_EQ(sticks.size(), kLines.size());
  for (std::size_t k = 0; k < kLines.size(); ++k) {
    EXPECT_NEAR(x.value(sticks[k]->number("x1")), kLines[k].nu, 2.0 * x.hundredth()) << k;
  }
}

// A fluorescence run (examples/na2-lif): the known level B(6, 27) is the upper one and the
// computed X levels the lower ones, although vel_tran.out writes the known level first. The line
// to J'' = 26 is R(26) (ΔJ = J' − J'' = +1), the one to J'' = 28 is P(28).
TEST_F(SpectrumTest, FluorescenceRunNamesTheKnownLevelUpperAndItsBranchesByDeltaJ) {
  write_file("velk.inf", test::control_file("na2x.pot", 'p', "na2b.dun", 'd'));
  write_file("vel_tran.out", std::string("       Known level:   6  27   1    21187.88166\n") +
                                 "          Data file:na2x.pot    \n" +
                                 " ==============================\n \n" +
                                 tran_line(1, 6, 27, 0, 26, 21000.525268, false) +
                                 tran_line(2, 6, 27, 0, 28, 20983.653398, false) +
                                 tran_line(3, 6, 27, 1, 26, 20843.473608, false) +
                                 tran_line(4, 6, 27, 1, 28, 20826.698908, false));
  ASSERT_EQ(run_velk_plot(std::vector<std::string>{"transitions"}), 0);
  const std::string svg = test::read_text_file("plot_transitions.svg");
  const XmlElement root = test::parse_xml(svg);
  const auto sticks = test::with_class(root, "stick");
  ASSERT_EQ(sticks.size(), 4u);
  EXPECT_TRUE(sticks[0]->has_class("R"));
  EXPECT_TRUE(sticks[1]->has_class("P"));
  EXPECT_TRUE(sticks[2]->has_class("R"));
  ASSERT_NE(test::child_named(*sticks[0], "title"), nullptr);
  EXPECT_EQ(test::child_named(*sticks[0], "title")->text,
            "R(26) line 1: v' = 6, J' = 27 -> v'' = 0, J'' = 26, 21000.525268 cm-1");
  std::vector<std::string> texts;
  for (const XmlElement& child : test::with_class(root, "legend")[0]->children) {
    if (child.name == "text") texts.push_back(child.text);
  }
  EXPECT_NE(std::find(texts.begin(), texts.end(), "all from v' = 6, J' = 27"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "one row per v''"), texts.end());
  EXPECT_EQ(test::with_class(root, "ylabel")[0]->text, "v''");
  // The subtitle names the known level in words, without the columns of the file.
  EXPECT_NE(svg.find("Known level: v = 6, J = 27, p = 1, E = 21187.88166 cm-1"), std::string::npos);
}

TEST_F(SpectrumTest, WindowSubtitleWithoutFifteenDigits) {
  write_file("vel_tran.out", std::string(" A state data file:na2x.pot    \n") +
                                 " B state data file:na2b.dun    \n" +
                                 " Range:   20400.0000000000        20450.0000000000     \n" +
                                 " ==============================\n" +
                                 tran_line(1, 0, 0, 3, 1, 20401.5, false));
  const std::string svg = spectrum_plot_svg(read_transition_file("vel_tran.out", kProgram));
  EXPECT_NE(svg.find("Range: 20400 to 20450 cm-1"), std::string::npos);
  EXPECT_EQ(svg.find("20400.0000000000"), std::string::npos);
}

}  // namespace
}  // namespace velk::plot
