// velk-plot residuals: each point where the axes, read back from their tick labels, put its J and
// normalised residual; one colour per band, series or state's term values; the reader's refusals.
#include "plot/residual_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "plot/interactive_page.h"
#include "plot/plot_command.h"
#include "plot/residual_table.h"
#include "plot_test_support.h"

namespace velk::plot {
namespace {

using test::AxisMap;
using test::XmlElement;

const std::string kHeader =
    "upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,wavenumber,"
    "uncertainty,mass_index,series,calc,obs_minus_calc,normalised\n";

const std::string kGood = "A,0,3,1,-,,,,100.0,0.001,,,100.0,0.000100,0.1000\n";

// One row as velk-fit writes it; the drawn J and the group follow from the fields.
struct Row {
  std::string upper;  // "A,3,12,1"
  std::string lower;  // "B,5,11,1" or "-,,,"
  std::string series;
  double normalised;
};

std::string residual_file(const std::vector<Row>& rows) {
  std::string text = kHeader;
  for (const Row& r : rows) {
    const double difference = 0.001 * r.normalised;
    text += r.upper + "," + r.lower + ",1000.0,0.001,," + r.series + ",1000.0," +
            std::to_string(difference) + "," + std::to_string(r.normalised) + "\n";
  }
  return text;
}

// Two fluorescence series, one absorption band and term values of A v = 0; one outlier.
const std::vector<Row> kRows = {
    {"B,3,12,1", "A,0,11,1", "s1", 0.3},  {"B,3,12,1", "A,1,13,1", "s1", -1.2},
    {"B,3,12,1", "A,2,11,1", "s1", 5.6},  {"B,7,30,1", "A,4,29,1", "s2", 0.9},
    {"B,7,30,1", "A,5,31,1", "s2", -0.4}, {"B,1,4,1", "A,0,5,1", "", 2.1},
    {"B,1,6,1", "A,0,5,1", "", -2.5},     {"A,0,0,1", "-,,,", "", 0.05},
    {"A,0,40,1", "-,,,", "", -0.7},
};
// The J each row is drawn at (lower J of a line, upper J of a term value) and its group.
const std::vector<int> kDrawnJ = {11, 13, 11, 29, 31, 5, 5, 0, 40};
const std::vector<int> kGroup = {0, 0, 0, 1, 1, 2, 2, 3, 3};

class ResidualPlotTest : public test::PlotDirTest {
 protected:
  int run(const std::vector<std::string>& arguments) {
    ::testing::internal::CaptureStdout();
    const int status = run_velk_plot(arguments);
    output = ::testing::internal::GetCapturedStdout();
    return status;
  }
  XmlElement drawn(const std::vector<Row>& rows) {
    std::filesystem::create_directory("fit");
    write_file("fit/fit_residuals.csv", residual_file(rows));
    EXPECT_EQ(run({"residuals"}), 0) << output;
    EXPECT_EQ(output, "velk-plot: wrote residuals.svg\n");
    return test::parse_xml(test::read_text_file("residuals.svg"));
  }
  std::string output;
};

TEST_F(ResidualPlotTest, PointsLandWhereTheAxesPutThem) {
  const XmlElement svg = drawn(kRows);
  const AxisMap x = test::axis_from_ticks(svg, "xtick");
  const AxisMap y = test::axis_from_ticks(svg, "ytick");
  ASSERT_GE(x.ticks, 2);
  ASSERT_GE(y.ticks, 2);
  const auto points = test::with_class(svg, "point");
  ASSERT_EQ(points.size(), kRows.size());
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    const XmlElement& p = *points[i];
    // Points are drawn group by group; the data-line attribute names the file's line.
    const int row = std::stoi(p.attribute("data-line")) - 2;
    ASSERT_GE(row, 0);
    ASSERT_LT(row, static_cast<int>(kRows.size()));
    const auto r = static_cast<std::size_t>(row);
    // The inverse of value = a + b·pixel, to the hundredth of a pixel the picture writes.
    EXPECT_NEAR(p.number("cx"), (kDrawnJ[r] - x.a) / x.b, 0.02) << "line " << row + 2;
    EXPECT_NEAR(p.number("cy"), (kRows[r].normalised - y.a) / y.b, 0.02) << "line " << row + 2;
    EXPECT_EQ(p.has_class("outlier"), std::fabs(kRows[r].normalised) > 4.0);
  }
  // The ±1 and ±4 levels lie at those values of the y axis.
  for (const char* level_class : {"uncertainty-level", "outlier-level"}) {
    const auto levels = test::with_class(svg, level_class);
    ASSERT_EQ(levels.size(), 2u) << level_class;
    for (const XmlElement* line : levels) {
      const double value = std::stod(line->attribute("data-level"));
      EXPECT_EQ(std::fabs(value), std::string(level_class) == "outlier-level" ? 4.0 : 1.0);
      EXPECT_NEAR(line->number("y1"), (value - y.a) / y.b, 0.02);
      EXPECT_EQ(line->number("y1"), line->number("y2"));
    }
  }
  const auto label = test::with_class(svg, "xlabel");
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label.front()->text, "J (upper J of a term value, lower J of a line)");
}

