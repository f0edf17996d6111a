#include "plot/svg_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "numlib/ipow.h"

namespace velk::plot {
namespace {

// Ticks closer to the end of an axis than this share of a step still count as inside: the ends
// are often computed values that miss a round number by a rounding error.
constexpr double kTickSlack = 1e-9;

}  // namespace

LinearMap::LinearMap(double data_lo, double data_hi, double pixel_lo, double pixel_hi)
    : data_lo_(data_lo), pixel_lo_(pixel_lo) {
  if (!std::isfinite(data_lo) || !std::isfinite(data_hi) || !std::isfinite(pixel_lo) ||
      !std::isfinite(pixel_hi) || data_lo == data_hi) {
    throw std::invalid_argument("velk-plot: an axis needs two different finite ends");
  }
  scale_ = (pixel_hi - pixel_lo) / (data_hi - data_lo);
}

double nice_step(double raw_step) {
  if (!std::isfinite(raw_step) || !(raw_step > 0.0)) {
    throw std::invalid_argument("velk-plot: a tick step must be finite and positive");
  }
  const int exponent = static_cast<int>(std::floor(std::log10(raw_step)));
  const double magnitude = ipow(10.0, exponent);
  const double residual = raw_step / magnitude;
  // log10 may round across a power of ten; the residual then lies just outside [1, 10).
  if (residual <= 1.0) return magnitude;
  if (residual <= 2.0) return 2.0 * magnitude;
  if (residual <= 5.0) return 5.0 * magnitude;
  return 10.0 * magnitude;
}

Ticks nice_ticks(double lo, double hi, int target_count, double minimum_step) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(lo < hi)) {
    throw std::invalid_argument("velk-plot: an axis needs finite ends with lo < hi");
  }
  Ticks ticks;
  ticks.step = nice_step((hi - lo) / std::max(target_count, 1));
  if (ticks.step < minimum_step) ticks.step = nice_step(minimum_step);
  // Decimals of a 1-2-5 step: a step of 0.2 needs one, 0.05 two, 10 none.
  const double digits = -std::floor(std::log10(ticks.step) + kTickSlack);
  ticks.decimals = digits > 0.0 ? static_cast<int>(digits) : 0;
  // Values are whole multiples of the step, formed anew for each tick so that no error adds up.
  const double first = std::ceil(lo / ticks.step - kTickSlack);
  const double last = std::floor(hi / ticks.step + kTickSlack);
  for (double k = first; k <= last; k += 1.0) ticks.values.push_back(k * ticks.step);
  return ticks;
}

std::string fixed(double value, int decimals) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "0";
  return std::string(buffer, result.ptr);
}

std::string tick_label(double value, int decimals) {
  std::string text = fixed(value, decimals);
  if (text.find_first_not_of("-0.") == std::string::npos && text.front() == '-') text.erase(0, 1);
  return text;
}

std::string pixel(double value) {
  return tick_label(value, 2);
}

std::string xml_escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        // Control characters other than tab and line ends are not allowed in XML 1.0 at all.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
          escaped += '?';
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

SvgWriter::SvgWriter(double width, double height, std::string_view title) {
  out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + pixel(width) + "\" height=\"" +
          pixel(height) + "\" viewBox=\"0 0 " + pixel(width) + " " + pixel(height) +
          "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n";
  out_ += "  <title>" + xml_escape(title) + "</title>\n";
  out_ += "  <rect x=\"0\" y=\"0\" width=\"" + pixel(width) + "\" height=\"" + pixel(height) +
          "\" fill=\"white\"/>\n";
}

void SvgWriter::indent() {
  out_.append(static_cast<std::size_t>(2 * depth_), ' ');
}

void SvgWriter::attribute(std::string_view name, std::string_view value) {
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  out_ += xml_escape(value);
  out_ += '"';
}

void SvgWriter::stroke_attributes(const Stroke& stroke) {
  attribute("stroke", stroke.colour);
  attribute("stroke-width", tick_label(stroke.width, 2));
  if (!stroke.dash.empty()) attribute("stroke-dasharray", stroke.dash);
}

void SvgWriter::open_group(Attributes attributes) {
  indent();
  out_ += "<g";
  for (const auto& [name, value] : attributes) attribute(name, value);
  out_ += ">\n";
  ++depth_;
}

void SvgWriter::close_group() {
  if (depth_ <= 1) throw std::logic_error("velk-plot: close_group without an open group");
  --depth_;
  indent();
  out_ += "</g>\n";
}

void SvgWriter::clip_rectangle(std::string_view id, const Frame& frame) {
  indent();
  out_ += "<defs><clipPath";
  attribute("id", id);
  out_ += "><rect";
  attribute("x", pixel(frame.left));
  attribute("y", pixel(frame.top));
  attribute("width", pixel(frame.width));
  attribute("height", pixel(frame.height));
  out_ += "/></clipPath></defs>\n";
}

void SvgWriter::line(Point a, Point b, const Stroke& stroke, std::string_view css_class,
                     Attributes extra, std::string_view tooltip) {
  indent();
  out_ += "<line";
  if (!css_class.empty()) attribute("class", css_class);
  attribute("x1", pixel(a.x));
  attribute("y1", pixel(a.y));
  attribute("x2", pixel(b.x));
  attribute("y2", pixel(b.y));
  stroke_attributes(stroke);
  for (const auto& [name, value] : extra) attribute(name, value);
  if (tooltip.empty()) {
    out_ += "/>\n";
  } else {
    out_ += "><title>" + xml_escape(tooltip) + "</title></line>\n";
  }
}

