#include "plot/intensity_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <numeric>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/line_list_file.h"
#include "plot/plot_files.h"

namespace velk::plot {
namespace {

const std::array<const char*, 3> kBranchColours{"#d62728", "#2ca02c", "#1f77b4"};
constexpr const char* kObservedColour = "#7f7f7f";
// Labels of the strongest lines: at most this many, and no two closer than this in pixels.
constexpr std::size_t kMaxLabels = 12;
constexpr double kLabelSpacing = 38.0;
constexpr double kBandLabelSpacing = 60.0;
constexpr double kLabelSize = 11.0;  // for the longer labels that name the band too
// Room above the strongest stick for its label.
constexpr double kTop = 1.15;

std::size_t slot(Branch branch) {
  return static_cast<std::size_t>(branch);
}

std::string line_name(const IntensityLine& line) {
  return std::string(1, branch_letter(branch_of(line.J_lower, line.J_upper))) + "(" +
         std::to_string(line.J_lower) + ")";
}

// A label names the band v'-v'' too when the lines belong to more than one band.
std::string label_text(const IntensityLine& line, bool several_bands) {
  if (!several_bands) return line_name(line);
  return line_name(line) + " " + std::to_string(line.v_upper) + "-" + std::to_string(line.v_lower);
}

std::vector<std::string> split_numbers(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text + " ") {
    if (c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

// The curve's points inside [lo, hi] and the one next outside each end (the clip path cuts the
// segments to the frame), at most one per half-pixel column: the highest of each, which keeps
// every peak. The points stand in increasing wavenumber.
std::vector<Point> curve_pixels(const Curve& curve, const LinearMap& x, const LinearMap& y,
                                double lo, double hi, double scale) {
  const auto& points = curve.points;
  const auto first = std::lower_bound(points.begin(), points.end(), lo,
                                      [](const Point& p, double value) { return p.x < value; });
  const auto last = std::upper_bound(points.begin(), points.end(), hi,
                                     [](double value, const Point& p) { return value < p.x; });
  const auto from = first == points.begin() ? first : first - 1;
  const auto to = last == points.end() ? last : last + 1;
  std::vector<Point> pixels;
  double bin = -1e300;
  for (auto p = from; p != to; ++p) {
    const Point pixel{x(p->x), y(p->y * scale)};
    if (!pixels.empty() && std::floor(2.0 * pixel.x) == bin) {
      if (pixel.y < pixels.back().y) pixels.back() = pixel;
      continue;
    }
    bin = std::floor(2.0 * pixel.x);
    pixels.push_back(pixel);
  }
  return pixels;
}

double highest_in(const Curve& curve, double lo, double hi) {
  double top = 0.0;
  for (const Point& p : curve.points) {
    if (p.x >= lo && p.x <= hi) top = std::max(top, p.y);
  }
  return top;
}

}  // namespace

std::optional<IntensityLines> read_intensity_lines(const std::string& path) {
  if (!std::filesystem::exists(path)) return std::nullopt;
  require_run_file(path, "run velk-props spectrum first");
  const LineListFile table = read_line_list_file(path, kProgram);
  IntensityLines result;
  result.file_name = path;
  for (const LineListRow& row : table.rows) {
    if (!row.intensity || !(*row.intensity > 0.0) || !std::isfinite(*row.intensity)) continue;
    result.lines.push_back(
        {row.upper_v, row.upper_J, row.lower_v, row.lower_J, row.wavenumber, *row.intensity});
  }
  if (result.lines.empty()) return std::nullopt;
  return result;
}

Curve read_two_column_file(const std::string& path) {
  require_run_file(path, "give a file of two columns, wavenumber and intensity");
  FreeFormatReader in(path);
  Curve curve;
  curve.file_name = path;
  int line_number = 0;
  bool first = true;
  while (const std::optional<std::string> line = in.try_read_line()) {
    ++line_number;
    const std::string text = trim(*line);
    if (text.empty() || text.starts_with('#')) continue;
    const std::vector<std::string> words = split_numbers(text);
    const std::optional<double> x = words.size() >= 2 ? parse_real(words[0]) : std::nullopt;
    const std::optional<double> y = words.size() >= 2 ? parse_real(words[1]) : std::nullopt;
    if (x && y && std::isfinite(*x) && std::isfinite(*y)) {
      curve.points.push_back({*x, *y});
    } else if (!first) {
      throw InputError("velk-plot: " + path + ": line " + std::to_string(line_number) +
                       ": expected two numbers, wavenumber and intensity, found \"" + text + "\"");
    }
    first = false;
  }
  if (curve.points.empty()) {
    throw InputError("velk-plot: " + path + ": no points (two numbers per line) to draw");
  }
  std::stable_sort(curve.points.begin(), curve.points.end(),
                   [](const Point& a, const Point& b) { return a.x < b.x; });
  return curve;
}

std::string intensity_plot_svg(const IntensityPicture& picture, PictureSize size) {
  const PictureLayout layout = layout_of(size);
  const Frame& frame = layout.frame;
  const std::vector<IntensityLine>& lines = picture.lines->lines;
  double nu_lo = lines.front().nu, nu_hi = nu_lo, strongest = 0.0;
  std::array<int, 3> counts{};
  for (const IntensityLine& line : lines) {
    nu_lo = std::min(nu_lo, line.nu);
    nu_hi = std::max(nu_hi, line.nu);
    strongest = std::max(strongest, line.intensity);
    ++counts[slot(branch_of(line.J_lower, line.J_upper))];
  }
  const double margin = nu_hi > nu_lo ? 0.04 * (nu_hi - nu_lo) : std::max(1.0, 1e-4 * nu_lo);
  nu_lo -= margin;
  nu_hi += margin;
  const LinearMap x(nu_lo, nu_hi, frame.left, frame.right());
  const LinearMap y(0.0, kTop, frame.bottom(), frame.top);

  SvgWriter svg(layout.width, layout.height, picture.lines->file_name);
  svg.text({layout.width / 2.0, 26.0}, picture.lines->file_name + ": simulated spectrum",
           TextStyle{17.0, "middle", "black", 0.0, true}, "title");
  std::string subtitle;
  if (picture.transitions != nullptr) {
    for (const std::string& text : picture.transitions->header) {
      subtitle += (subtitle.empty() ? "" : "  |  ") + readable_header_line(text);
    }
  }
  svg.text({layout.width / 2.0, 46.0}, subtitle, TextStyle{12.0, "middle", "#333333", 0.0, false},
           "subtitle");
  svg.clip_rectangle("plot-area", frame);
  draw_axes(svg, frame, x, y, nice_ticks(nu_lo, nu_hi, 7), nice_ticks(0.0, kTop, 6),
            {"wavenumber (cm-1)", "relative intensity"});

  svg.open_group({{"class", "data"}, {"clip-path", "url(#plot-area)"}});
  double observed_scale = 0.0;
  if (picture.observed != nullptr) {
    const double top = highest_in(*picture.observed, nu_lo, nu_hi);
    if (top > 0.0) {
      observed_scale = 1.0 / top;
      svg.polyline(curve_pixels(*picture.observed, x, y, nu_lo, nu_hi, observed_scale),
                   Stroke{kObservedColour, 1.2, ""}, "observed");
    }
  }
  // The envelope under the sticks, so that lines it resolves still show their colours.
  if (picture.envelope != nullptr) {
    const double peak = highest_in(*picture.envelope, -1e300, 1e300);
    if (peak > 0.0) {
      svg.polyline(curve_pixels(*picture.envelope, x, y, nu_lo, nu_hi, 1.0 / peak),
                   Stroke{"#222222", 1.0, ""}, "envelope");
    }
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const IntensityLine& line = lines[k];
    const Branch branch = branch_of(line.J_lower, line.J_upper);
    svg.line({x(line.nu), y(0.0)}, {x(line.nu), y(line.intensity / strongest)},
             Stroke{kBranchColours[slot(branch)], 1.2, ""},
             std::string("stick ") + branch_letter(branch), {},
             line_name(line) + ": v' = " + std::to_string(line.v_upper) + ", J' = " +
                 std::to_string(line.J_upper) + " - v'' = " + std::to_string(line.v_lower) +
                 ", J'' = " + std::to_string(line.J_lower) + ", " + fixed(line.nu, 6) +
                 " cm-1, relative intensity " + fixed(line.intensity / strongest, 4));
  }
  // Labels of the strongest lines, strongest first, none crowding another.
  std::vector<std::size_t> order(lines.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return lines[a].intensity > lines[b].intensity;
  });
  const bool several_bands = std::any_of(lines.begin(), lines.end(), [&](const IntensityLine& l) {
    return l.v_upper != lines.front().v_upper || l.v_lower != lines.front().v_lower;
  });
  const double spacing = several_bands ? kBandLabelSpacing : kLabelSpacing;
  std::vector<double> placed;
  for (const std::size_t k : order) {
    if (placed.size() == kMaxLabels) break;
    const double px = x(lines[k].nu);
    if (std::any_of(placed.begin(), placed.end(),
                    [&](double other) { return std::abs(other - px) < spacing; })) {
      continue;
    }
    placed.push_back(px);
    const Branch branch = branch_of(lines[k].J_lower, lines[k].J_upper);
    // A label near either edge of the frame ends (or starts) at its stick, so that the clip of
    // the plot area does not cut it; 0.62 of the font size is about a character's width.
    const std::string text = label_text(lines[k], several_bands);
    const double half_width = 0.5 * 0.62 * kLabelSize * static_cast<double>(text.size());
    const char* anchor = px + half_width > frame.right() ? "end"
                         : px - half_width < frame.left  ? "start"
                                                         : "middle";
    svg.text({px, y(lines[k].intensity / strongest) - 5.0}, text,
             TextStyle{kLabelSize, anchor, kBranchColours[slot(branch)], 0.0, false}, "line-label");
  }
  svg.close_group();

  std::vector<LegendEntry> legend;
  for (std::size_t b = 0; b < 3; ++b) {
    if (counts[b] == 0) continue;
    legend.push_back({Stroke{kBranchColours[b], 2.0, ""},
                      {std::string(1, "PQR"[b]) + " branch: " + std::to_string(counts[b]) +
                       (counts[b] == 1 ? " line" : " lines")},
                      true});
  }
  if (picture.envelope != nullptr) {
    legend.push_back(
        {Stroke{"black", 1.2, ""}, {"envelope: " + picture.envelope->file_name}, true});
  }
  if (picture.observed != nullptr) {
    legend.push_back(
        {Stroke{kObservedColour, 1.2, ""},
         {"observed: " + picture.observed->file_name,
          observed_scale > 0.0 ? "scaled to the strongest peak" : "no point in the drawn range"},
         true});
  }
  std::vector<std::string> notes = {"sticks: line intensity, the", "strongest = 1; envelope: its",
                                    "peak = 1; labels P/Q/R(J'')"};
  if (several_bands) {
    notes.insert(notes.end(), {"and band v'-v'' on the strongest", "lines"});
  } else {
    notes.push_back("on the strongest lines");
  }
  legend.push_back({Stroke{}, notes, false});
  draw_legend(svg, {layout.legend_left, frame.top + 14.0}, legend);
  return svg.finish();
}

}  // namespace velk::plot