TEST_F(ResidualPlotTest, OneColourPerBandSeriesOrTermValues) {
  const XmlElement svg = drawn(kRows);
  std::vector<std::set<std::string>> fills(4);
  for (const XmlElement* p : test::with_class(svg, "point")) {
    const auto r = static_cast<std::size_t>(std::stoi(p->attribute("data-line")) - 2);
    fills[static_cast<std::size_t>(kGroup[r])].insert(p->attribute("fill"));
    EXPECT_EQ(p->attribute("data-group"), std::to_string(kGroup[r]));
  }
  std::set<std::string> all;
  for (const auto& group : fills) {
    ASSERT_EQ(group.size(), 1u);
    all.insert(*group.begin());
  }
  EXPECT_EQ(all.size(), 4u);
  std::vector<std::string> legend;
  for (const XmlElement* g : test::with_class(svg, "legend")) {
    for (const XmlElement& child : g->children) {
      if (child.name == "text") legend.push_back(child.text);
    }
  }
  ASSERT_GE(legend.size(), 4u);
  EXPECT_EQ(legend[0], "series s1 (3 lines)");
  EXPECT_EQ(legend[1], "series s2 (2 lines)");
  EXPECT_EQ(legend[2], "B v'=1 - A v''=0 (2 lines)");
  EXPECT_EQ(legend[3], "A v'=0 term values (2 lines)");
}

TEST(ResidualGroups, ManyGroupsGetDistinctColours) {
  std::set<std::string> colours;
  for (std::size_t k = 0; k < 40; ++k) colours.insert(group_colour(k));
  EXPECT_EQ(colours.size(), 40u);
}

TEST_F(ResidualPlotTest, AxisSaysWhichJ) {
  const std::vector<Row> lines = {{"B,3,12,1", "A,0,11,1", "s1", 0.3},
                                  {"B,3,12,1", "A,1,13,1", "s1", -0.3}};
  const XmlElement with_lines = drawn(lines);
  auto label = test::with_class(with_lines, "xlabel");
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label.front()->text, "J'' (lower J of each line)");
  const std::vector<Row> terms = {{"A,0,3,1", "-,,,", "", 0.3}, {"A,1,3,1", "-,,,", "", 0.3}};
  const XmlElement with_terms = drawn(terms);
  label = test::with_class(with_terms, "xlabel");
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label.front()->text, "J' (upper J of each term value)");
}

// velk-fit --robust adds each line's weight as a last column: drawn as the plain file is.
TEST_F(ResidualPlotTest, RobustFitsWeightColumnIsRead) {
  write_file("plain.csv", kHeader + kGood);
  write_file("weighted.csv", kHeader.substr(0, kHeader.size() - 1) + ",weight\n" +
                                 kGood.substr(0, kGood.size() - 1) + ",0.25\n");
  ASSERT_EQ(run({"residuals", "plain.csv"}), 0) << output;
  const std::string plain = test::read_text_file("residuals.svg");
  ASSERT_EQ(run({"residuals", "weighted.csv"}), 0) << output;
  std::string weighted = test::read_text_file("residuals.svg");
  for (std::size_t at = weighted.find("weighted.csv"); at != std::string::npos;
       at = weighted.find("weighted.csv", at)) {
    weighted.replace(at, 12, "plain.csv");
  }
  EXPECT_EQ(weighted, plain);
  write_file("short.csv", kHeader.substr(0, kHeader.size() - 1) + ",weight\n" + kGood);
  EXPECT_EQ(run({"residuals", "short.csv"}), 2);
  EXPECT_NE(output.find("expected 16 comma-separated fields, found 15"), std::string::npos)
      << output;
}

TEST_F(ResidualPlotTest, AnotherFileAndItsSize) {
  write_file("mine.csv", residual_file(kRows));
  EXPECT_EQ(run({"--size", "1200x700", "residuals", "mine.csv"}), 0) << output;
  const XmlElement svg = test::parse_xml(test::read_text_file("residuals.svg"));
  EXPECT_EQ(svg.number("width"), 1200.0);
  // The input is never the output.
  EXPECT_EQ(run({"residuals", "residuals.svg"}), 2);
  EXPECT_NE(output.find("would be overwritten"), std::string::npos) << output;
  EXPECT_EQ(run({"residuals", "a.csv", "b.csv"}), 2);
  EXPECT_EQ(output.rfind("usage: velk-plot", 0), 0u) << output;
  EXPECT_EQ(run({"residuals", "--labels"}), 2);
}

