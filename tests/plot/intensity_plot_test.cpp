#include "plot/intensity_plot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "plot/plot_command.h"
#include "plot_test_support.h"
#include "support/console_capture.h"

namespace velk::plot {
namespace {

using test::AxisMap;
using test::XmlElement;

class IntensityPlotTest : public test::PlotDirTest {
 protected:
  int run(std::vector<std::string> arguments) { return run_velk_plot(arguments); }
};

const std::string kColumns =
    "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,"
    "moment,HL,intensity,A_einstein";

// Three lines of one band from J'' = 10 and 11: P(10) 2.0, R(10) 4.0, R(11) 1.0, and one
// without an intensity (left out).
std::string csv_with_intensities() {
  return kColumns +
         "\n1,P,0,9,1,0,10,1,14652.5,,,,10,2.0,\n"
         "2,R,0,11,1,0,10,1,14657.25,,,,11,4.0,\n"
         "3,R,0,12,1,0,11,1,14658.75,,,,12,1.0,\n"
         "4,Q,0,10,0,0,10,1,14655,,,,0,,\n";
}

std::vector<Point> polyline_points(const XmlElement& element) {
  std::vector<Point> points;
  std::istringstream words(element.attribute("points"));
  for (std::string pair; words >> pair;) {
    const auto comma = pair.find(',');
    points.push_back({std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1))});
  }
  return points;
}

TEST_F(IntensityPlotTest, SticksScaledByIntensityLabelledAndColouredByBranch) {
  write_file("vel_tran.csv", csv_with_intensities());
  // An envelope whose peak (8 at 14657.25) is the top of the axis's unit.
  write_file("spectrum.csv",
             "wavenumber,intensity\n14652,0\n14652.5,4\n14655,0.5\n14657.25,8\n14659,2\n");
  ASSERT_EQ(run({"transitions"}), 0);
  const XmlElement root = test::parse_xml(test::read_text_file("plot_transitions.svg"));
  const AxisMap x = test::axis_from_ticks(root, "xtick");
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto sticks = test::with_class(root, "stick");
  ASSERT_EQ(sticks.size(), 3u);
  const double expected_nu[] = {14652.5, 14657.25, 14658.75};
  const double expected_height[] = {0.5, 1.0, 0.25};  // relative to the strongest, R(10)
  const char expected_branch[] = {'P', 'R', 'R'};
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(x.value(sticks[k]->number("x1")), expected_nu[k], 2.0 * x.hundredth());
    EXPECT_NEAR(y.value(sticks[k]->number("y1")), 0.0, 2.0 * y.hundredth());
    EXPECT_NEAR(y.value(sticks[k]->number("y2")), expected_height[k], 2.0 * y.hundredth());
    EXPECT_TRUE(sticks[k]->has_class(std::string(1, expected_branch[k])));
  }
  EXPECT_NE(sticks[0]->attribute("stroke"), sticks[1]->attribute("stroke"));
  EXPECT_EQ(sticks[1]->attribute("stroke"), sticks[2]->attribute("stroke"));
  // Labels name the branch and J'' of the strongest lines.
  std::vector<std::string> labels;
  for (const XmlElement* label : test::with_class(root, "line-label"))
    labels.push_back(label->text);
  EXPECT_EQ(labels, (std::vector<std::string>{"R(10)", "P(10)", "R(11)"}));
  // The envelope's peak at 1 and at its wavenumber.
  const auto envelope = test::with_class(root, "envelope");
  ASSERT_EQ(envelope.size(), 1u);
  const std::vector<Point> points = polyline_points(*envelope[0]);
  ASSERT_EQ(points.size(), 5u);
  EXPECT_NEAR(x.value(points[3].x), 14657.25, 2.0 * x.hundredth());
  EXPECT_NEAR(y.value(points[3].y), 1.0, 2.0 * y.hundredth());
  EXPECT_NEAR(y.value(points[1].y), 0.5, 2.0 * y.hundredth());
}

TEST_F(IntensityPlotTest, ObservedSpectrumScaledToTheStrongestPeak) {
  write_file("vel_tran.csv", csv_with_intensities());
  write_file("spectrum.csv", "wavenumber,intensity\n14652,0\n14657.25,8\n14659,2\n");
  // Tab- and blank-separated, a comment, a point outside the drawn range (which does not set the
  // scale), its highest point in range 250 at 14657.3.
  write_file("measured.txt", "# measured\n14600.0 9999\n14652.0\t10\n14657.3  250\n14659 50\n");
  ASSERT_EQ(run({"transitions", "--observed", "measured.txt"}), 0);
  const XmlElement root = test::parse_xml(test::read_text_file("plot_transitions.svg"));
  const AxisMap y = test::axis_from_ticks(root, "ytick");
  const auto observed = test::with_class(root, "observed");
  ASSERT_EQ(observed.size(), 1u);
  const std::vector<Point> points = polyline_points(*observed[0]);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(y.value(points[1].y), 1.0, 2.0 * y.hundredth());
  EXPECT_NEAR(y.value(points[2].y), 0.2, 2.0 * y.hundredth());
}

