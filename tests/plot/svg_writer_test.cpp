#include "plot/svg_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "plot_test_support.h"

namespace velk::plot {
namespace {

using test::parse_xml;
using test::XmlElement;

TEST(XmlChecker, RefusesWhatIsNotWellFormed) {
  // The checker the picture tests rely on must itself catch the usual faults.
  for (const char* bad :
       {"<a><b></a></b>", "<a x='1' x='2'/>", "<a>&</a>", "<a>&nbsp;</a>", "<a>", "<a/><b/>",
        "<a x=1/>", "<a x='<'/>", "<a x='1'y='2'/>", "text", "<a></A>"}) {
    EXPECT_ANY_THROW(parse_xml(bad)) << bad;
  }
  const XmlElement e =
      parse_xml("<?xml version=\"1.0\"?>\n<!-- c --><a k=\"1 &amp; 2\"><b>x &lt; y</b><c/></a>\n");
  EXPECT_EQ(e.name, "a");
  EXPECT_EQ(e.attribute("k"), "1 & 2");
  ASSERT_EQ(e.children.size(), 2u);
  EXPECT_EQ(e.children[0].text, "x < y");
}

TEST(NiceStep, FollowsTheOneTwoFiveSequence) {
  const std::vector<std::pair<double, double>> cases = {
      {0.7, 1.0}, {1.0, 1.0},   {1.01, 2.0},   {2.0, 2.0},      {2.5, 5.0},
      {5.0, 5.0}, {5.1, 10.0},  {640.0, 1000}, {0.013, 0.02},   {0.0004, 0.0005},
      {3e7, 5e7}, {1e-9, 1e-9}, {9.99, 10.0},  {1234.5, 2000.0}};
  for (const auto& [raw, step] : cases) {
    // The step is a power of ten times 1, 2 or 5: exact up to the rounding of that product.
    EXPECT_NEAR(nice_step(raw), step, step * 1e-12) << raw;
  }
  EXPECT_THROW(nice_step(0.0), std::invalid_argument);
  EXPECT_THROW(nice_step(-1.0), std::invalid_argument);
  EXPECT_THROW(nice_step(std::nan("")), std::invalid_argument);
}

TEST(NiceTicks, WholeMultiplesOfTheStepInsideTheRange) {
  const Ticks ticks = nice_ticks(-345.0, 6529.0, 8);
  EXPECT_EQ(ticks.step, 1000.0);
  EXPECT_EQ(ticks.decimals, 0);
  EXPECT_EQ(ticks.values, (std::vector<double>{0, 1000, 2000, 3000, 4000, 5000, 6000}));

  const Ticks small = nice_ticks(2.03, 2.61, 6);
  EXPECT_NEAR(small.step, 0.1, 1e-15);
  EXPECT_EQ(small.decimals, 1);
  ASSERT_EQ(small.values.size(), 6u);  // 2.1 .. 2.6
  EXPECT_EQ(tick_label(small.values.front(), small.decimals), "2.1");
  EXPECT_EQ(tick_label(small.values.back(), small.decimals), "2.6");

  const Ticks fine = nice_ticks(0.0, 0.2, 4);
  EXPECT_EQ(fine.decimals, 2);  // step 0.05
  EXPECT_EQ(tick_label(fine.values[1], fine.decimals), "0.05");

  // Integer axes: no step below the minimum even for a short range.
  const Ticks J = nice_ticks(-1.0, 2.0, 10, 1.0);
  EXPECT_EQ(J.step, 1.0);
  EXPECT_EQ(J.values, (std::vector<double>{-1, 0, 1, 2}));

  // An end that misses a round number by a rounding error still gets its tick.
  const Ticks edge = nice_ticks(0.1 + 0.2, 0.9, 6);
  EXPECT_EQ(tick_label(edge.values.front(), edge.decimals), "0.3");

  EXPECT_THROW(nice_ticks(1.0, 1.0, 5), std::invalid_argument);
  EXPECT_THROW(nice_ticks(2.0, 1.0, 5), std::invalid_argument);
}

TEST(NiceTicks, RandomRangesGiveAFewTicksThatAreLabelledExactly) {
  std::mt19937 random(20240613);
  std::uniform_real_distribution<double> exponent(-4.0, 6.0), fraction(0.0, 1.0);
  for (int k = 0; k < 2000; ++k) {
    const double scale = std::pow(10.0, exponent(random));
    const double lo = (fraction(random) - 0.5) * 10.0 * scale;
    const double hi = lo + (0.05 + fraction(random)) * scale;
    const Ticks ticks = nice_ticks(lo, hi, 8);
    // A 1-2-5 step over a target of 8 leaves between 3 and 17 ticks inside.
    ASSERT_GE(ticks.values.size(), 3u) << lo << " " << hi;
    ASSERT_LE(ticks.values.size(), 17u) << lo << " " << hi;
    for (std::size_t i = 0; i < ticks.values.size(); ++i) {
      const double v = ticks.values[i];
      ASSERT_GE(v, lo - 1e-9 * ticks.step);
      ASSERT_LE(v, hi + 1e-9 * ticks.step);
      // The label, read back, is the tick value to within the rounding of the value itself.
      const double read_back = std::stod(tick_label(v, ticks.decimals));
      ASSERT_NEAR(read_back, v, 1e-9 * ticks.step + 1e-12 * std::abs(v)) << v;
      if (i > 0) {
        ASSERT_NEAR(v - ticks.values[i - 1], ticks.step, 1e-9 * ticks.step);
      }
    }
  }
}

TEST(TickLabel, NoNegativeZero) {
  EXPECT_EQ(tick_label(-0.0, 0), "0");
  EXPECT_EQ(tick_label(-1e-17, 1), "0.0");
  EXPECT_EQ(tick_label(-0.5, 1), "-0.5");
  EXPECT_EQ(pixel(12.345678), "12.35");
}

TEST(LinearMap, MapsDataToPixels) {
  const LinearMap y(0.0, 6000.0, 530.0, 64.0);  // energies upwards
  EXPECT_EQ(y(0.0), 530.0);
  EXPECT_DOUBLE_EQ(y(6000.0), 64.0);
  EXPECT_DOUBLE_EQ(y(3000.0), 297.0);
  EXPECT_THROW(LinearMap(1.0, 1.0, 0.0, 10.0), std::invalid_argument);
  EXPECT_THROW(LinearMap(0.0, std::nan(""), 0.0, 10.0), std::invalid_argument);
}

TEST(XmlEscape, EscapesTheSpecialCharacters) {
  EXPECT_EQ(xml_escape("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
  EXPECT_EQ(xml_escape(std::string("x\x01y")), "x?y");
}

TEST(SvgWriter, DocumentIsWellFormedWhateverTheTexts) {
  SvgWriter svg(300, 200, "R&D <test>");
  svg.open_group({{"class", "data"}, {"data-name", "a\"b"}});
  svg.clip_rectangle("clip", Frame{10, 10, 100, 50});
  svg.line({0, 0}, {10, 10}, Stroke{"red", 1.5, "4 2"}, "level", {{"data-v", "3"}}, "v < 4 & J");
  const std::vector<Point> points{{1, 2}, {3, 4}, {5, 6}};
  svg.polyline(points, Stroke{}, "curve");
  svg.text({5, 5}, "E < 0 & \"R\" in \xC3\x85", TextStyle{12, "end", "black", -90, true}, "label");
  svg.open_group({{"class", "inner"}});  // left open: finish closes it
  const std::string text = svg.finish();
  EXPECT_EQ(svg.finish(), text);  // finishing twice changes nothing

  const XmlElement root = parse_xml(text);
  EXPECT_EQ(root.name, "svg");
  EXPECT_EQ(root.attribute("xmlns"), "http://www.w3.org/2000/svg");
  ASSERT_NE(test::child_named(root, "title"), nullptr);
  EXPECT_EQ(test::child_named(root, "title")->text, "R&D <test>");
  const auto levels = test::with_class(root, "level");
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_EQ(levels[0]->attribute("stroke-dasharray"), "4 2");
  EXPECT_EQ(levels[0]->attribute("data-v"), "3");
  EXPECT_EQ(levels[0]->number("x2"), 10.0);
  EXPECT_EQ(test::child_named(*levels[0], "title")->text, "v < 4 & J");
  const auto curve = test::with_class(root, "curve");
  ASSERT_EQ(curve.size(), 1u);
  EXPECT_EQ(curve[0]->attribute("points"), "1.00,2.00 3.00,4.00 5.00,6.00");
  const auto label = test::with_class(root, "label");
  ASSERT_EQ(label.size(), 1u);
  EXPECT_EQ(label[0]->text, "E < 0 & \"R\" in \xC3\x85");
  EXPECT_EQ(label[0]->attribute("transform"), "rotate(-90.0 5.00 5.00)");
  EXPECT_EQ(test::with_class(root, "inner").size(), 1u);
}

TEST(SvgWriter, ClosingAGroupThatIsNotOpenIsAProgrammingError) {
  SvgWriter svg(10, 10, "t");
  EXPECT_THROW(svg.close_group(), std::logic_error);
}

TEST(DrawAxes, TicksSitAtTheirLabelledValues) {
  const Frame frame{90, 64, 600, 466};
  const LinearMap x(2.2, 7.25, frame.left, frame.right());
  const LinearMap y(-300.0, 6500.0, frame.bottom(), frame.top);
  const Ticks xt = nice_ticks(2.2, 7.25, 8);
  const Ticks yt = nice_ticks(-300.0, 6500.0, 8);
  SvgWriter svg(960, 600, "axes");
  draw_axes(svg, frame, x, y, xt, yt, {"R (\xC3\x85)", "energy (cm-1)"});
  const XmlElement root = parse_xml(svg.finish());
  ASSERT_EQ(test::with_class(root, "xtick").size(), xt.values.size());
  ASSERT_EQ(test::with_class(root, "ytick").size(), yt.values.size());
  // Every tick, not only the two the mapping is read from, lies on the same straight line.
  const test::AxisMap xm = test::axis_from_ticks(root, "xtick");
  const test::AxisMap ym = test::axis_from_ticks(root, "ytick");
  for (const auto* tick : test::with_class(root, "ytick")) {
    const double py = test::child_named(*tick, "line")->number("y1");
    EXPECT_NEAR(ym.value(py), std::stod(test::child_named(*tick, "text")->text),
                2.0 * ym.hundredth());
  }
  // The frame's corners map back to the data range.
  EXPECT_NEAR(xm.value(frame.left), 2.2, 2.0 * xm.hundredth());
  EXPECT_NEAR(xm.value(frame.right()), 7.25, 2.0 * xm.hundredth());
  EXPECT_NEAR(ym.value(frame.bottom()), -300.0, 2.0 * ym.hundredth());
  EXPECT_NEAR(ym.value(frame.top), 6500.0, 2.0 * ym.hundredth());
  EXPECT_EQ(test::with_class(root, "xlabel")[0]->text, "R (\xC3\x85)");
  EXPECT_EQ(test::with_class(root, "ylabel")[0]->text, "energy (cm-1)");
}

TEST(DrawLegend, OneSamplePerEntryThatHasOne) {
  SvgWriter svg(400, 300, "legend");
  const std::vector<LegendEntry> entries{
      {Stroke{"blue", 1, ""}, {"levels", "198 of them"}, true},
      {Stroke{"grey", 1, "9 4"}, {"asymptote"}, true},
      {Stroke{}, {"a note"}, false},
  };
  draw_legend(svg, {10, 20}, entries);
  const XmlElement root = parse_xml(svg.finish());
  const auto legend = test::with_class(root, "legend");
  ASSERT_EQ(legend.size(), 1u);
  int lines = 0, texts = 0;
  for (const XmlElement& child : legend[0]->children) {
    lines += child.name == "line";
    texts += child.name == "text";
  }
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(texts, 4);
}

}  // namespace
}  // namespace velk::plot