void SvgWriter::circle(Point centre, double radius, std::string_view fill, const Stroke& stroke,
                       std::string_view css_class, Attributes extra, std::string_view tooltip) {
  indent();
  out_ += "<circle";
  if (!css_class.empty()) attribute("class", css_class);
  attribute("cx", pixel(centre.x));
  attribute("cy", pixel(centre.y));
  attribute("r", pixel(radius));
  attribute("fill", fill);
  stroke_attributes(stroke);
  for (const auto& [name, value] : extra) attribute(name, value);
  if (tooltip.empty()) {
    out_ += "/>\n";
  } else {
    out_ += "><title>" + xml_escape(tooltip) + "</title></circle>\n";
  }
}

void SvgWriter::polyline(std::span<const Point> points, const Stroke& stroke,
                         std::string_view css_class) {
  indent();
  out_ += "<polyline";
  if (!css_class.empty()) attribute("class", css_class);
  out_ += " points=\"";
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0) out_ += (i % 8 == 0) ? '\n' : ' ';
    out_ += pixel(points[i].x);
    out_ += ',';
    out_ += pixel(points[i].y);
  }
  out_ += '"';
  attribute("fill", "none");
  stroke_attributes(stroke);
  attribute("stroke-linejoin", "round");
  out_ += "/>\n";
}

void SvgWriter::rectangle(const Frame& frame, const Stroke& stroke, std::string_view fill,
                          std::string_view css_class) {
  indent();
  out_ += "<rect";
  if (!css_class.empty()) attribute("class", css_class);
  attribute("x", pixel(frame.left));
  attribute("y", pixel(frame.top));
  attribute("width", pixel(frame.width));
  attribute("height", pixel(frame.height));
  attribute("fill", fill.empty() ? "none" : fill);
  stroke_attributes(stroke);
  out_ += "/>\n";
}

void SvgWriter::text(Point at, std::string_view content, const TextStyle& style,
                     std::string_view css_class) {
  indent();
  out_ += "<text";
  if (!css_class.empty()) attribute("class", css_class);
  attribute("x", pixel(at.x));
  attribute("y", pixel(at.y));
  attribute("font-size", tick_label(style.size, 1));
  attribute("text-anchor", style.anchor);
  attribute("fill", style.colour);
  if (style.bold) attribute("font-weight", "bold");
  if (style.rotate != 0.0) {
    attribute("transform", "rotate(" + tick_label(style.rotate, 1) + " " + pixel(at.x) + " " +
                               pixel(at.y) + ")");
  }
  out_ += '>';
  out_ += xml_escape(content);
  out_ += "</text>\n";
}

std::string SvgWriter::finish() {
  if (!finished_) {
    while (depth_ > 1) close_group();
    out_ += "</svg>\n";
    finished_ = true;
  }
  return out_;
}

void draw_axes(SvgWriter& svg, const Frame& frame, const LinearMap& x, const LinearMap& y,
               const Ticks& x_ticks, const Ticks& y_ticks, const AxisLabels& labels) {
  constexpr double kTickLength = 6.0;
  const Stroke axis_stroke{"black", 1.0, ""};
  const TextStyle tick_text{12.0, "middle", "black", 0.0, false};
  svg.open_group({{"class", "axes"}});
  svg.rectangle(frame, axis_stroke, "none", "frame");
  for (const double value : x_ticks.values) {
    const double px = x(value);
    const std::string label = tick_label(value, x_ticks.decimals);
    svg.open_group({{"class", "xtick"}});
    svg.line({px, frame.bottom()}, {px, frame.bottom() + kTickLength}, axis_stroke);
    svg.text({px, frame.bottom() + kTickLength + 14.0}, label, tick_text);
    svg.close_group();
  }
  TextStyle y_text = tick_text;
  y_text.anchor = "end";
  for (const double value : y_ticks.values) {
    const double py = y(value);
    const std::string label = tick_label(value, y_ticks.decimals);
    svg.open_group({{"class", "ytick"}});
    svg.line({frame.left - kTickLength, py}, {frame.left, py}, axis_stroke);
    svg.text({frame.left - kTickLength - 4.0, py + 4.0}, label, y_text);
    svg.close_group();
  }
  TextStyle title_text{14.0, "middle", "black", 0.0, false};
  svg.text({frame.left + frame.width / 2.0, frame.bottom() + 48.0}, labels.x, title_text, "xlabel");
  title_text.rotate = -90.0;
  svg.text({frame.left - 66.0, frame.top + frame.height / 2.0}, labels.y, title_text, "ylabel");
  svg.close_group();
}

void draw_legend(SvgWriter& svg, Point top_left, std::span<const LegendEntry> entries) {
  constexpr double kSampleLength = 28.0;
  constexpr double kLineHeight = 16.0;
  const TextStyle entry_text{12.0, "start", "black", 0.0, false};
  svg.open_group({{"class", "legend"}});
  double y = top_left.y;
  for (const LegendEntry& entry : entries) {
    if (entry.sample) {
      svg.line({top_left.x, y - 4.0}, {top_left.x + kSampleLength, y - 4.0}, entry.stroke);
    }
    double line_y = y;
    for (const std::string& text : entry.lines) {
      svg.text({top_left.x + kSampleLength + 8.0, line_y}, text, entry_text);
      line_y += kLineHeight;
    }
    y = line_y + 6.0;
  }
  svg.close_group();
}

}  // namespace velk::plot
