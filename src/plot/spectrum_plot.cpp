#include "plot/spectrum_plot.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "plot/picture_layout.h"
#include "plot/plot_files.h"
#include "plot/svg_writer.h"

namespace velk::plot {
namespace {

// Half the height of a row in units of v'; the rest keeps neighbouring rows apart.
constexpr double kHalfRow = 0.42;

const std::array<const char*, 3> kBranchColours{"#d62728", "#2ca02c", "#1f77b4"};
const std::array<const char*, 3> kBranchRule{"J' < J''", "J' = J''", "J' > J''"};

std::size_t slot(Branch branch) {
  return static_cast<std::size_t>(branch);
}

std::string transition_tooltip(const TransitionRecord& line, bool known_level_upper) {
  const std::string lower =
      "v'' = " + std::to_string(line.v_lower) + ", J'' = " + std::to_string(line.J_lower);
  const std::string upper =
      "v' = " + std::to_string(line.v_upper) + ", J' = " + std::to_string(line.J_upper);
  return std::string(1, branch_letter(branch_of(line.J_lower, line.J_upper))) + "(" +
         std::to_string(line.J_lower) + ") line " + std::to_string(line.index) + ": " +
         (known_level_upper ? upper + " -> " + lower : lower + " -> " + upper) + ", " +
         fixed(line.nu, 6) + " cm-1";
}

std::vector<std::string> words_after_colon(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text.substr(text.find(':') + 1) + " ") {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

// velk writes a header's label and value back to back ("A state data file:na2x.pot").
std::string spaced(const std::string& text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon + 1 >= text.size() || text[colon + 1] == ' ') return text;
  return text.substr(0, colon + 1) + " " + text.substr(colon + 1);
}

}  // namespace

std::string readable_header_line(const std::string& text) {
  const std::vector<std::string> words =
      text.find(':') == std::string::npos ? std::vector<std::string>{} : words_after_colon(text);
  if (text.starts_with("Known level:") && words.size() == 4) {
    const auto v = parse_integer(words[0]), J = parse_integer(words[1]),
               p = parse_integer(words[2]);
    const auto E = parse_real(words[3]);
    if (v && J && p && E) {
      return "Known level: v = " + words[0] + ", J = " + words[1] + ", p = " + words[2] +
             ", E = " + words[3] + " cm-1";
    }
  }
  if (text.starts_with("Range:") && words.size() == 2) {
    const auto lo = parse_real(words[0]), hi = parse_real(words[1]);
    if (lo && hi)
      return "Range: " + shortest_decimal(*lo) + " to " + shortest_decimal(*hi) + " cm-1";
  }
  return spaced(text);
}

std::string spectrum_plot_svg(const TransitionFileData& data, PictureSize size) {
  const PictureLayout layout = layout_of(size);
  const Frame& frame = layout.frame;
  const std::vector<TransitionRecord>& lines = data.lines;
  if (lines.empty()) {
    throw InputError("velk-plot: " + data.file_name + ": no transition lines to draw");
  }
  std::array<int, 3> counts{};
  double nu_lo = lines.front().nu, nu_hi = lines.front().nu;
  // One row per v of the computed levels: the upper ones, or the lower ones of a fluorescence
  // run, whose single known level is the upper one.
  const bool upper_known = data.known_level_upper;
  const auto row_of = [&](const TransitionRecord& line) {
    return upper_known ? line.v_lower : line.v_upper;
  };
  const auto same_start = [&](const TransitionRecord& a, const TransitionRecord& b) {
    return upper_known ? a.v_upper == b.v_upper && a.J_upper == b.J_upper
                       : a.v_lower == b.v_lower && a.J_lower == b.J_lower;
  };
  int v_lo = row_of(lines.front()), v_hi = v_lo;
  bool one_start = true;
  for (const TransitionRecord& line : lines) {
    ++counts[slot(branch_of(line.J_lower, line.J_upper))];
    nu_lo = std::min(nu_lo, line.nu);
    nu_hi = std::max(nu_hi, line.nu);
    v_lo = std::min(v_lo, row_of(line));
    v_hi = std::max(v_hi, row_of(line));
    one_start = one_start && same_start(line, lines.front());
  }
  if (nu_hi > nu_lo) {
    const double margin = 0.03 * (nu_hi - nu_lo);
    nu_lo -= margin;
    nu_hi += margin;
  } else {
    const double margin = std::max(1.0, 1e-4 * std::abs(nu_lo));
    nu_lo -= margin;
    nu_hi += margin;
  }
  const double row_lo = v_lo - 0.7, row_hi = v_hi + 0.7;

  // The present branches share each row in the order P, Q, R from the bottom.
  std::array<int, 3> part{};
  int parts = 0;
  for (std::size_t b = 0; b < 3; ++b) {
    if (counts[b] > 0) part[b] = parts++;
  }

  const LinearMap x(nu_lo, nu_hi, frame.left, frame.right());
  const LinearMap y(row_lo, row_hi, frame.bottom(), frame.top);

  SvgWriter svg(layout.width, layout.height, data.file_name);
  svg.text({layout.width / 2.0, 26.0}, data.file_name + ": transition wavenumbers",
           TextStyle{17.0, "middle", "black", 0.0, true}, "title");
  std::string subtitle;
  for (const std::string& text : data.header)
    subtitle += (subtitle.empty() ? "" : "  |  ") + readable_header_line(text);
  svg.text({layout.width / 2.0, 46.0}, subtitle, TextStyle{12.0, "middle", "#333333", 0.0, false},
           "subtitle");
  svg.clip_rectangle("plot-area", frame);
  draw_axes(svg, frame, x, y, nice_ticks(nu_lo, nu_hi, 7), nice_ticks(row_lo, row_hi, 10, 1.0),
            {"wavenumber (cm-1)", upper_known ? "v''" : "v'"});

  svg.open_group({{"class", "data"}, {"clip-path", "url(#plot-area)"}});
  const double share = 2.0 * kHalfRow / parts;
  for (const TransitionRecord& line : lines) {
    const Branch branch = branch_of(line.J_lower, line.J_upper);
    const double bottom = row_of(line) - kHalfRow + part[slot(branch)] * share;
    const double px = x(line.nu);
    svg.line({px, y(bottom)}, {px, y(bottom + share)},
             Stroke{kBranchColours[slot(branch)], 2.4, ""},
             std::string("stick ") + branch_letter(branch),
             {{"data-index", std::to_string(line.index)}}, transition_tooltip(line, upper_known));
  }
  svg.close_group();

  std::vector<LegendEntry> legend;
  for (std::size_t b = 0; b < 3; ++b) {
    if (counts[b] == 0) continue;
    const Branch branch = static_cast<Branch>(b);
    legend.push_back({Stroke{kBranchColours[b], 2.0, ""},
                      {std::string(1, branch_letter(branch)) + " branch: " + kBranchRule[b],
                       std::to_string(counts[b]) + (counts[b] == 1 ? " line" : " lines")},
                      true});
  }
  std::vector<std::string> notes;
  if (one_start && upper_known) {
    notes.push_back("all from v' = " + std::to_string(lines.front().v_upper) +
                    ", J' = " + std::to_string(lines.front().J_upper));
  } else if (one_start) {
    notes.push_back("all from v'' = " + std::to_string(lines.front().v_lower) +
                    ", J'' = " + std::to_string(lines.front().J_lower));
  } else {
    notes.push_back("from several lower levels");
  }
  notes.push_back(upper_known ? "one row per v''" : "one row per v'");
  if (parts > 1) notes.push_back("P lowest in a row, R highest");
  legend.push_back({Stroke{}, notes, false});
  if (data.unreadable > 0) {
    legend.push_back({Stroke{},
                      {std::to_string(data.unreadable) + " lines with **** values", "left out"},
                      false});
  }
  draw_legend(svg, {layout.legend_left, frame.top + 14.0}, legend);
  return svg.finish();
}

}  // namespace velk::plot