TEST_F(IntensityPlotTest, WithoutIntensitiesTheWavenumberChartStays) {
  write_file("vel_tran.csv", kColumns + "\n1,P,0,9,1,0,10,1,14652.5,,,,10,,\n");
  write_file("vel_tran.out",
             " A state data file:a.pot       \n B state data file:b.dun       \n"
             " ==============================\n \n"
             "    1    0  10   0   9   14652.500000\n");
  ASSERT_EQ(run({"transitions"}), 0);
  const XmlElement root = test::parse_xml(test::read_text_file("plot_transitions.svg"));
  EXPECT_EQ(test::with_class(root, "stick").size(), 1u);
  EXPECT_TRUE(test::with_class(root, "envelope").empty());
  EXPECT_EQ(test::with_class(root, "ylabel")[0]->text, "v'");
  // --observed needs a simulated spectrum to be scaled to.
  EXPECT_EQ(run({"transitions", "--observed=measured.txt"}), 2);
  EXPECT_FALSE(
      parse_plot_arguments(std::vector<std::string>{"A", "--observed", "m.txt"}).refusal.empty());
  EXPECT_FALSE(
      parse_plot_arguments(std::vector<std::string>{"transitions", "--observed"}).refusal.empty());
}

TEST_F(IntensityPlotTest, LabelsNameTheBandWhenThereAreSeveral) {
  write_file("vel_tran.csv", kColumns +
                                 "\n1,R,6,27,1,0,26,1,21000.5,,,,28,5.0,\n"
                                 "2,P,6,27,1,0,28,1,20983.6,,,,27,4.0,\n"
                                 "3,R,6,27,1,3,26,1,20530.2,,,,28,2.0,\n");
  ASSERT_EQ(run({"transitions"}), 0);
  const XmlElement root = test::parse_xml(test::read_text_file("plot_transitions.svg"));
  std::vector<std::string> labels;
  for (const XmlElement* label : test::with_class(root, "line-label"))
    labels.push_back(label->text);
  // R(26) 6-0 and P(28) 6-0 stand a few pixels apart at this scale: only the stronger is written.
  EXPECT_EQ(labels, (std::vector<std::string>{"R(26) 6-0", "R(26) 6-3"}));
}

TEST_F(IntensityPlotTest, ALineListOlderThanTheRunIsNotDrawn) {
  // velk ran again after the intensities were computed: the new vel_tran.out is drawn as the
  // chart of its wavenumbers, with a note.
  write_file("vel_tran.csv", csv_with_intensities());
  write_file("vel_tran.out",
             " A state data file:a.pot       \n B state data file:b.dun       \n"
             " ==============================\n \n"
             "    1    0  10   0   9   14652.500000\n");
  std::filesystem::last_write_time(
      "vel_tran.csv", std::filesystem::last_write_time("vel_tran.out") - std::chrono::seconds(5));
  velk::test::ConsoleCapture console;
  ASSERT_EQ(run({"transitions"}), 0);
  EXPECT_EQ(console.text(),
            "velk-plot: note: vel_tran.csv is older than vel_tran.out, which a later run wrote; "
            "its intensities are not drawn (run velk-props transitions and spectrum again)\n"
            "velk-plot: wrote plot_transitions.svg\n");
  const XmlElement root = test::parse_xml(test::read_text_file("plot_transitions.svg"));
  EXPECT_EQ(test::with_class(root, "ylabel")[0]->text, "v'");
}

TEST_F(IntensityPlotTest, TwoColumnFilesNameTheirBadLine) {
  write_file("bad.txt", "wavenumber intensity\n1 2\n3 x\n");
  try {
    read_two_column_file("bad.txt");
    ADD_FAILURE() << "no error";
  } catch (const InputError& error) {
    EXPECT_EQ(std::string(error.what()),
              "velk-plot: bad.txt: line 3: expected two numbers, wavenumber and intensity, "
              "found \"3 x\"");
  }
  write_file("empty.txt", "# nothing\n");
  EXPECT_THROW(read_two_column_file("empty.txt"), InputError);
  EXPECT_THROW(read_two_column_file("missing.txt"), InputError);
  write_file("unsorted.csv", "3;1\n1;2\n");
  const Curve curve = read_two_column_file("unsorted.csv");
  ASSERT_EQ(curve.points.size(), 2u);
  EXPECT_EQ(curve.points[0].x, 1.0);
}

}  // namespace
}  // namespace velk::plot
