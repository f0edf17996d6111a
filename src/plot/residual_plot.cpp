#include "plot/residual_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "plot/svg_writer.h"

namespace velk::plot {
namespace {

const std::array<const char*, 10> kPalette{"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                           "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

// A legend entry takes this much height; the entries that do not fit are summed up in one line.
constexpr double kLegendEntryHeight = 22.0;

std::string group_label(const ResidualRow& row) {
  if (!row.series.empty()) return "series " + row.series;
  const std::string upper = std::string(1, row.upper_state) + " v'=" + std::to_string(row.upper_v);
  if (row.term_value()) return upper + " term values";
  return upper + " - " + std::string(1, row.lower_state) + " v''=" + std::to_string(row.lower_v);
}

std::string row_tooltip(const ResidualRow& row) {
  std::string level = std::string(1, row.upper_state) + " v'=" + std::to_string(row.upper_v) +
                      " J'=" + std::to_string(row.upper_J);
  if (!row.term_value()) {
    level += " - " + std::string(1, row.lower_state) + " v''=" + std::to_string(row.lower_v) +
             " J''=" + std::to_string(row.lower_J);
  }
  return "line " + std::to_string(row.line) + ": " + level +
         (row.series.empty() ? "" : " (series " + row.series + ")") +
         ", obs - calc = " + fixed(row.obs_minus_calc, 6) + " cm-1, normalised " +
         fixed(row.normalised, 4);
}

}  // namespace

std::string residual_x_axis_label(const ResidualTable& table) {
  const auto terms = std::count_if(table.rows.begin(), table.rows.end(),
                                   [](const ResidualRow& r) { return r.term_value(); });
  if (terms == static_cast<std::ptrdiff_t>(table.rows.size()))
    return "J' (upper J of each term value)";
  if (terms == 0) return "J'' (lower J of each line)";
  return "J (upper J of a term value, lower J of a line)";
}

int drawn_J(const ResidualRow& row) {
  return row.term_value() ? row.upper_J : row.lower_J;
}

std::string group_colour(std::size_t k) {
  if (k < kPalette.size()) return kPalette[k];
  const double hue = std::fmod(static_cast<double>(k - kPalette.size()) * 137.508, 360.0);
  return "hsl(" + fixed(hue, 1) + ", 70%, 42%)";
}

std::vector<ResidualGroup> residual_groups(const ResidualTable& table) {
  std::vector<ResidualGroup> groups;
  std::map<std::string, std::size_t> index;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const std::string label = group_label(table.rows[r]);
    const auto [at, added] = index.emplace(label, groups.size());
    if (added) groups.push_back({label, {}});
    groups[at->second].rows.push_back(r);
  }
  return groups;
}

std::string residual_plot_svg(const ResidualTable& table, PictureSize size) {
  const PictureLayout layout = layout_of(size);
  const Frame& frame = layout.frame;
  const std::vector<ResidualRow>& rows = table.rows;

  int J_lo = drawn_J(rows.front()), J_hi = J_lo;
  double largest = 0.0, squares = 0.0;
  int outliers = 0;
  for (const ResidualRow& row : rows) {
    J_lo = std::min(J_lo, drawn_J(row));
    J_hi = std::max(J_hi, drawn_J(row));
    largest = std::max(largest, std::fabs(row.normalised));
    squares += row.normalised * row.normalised;
    if (std::fabs(row.normalised) > kOutlierLimit) ++outliers;
  }
  // The outlier levels stay in view however good the fit; a worse one widens the axis to its
  // largest residual.
  const double y_extent = std::max(kOutlierLimit + 1.0, 1.08 * largest);
  const double x_lo = J_lo - 1.0, x_hi = J_hi + 1.0;
  const LinearMap x(x_lo, x_hi, frame.left, frame.right());
  const LinearMap y(-y_extent, y_extent, frame.bottom(), frame.top);

  SvgWriter svg(layout.width, layout.height, table.file_name);
  svg.text({layout.width / 2.0, 26.0}, table.file_name + ": normalised residuals of the fit",
           TextStyle{17.0, "middle", "black", 0.0, true}, "title");
  svg.text({layout.width / 2.0, 46.0},
           std::to_string(rows.size()) + (rows.size() == 1 ? " line" : " lines") +
               ", root mean square of (obs - calc)/uncertainty " +
               fixed(std::sqrt(squares / static_cast<double>(rows.size())), 3) + ", " +
               std::to_string(outliers) + " beyond ±4",
           TextStyle{12.0, "middle", "#333333", 0.0, false}, "subtitle");
  svg.clip_rectangle("plot-area", frame);
  draw_axes(svg, frame, x, y, nice_ticks(x_lo, x_hi, 10, 1.0), nice_ticks(-y_extent, y_extent, 9),
            {residual_x_axis_label(table), "(obs - calc) / uncertainty"});

  svg.open_group({{"class", "levels"}, {"clip-path", "url(#plot-area)"}});
  svg.line({frame.left, y(0.0)}, {frame.right(), y(0.0)}, Stroke{"#555555", 1.0, ""}, "zero");
  for (const double level : {-1.0, 1.0}) {
    svg.line({frame.left, y(level)}, {frame.right(), y(level)}, Stroke{"#888888", 1.0, "6 3"},
             "uncertainty-level", {{"data-level", fixed(level, 0)}});
  }
  for (const double level : {-kOutlierLimit, kOutlierLimit}) {
    svg.line({frame.left, y(level)}, {frame.right(), y(level)}, Stroke{"#d62728", 1.2, "2 3"},
             "outlier-level", {{"data-level", fixed(level, 0)}});
  }
  svg.close_group();

  const std::vector<ResidualGroup> groups = residual_groups(table);
  svg.open_group({{"class", "data"}, {"clip-path", "url(#plot-area)"}});
  for (std::size_t k = 0; k < groups.size(); ++k) {
    const std::string colour = group_colour(k);
    for (const std::size_t r : groups[k].rows) {
      const ResidualRow& row = rows[r];
      const bool outlier = std::fabs(row.normalised) > kOutlierLimit;
      svg.circle({x(drawn_J(row)), y(row.normalised)}, outlier ? 4.5 : 3.5, colour,
                 outlier ? Stroke{"black", 1.2, ""} : Stroke{colour, 0.5, ""},
                 outlier ? "point outlier" : "point",
                 {{"data-group", std::to_string(k)}, {"data-line", std::to_string(row.line)}},
                 row_tooltip(row));
    }
  }
  svg.close_group();

  std::vector<LegendEntry> legend;
  const auto room = static_cast<std::size_t>(
      std::max(1.0, std::floor((frame.height - 5.0 * kLegendEntryHeight) / kLegendEntryHeight)));
  const std::size_t shown = groups.size() <= room ? groups.size() : room - 1;
  for (std::size_t k = 0; k < shown; ++k) {
    const std::size_t count = groups[k].rows.size();
    legend.push_back(
        {Stroke{group_colour(k), 4.0, ""},
         {groups[k].label + " (" + std::to_string(count) + (count == 1 ? " line)" : " lines)")},
         true});
  }
  if (shown < groups.size()) {
    legend.push_back(
        {Stroke{}, {std::to_string(groups.size() - shown) + " more groups, not listed"}, false});
  }
  legend.push_back({Stroke{"#888888", 1.0, "6 3"}, {"±1: the stated uncertainty"}, true});
  legend.push_back({Stroke{"#d62728", 1.2, "2 3"},
                    {"±4: outlier limit (" + std::to_string(outliers) +
                     (outliers == 1 ? " outlier, ringed)" : " outliers, ringed)")},
                    true});
  draw_legend(svg, {layout.legend_left, frame.top + 14.0}, legend);
  return svg.finish();
}

}  // namespace velk::plot
