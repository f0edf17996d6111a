#include "plot/spectrum_plot.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "plot/picture_layout.h"
#include "plot/plot_files.h"
#include "plot/svg_writer.h"

namespace velk::plot {
namespace {

// A header longer than this is not the program's: it writes four lines.
constexpr int kMaxHeaderLines = 12;
// Half the height of a row in units of v'; the rest keeps neighbouring rows apart.
constexpr double kHalfRow = 0.42;

const std::array<const char*, 3> kBranchColours{"#d62728", "#2ca02c", "#1f77b4"};
const std::array<const char*, 3> kBranchRule{"J' < J''", "J' = J''", "J' > J''"};

std::size_t slot(Branch branch) {
  return static_cast<std::size_t>(branch);
}

// Columns of a transition line, 0-based start and width.
struct Field {
  std::size_t start, width;
};
constexpr std::array<Field, 6> kFields{{{0, 5}, {5, 5}, {10, 4}, {14, 4}, {18, 4}, {22, 15}}};

bool is_separator_line(const std::string& text) {
  return text.size() >= 5 && text.find_first_not_of('=') == std::string::npos;
}

std::string transition_tooltip(const TransitionRecord& line) {
  return std::string(1, branch_letter(branch_of(line.J_lower, line.J_upper))) + " line " +
         std::to_string(line.index) + ": v'' = " + std::to_string(line.v_lower) +
         ", J'' = " + std::to_string(line.J_lower) + " -> v' = " + std::to_string(line.v_upper) +
         ", J' = " + std::to_string(line.J_upper) + ", " + fixed(line.nu, 6) + " cm-1";
}

// velk writes a header's label and value back to back ("A state data file:na2x.pot").
std::string spaced(const std::string& text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon + 1 >= text.size() || text[colon + 1] == ' ') return text;
  return text.substr(0, colon + 1) + " " + text.substr(colon + 1);
}

}  // namespace

Branch branch_of(int32_t J_lower, int32_t J_upper) {
  if (J_upper < J_lower) return Branch::P;
  if (J_upper == J_lower) return Branch::Q;
  return Branch::R;
}

char branch_letter(Branch branch) {
  return "PQR"[slot(branch)];
}

TransitionFileData read_transition_file(const std::string& path) {
  require_run_file(path, "run velk first");
  FreeFormatReader in(path);
  TransitionFileData data;
  data.file_name = path;
  int line_number = 0;
  bool header_done = false;
  while (!header_done && line_number < kMaxHeaderLines) {
    const std::optional<std::string> header_line = in.try_read_line();
    if (!header_line) break;
    ++line_number;
    const std::string text = trim(*header_line);
    if (is_separator_line(text)) {
      header_done = true;
    } else if (!text.empty()) {
      data.header.push_back(text);
    }
  }
  if (!header_done) {
    throw InputError("velk-plot: " + path +
                     ": no line of equals signs ends a header; this is not a transition list "
                     "written by velk");
  }
  while (const std::optional<std::string> next = in.try_read_line()) {
    ++line_number;
    const std::string& line = *next;
    if (trim(line).empty()) continue;
    const auto bad_line = [&] {
      return InputError("velk-plot: " + path + ": line " + std::to_string(line_number) +
                        ": expected a transition line (I5, I5, I4, I4, I4, F15.6), found \"" +
                        trim(line) + "\"");
    };
    if (line.size() < kFields.back().start + kFields.back().width) throw bad_line();
    std::array<std::string, 6> fields;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
      fields[k] = trim(std::string_view(line).substr(kFields[k].start, kFields[k].width));
    }
    if (std::any_of(fields.begin(), fields.end(),
                    [](const std::string& f) { return f.find('*') != std::string::npos; })) {
      ++data.unreadable;
      continue;
    }
    std::array<std::optional<int32_t>, 5> integers;
    for (std::size_t k = 0; k < 5; ++k) integers[k] = parse_integer(fields[k]);
    const std::optional<double> nu = parse_real(fields[5]);
    if (!nu || std::any_of(integers.begin(), integers.end(),
                           [](const std::optional<int32_t>& i) { return !i; })) {
      throw bad_line();
    }
    data.lines.push_back(
        {*integers[0], *integers[1], *integers[2], *integers[3], *integers[4], *nu});
  }
  return data;
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
  int v_lo = lines.front().v_upper, v_hi = lines.front().v_upper;
  bool one_lower = true;
  for (const TransitionRecord& line : lines) {
    ++counts[slot(branch_of(line.J_lower, line.J_upper))];
    nu_lo = std::min(nu_lo, line.nu);
    nu_hi = std::max(nu_hi, line.nu);
    v_lo = std::min(v_lo, line.v_upper);
    v_hi = std::max(v_hi, line.v_upper);
    one_lower =
        one_lower && line.v_lower == lines.front().v_lower && line.J_lower == lines.front().J_lower;
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
    subtitle += (subtitle.empty() ? "" : "  |  ") + spaced(text);
  svg.text({layout.width / 2.0, 46.0}, subtitle, TextStyle{12.0, "middle", "#333333", 0.0, false},
           "subtitle");
  svg.clip_rectangle("plot-area", frame);
  draw_axes(svg, frame, x, y, nice_ticks(nu_lo, nu_hi, 7), nice_ticks(row_lo, row_hi, 10, 1.0),
            {"wavenumber (cm-1)", "v'"});

  svg.open_group({{"class", "data"}, {"clip-path", "url(#plot-area)"}});
  const double share = 2.0 * kHalfRow / parts;
  for (const TransitionRecord& line : lines) {
    const Branch branch = branch_of(line.J_lower, line.J_upper);
    const double bottom = line.v_upper - kHalfRow + part[slot(branch)] * share;
    const double px = x(line.nu);
    svg.line({px, y(bottom)}, {px, y(bottom + share)},
             Stroke{kBranchColours[slot(branch)], 2.4, ""},
             std::string("stick ") + branch_letter(branch),
             {{"data-index", std::to_string(line.index)}}, transition_tooltip(line));
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
  if (one_lower) {
    notes.push_back("all from v'' = " + std::to_string(lines.front().v_lower) +
                    ", J'' = " + std::to_string(lines.front().J_lower));
  } else {
    notes.push_back("from several lower levels");
  }
  notes.push_back("one row per v'");
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
