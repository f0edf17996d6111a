// SVG primitives and axes for the pictures of velk-plot.
//
// A picture is built as text, element by element, and handed back whole by finish(). Coordinates
// are SVG pixels (x to the right, y downwards) written with two decimals; a data value becomes a
// pixel through a LinearMap, which the reader of a picture can undo from the tick labels, since
// every tick is drawn at its labelled value exactly. Texts and attribute values are escaped, so
// file names with '<' or '&' in them still give well-formed XML. Numbers are written in the C
// locale's form whatever the environment's locale.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk::plot {

struct Point {
  double x = 0.0, y = 0.0;
};

// The pixel rectangle of a plot area.
struct Frame {
  double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

// Maps data values linearly onto pixels: data_lo goes to pixel_lo and data_hi to pixel_hi.
// A degenerate data range (data_lo == data_hi) or a value that is not finite is refused with
// std::invalid_argument.
class LinearMap {
 public:
  LinearMap(double data_lo, double data_hi, double pixel_lo, double pixel_hi);
  double operator()(double value) const { return pixel_lo_ + (value - data_lo_) * scale_; }

 private:
  double data_lo_, pixel_lo_, scale_;
};

// The largest step of the 1-2-5 sequence (1, 2, 5, 10, 20, ... times a power of ten) that is not
// below `raw_step`, which must be finite and positive (std::invalid_argument otherwise).
double nice_step(double raw_step);

// Tick values in [lo, hi] at whole multiples of a 1-2-5 step chosen so that about
// `target_count` ticks fall inside, together with the decimals that label them without
// rounding. `minimum_step` keeps the step from falling below it (1 for integer axes such as v or
// J). lo must lie below hi and both be finite (std::invalid_argument otherwise).
struct Ticks {
  double step = 1.0;
  int decimals = 0;
  std::vector<double> values;
};
Ticks nice_ticks(double lo, double hi, int target_count, double minimum_step = 0.0);

// A tick value as its label shows it; "-0" is written as "0".
std::string tick_label(double value, int decimals);

// Fixed-point text of a number with `decimals` decimals in the C locale's form.
std::string fixed(double value, int decimals);

// Escapes the five XML special characters.
std::string xml_escape(std::string_view text);

struct Stroke {
  std::string colour = "black";
  double width = 1.0;
  std::string dash;  // an SVG stroke-dasharray such as "6 3"; empty for a solid line
};

struct TextStyle {
  double size = 13.0;
  std::string anchor = "start";  // start, middle or end
  std::string colour = "black";
  double rotate = 0.0;  // degrees, about the text's anchor point
  bool bold = false;
};

using Attributes = std::initializer_list<std::pair<std::string_view, std::string>>;

class SvgWriter {
 public:
  // Starts a picture of the given size in pixels on a white background; `title` becomes the
  // document's <title>.
  SvgWriter(double width, double height, std::string_view title);

  // A group; `attributes` are written as given (values escaped). Groups nest.
  void open_group(Attributes attributes);
  void close_group();

  // A rectangle to which later groups can be clipped with clip-path="url(#id)".
  void clip_rectangle(std::string_view id, const Frame& frame);

  // Each primitive takes a class name (empty for none) and extra attributes; `tooltip`, when
  // not empty, becomes a <title> child that viewers show on hover.
  void line(Point a, Point b, const Stroke& stroke, std::string_view css_class = {},
            Attributes extra = {}, std::string_view tooltip = {});
  void polyline(std::span<const Point> points, const Stroke& stroke,
                std::string_view css_class = {});
  void rectangle(const Frame& frame, const Stroke& stroke, std::string_view fill,
                 std::string_view css_class = {});
  void text(Point at, std::string_view content, const TextStyle& style,
            std::string_view css_class = {});
  // A filled circle, a data point's marker.
  void circle(Point centre, double radius, std::string_view fill, const Stroke& stroke,
              std::string_view css_class = {}, Attributes extra = {},
              std::string_view tooltip = {});

  // Closes every open group and the document and returns the whole text.
  std::string finish();

 private:
  void indent();
  void stroke_attributes(const Stroke& stroke);
  void attribute(std::string_view name, std::string_view value);

  std::string out_;
  int depth_ = 1;
  bool finished_ = false;
};

// Two decimals: the precision of every coordinate in a picture.
std::string pixel(double value);

struct AxisLabels {
  std::string x;
  std::string y;
};

// Frame, ticks (pointing outwards, labelled) and axis titles around `frame`. Each tick is a group
// of class "xtick" or "ytick" holding its line and its label, so a reader can recover the
// mapping of either axis from any two ticks.
void draw_axes(SvgWriter& svg, const Frame& frame, const LinearMap& x, const LinearMap& y,
               const Ticks& x_ticks, const Ticks& y_ticks, const AxisLabels& labels);

// One legend entry: a short sample of the stroke and one or more lines of text beside it.
struct LegendEntry {
  Stroke stroke;
  std::vector<std::string> lines;
  bool sample = true;  // false: text only, no stroke sample
};

// The legend as a column of entries starting at `top_left`, in a group of class "legend".
void draw_legend(SvgWriter& svg, Point top_left, std::span<const LegendEntry> entries);

}  // namespace velk::plot