// The page is residuals.svg made interactive: each point in the group the picture gives it, and
// no text of the file able to end the page's data element.
TEST_F(ResidualPlotTest, PageHoldsEachPointInThePicturesGroup) {
  if (!std::filesystem::exists(PageLibrary{}.script)) GTEST_SKIP() << "libjs-dygraphs missing";
  std::vector<Row> rows = kRows;
  rows[3].series = rows[4].series = "</script><b>";
  write_file("mine.csv", residual_file(rows));
  ASSERT_EQ(run({"residuals", "mine.csv", "--html"}), 0) << output;
  EXPECT_EQ(output, "velk-plot: wrote residuals.svg\nvelk-plot: wrote residuals.html\n");
  const std::string page = test::read_text_file("residuals.html");
  const XmlElement svg = test::parse_xml(test::read_text_file("residuals.svg"));
  const auto points = test::with_class(svg, "point");
  ASSERT_EQ(points.size(), rows.size());
  for (const XmlElement* p : points) {
    const std::string entry =
        "{\"line\":" + p->attribute("data-line") + ",\"group\":" + p->attribute("data-group") + ",";
    EXPECT_NE(page.find(entry), std::string::npos) << entry;
  }
  EXPECT_NE(page.find("\"series\":\"\\u003c/script>\\u003cb>\""), std::string::npos);
  EXPECT_EQ(page.find("</script><b>"), std::string::npos);
  // The page is an output like the picture; the other options stay refused.
  EXPECT_EQ(run({"residuals", "residuals.html", "--html"}), 2);
  EXPECT_NE(output.find("would be overwritten"), std::string::npos) << output;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(run({"residuals", "--html", "--labels"}), 2);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "velk-plot: residuals takes --size and --html alone of the options (velk-plot --help "
            "lists the options)\n");
}

struct Refusal {
  const char* name;
  std::string text;
  std::string message;  // after "velk-plot: data.csv"
};

class ResidualRefusals : public ResidualPlotTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ResidualRefusals, NameFileLineAndColumnAndWriteNothing) {
  write_file("data.csv", GetParam().text);
  EXPECT_EQ(run({"residuals", "data.csv"}), 2);
  EXPECT_EQ(output, "velk-plot: data.csv" + GetParam().message + "\n");
  EXPECT_FALSE(std::filesystem::exists("residuals.svg"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ResidualRefusals,
    ::testing::Values(
        Refusal{"NotAResidualFile",
                "upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,"
                "wavenumber,uncertainty,mass_index,series\n" +
                    kGood,
                ", line 1: expected the column names " + std::string(kResidualColumns) +
                    " (the fit_residuals.csv of velk-fit, with weight last after --robust)"},
        Refusal{"NoRows", kHeader + "\n# nothing\n",
                ": expected at least one row of residuals after the column names"},
        Refusal{"ShortRow", kHeader + kGood + "A,0,3,1,-,,,,100.0,0.001,,,100.0,0.0001\n",
                ", line 3: expected 15 comma-separated fields, found 14"},
        Refusal{"BadState", kHeader + "X,0,3,1,-,,,,100.0,0.001,,,100.0,0.0001,0.1\n",
                ", line 2: expected a state A or B in column upper_state, found \"X\""},
        Refusal{"BadLowerState", kHeader + "A,0,3,1,C,1,2,1,100.0,0.001,,,100.0,0.0001,0.1\n",
                ", line 2: expected a state A, B or - in column lower_state, found \"C\""},
        Refusal{"NegativeJ", kHeader + "A,0,-3,1,-,,,,100.0,0.001,,,100.0,0.0001,0.1\n",
                ", line 2: expected a whole number >= 0 in column upper_J, found \"-3\""},
        Refusal{"MissingLowerJ", kHeader + "B,0,3,1,A,1,,1,100.0,0.001,,,100.0,0.0001,0.1\n",
                ", line 2: expected a whole number >= 0 in column lower_J, found \"\""},
        Refusal{"NotANumber", kHeader + "A,0,3,1,-,,,,100.0,0.001,,,100.0,0.0001,nan\n",
                ", line 2: expected a finite number in column normalised, found \"nan\""},
        Refusal{"Garbage", kHeader + "A,0,3,1,-,,,,100.0,0.001,,,100.0,1e-4x,0.1\n",
                ", line 2: expected a finite number in column obs_minus_calc, found \"1e-4x\""}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(ResidualPlotTest, MissingDefaultFileSaysWhatToRun) {
  EXPECT_EQ(run({"residuals"}), 2);
  EXPECT_EQ(output,
            "velk-plot: fit/fit_residuals.csv: no such file; run velk-fit first, or name the "
            "fit_residuals.csv to draw\n");
}

}  // namespace
}  // namespace velk::plot
