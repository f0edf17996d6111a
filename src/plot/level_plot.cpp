#include "plot/level_plot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/warning.h"
#include "pec/potential_builder.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"
#include "plot/plot_files.h"
#include "plot/svg_writer.h"

namespace velk::plot {
namespace {

const char* const kCurveColour = "black";
const char* const kLevelColour = "#1f5fbf";
const char* const kQuasiBoundColour = "#c0392b";
const char* const kAsymptoteColour = "#555555";
const char* const kQuasiBoundDash = "5 3";
const char* const kNotFoundColour = "#999999";
const char* const kNotFoundDash = "2 3";
const Stroke kAsymptoteStroke{kAsymptoteColour, 1.4, "9 4"};
const Stroke kWaveFunctionStroke{"#2e8b57", 1.0, ""};
// A wave function's largest excursion, as a share of the distance to the nearest other level.
constexpr double kWaveFunctionShare = 0.45;
// Levels bound by less than this share of the well depth may reach past the right edge.
constexpr double kNearAsymptoteShare = 0.02;

// The shortest text that gives a value back to about ten significant digits.
std::string compact(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("?");
}

double grid_R(double R0, double h, int i) {
  return R0 + static_cast<double>(i) * h;
}

// The centrifugal numerator of a level, cm-1·Å²; the bracket is formed in 32-bit arithmetic as
// the effective potential of the level solver forms it.
double centrifugal_of(int32_t J, const PotentialCurve& curve) {
  const int32_t bracket = rotational_product(J) - curve.Lambda * curve.Lambda;
  if (bracket == 0) return 0.0;
  if (!(curve.mu > 0.0)) {
    throw InputError("velk-plot: the reduced mass chosen for the state is not positive (" +
                     compact(curve.mu) + " u); the centrifugal term of J = " + std::to_string(J) +
                     " cannot be formed");
  }
  return kCentrifugalConstant * static_cast<double>(bracket) / curve.mu;
}

// The index of the lowest strict interior minimum of V, or of the lowest value when there is none.
int well_bottom(std::span<const double> V, int N) {
  int best = 0;
  for (int i = 2; i < N; ++i) {
    if (V[i] < V[i - 1] && V[i] < V[i + 1] && (best == 0 || V[i] < V[best])) best = i;
  }
  if (best != 0) return best;
  best = 1;
  for (int i = 2; i <= N; ++i) {
    if (V[i] < V[best]) best = i;
  }
  return best;
}

// Why the solver's level is not the one asked for, or nothing when it is.
std::string not_found_reason(const LevelRecord& level, std::optional<double> tolerance) {
  if (level.node && *level.node != level.v) {
    return "node count " + std::to_string(*level.node) + ", not v";
  }
  if (level.Dcor && tolerance && std::abs(*level.Dcor) > *tolerance) {
    return "|Dcor| = " + compact(std::abs(*level.Dcor)) + " cm-1 above the tolerance " +
           compact(*tolerance);
  }
  return {};
}

std::string level_tooltip(const LevelRecord& level, const std::string& not_found) {
  return "v = " + std::to_string(level.v) + ", J = " + std::to_string(level.J) +
         ", p = " + std::to_string(level.p) + ", E = " + fixed(level.E, 5) + " cm-1" +
         (level.quasi_bound ? " (quasi-bound)" : "") +
         (not_found.empty() ? "" : " (not found: " + not_found + ")");
}

struct Span {
  int lo = 0, hi = 0;
};

Span v_span(const std::vector<LevelRecord>& levels) {
  Span s{levels.front().v, levels.front().v};
  for (const auto& level : levels) {
    s.lo = std::min(s.lo, level.v);
    s.hi = std::max(s.hi, level.v);
  }
  return s;
}

Span J_span(const std::vector<LevelRecord>& levels) {
  Span s{levels.front().J, levels.front().J};
  for (const auto& level : levels) {
    s.lo = std::min(s.lo, level.J);
    s.hi = std::max(s.hi, level.J);
  }
  return s;
}

std::string range_text(std::string_view name, Span s) {
  std::string text = std::string(name) + " = " + std::to_string(s.lo);
  if (s.hi != s.lo) text += ".." + std::to_string(s.hi);
  return text;
}

// "198 levels, v = 0..65, J = 0..2"
std::string levels_summary(const std::vector<LevelRecord>& levels) {
  const std::string count =
      std::to_string(levels.size()) + (levels.size() == 1 ? " level" : " levels");
  return count + ", " + range_text("v", v_span(levels)) + ", " + range_text("J", J_span(levels));
}

int count_quasi_bound(const std::vector<LevelRecord>& levels) {
  return static_cast<int>(std::count_if(levels.begin(), levels.end(),
                                        [](const LevelRecord& l) { return l.quasi_bound; }));
}

// Data range of the energies with room above and below, so that neither the lowest level nor the
// asymptote sits on the frame.
struct Range {
  double lo = 0.0, hi = 0.0;
};

Range padded(double lo, double hi, double below, double above) {
  if (!(hi > lo)) {
    const double half = std::max(1.0, std::abs(lo) * 0.01);
    return {lo - half, hi + half};
  }
  const double span = hi - lo;
  return {lo - below * span, hi + above * span};
}

// The length of the UTF-8 sequence that starts at `at`, or 0 when none does.
std::size_t utf8_length(std::string_view text, std::size_t at) {
  const auto byte = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  if (byte >= 0x20 && byte < 0x7F) return 1;
  if (byte == '\t') return 1;
  if (byte >= 0xC2 && byte <= 0xDF) length = 2;
  if (byte >= 0xE0 && byte <= 0xEF) length = 3;
  if (byte >= 0xF0 && byte <= 0xF4) length = 4;
  if (length == 0 || at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// A bold title of 17 px takes about 9.5 px a character; 20 px stay free on either side.
std::size_t title_characters(double width) {
  return static_cast<std::size_t>((width - 40.0) / 9.5);
}

void draw_titles(SvgWriter& svg, double width, const std::string& title,
                 const std::string& subtitle) {
  svg.text({width / 2.0, 26.0}, title, TextStyle{17.0, "middle", "black", 0.0, true}, "title");
  svg.text({width / 2.0, 46.0}, subtitle, TextStyle{12.0, "middle", "#333333", 0.0, false},
           "subtitle");
}

Stroke level_stroke(bool quasi_bound) {
  return quasi_bound ? Stroke{kQuasiBoundColour, 1.2, kQuasiBoundDash}
                     : Stroke{kLevelColour, 1.2, ""};
}

const Stroke kNotFoundStroke{kNotFoundColour, 1.2, kNotFoundDash};

// One level line, with its look and class chosen by what the level is.
void draw_level(SvgWriter& svg, Point from, Point to, const LevelRecord& level,
                const std::string& not_found) {
  std::string css = level.quasi_bound ? "level quasi-bound" : "level";
  if (!not_found.empty()) css += " not-found";
  svg.line(from, to, not_found.empty() ? level_stroke(level.quasi_bound) : kNotFoundStroke, css,
           {{"data-v", std::to_string(level.v)},
            {"data-J", std::to_string(level.J)},
            {"data-p", std::to_string(level.p)}},
           level_tooltip(level, not_found));
}

// ψ(R) of one level drawn about its level line, thinned to points at least a pixel apart.
void draw_wavefunction(SvgWriter& svg, const WaveFunctionTable& table,
                       const WaveFunctionColumn& column, const LevelRecord& level, double height,
                       const LinearMap& x, const LinearMap& y, const Range& radius) {
  double largest = 0.0;
  for (const double psi : column.psi) {
    if (std::isfinite(psi)) largest = std::max(largest, std::fabs(psi));
  }
  if (!(largest > 0.0)) return;
  const double scale = height / largest;
  // Only where the function is seen: from its first to its last value above a thousandth of
  // its largest, so that the flat tails do not draw lines across the whole picture.
  const std::size_t n = std::min(table.R.size(), column.psi.size());
  std::size_t first = n, last = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isfinite(column.psi[i]) && std::fabs(column.psi[i]) > 1e-3 * largest) {
      first = std::min(first, i);
      last = i;
    }
  }
  std::vector<Point> points;
  for (std::size_t i = first; i <= last && i < n; ++i) {
    const double R = table.R[i];
    if (R < radius.lo || R > radius.hi || !std::isfinite(column.psi[i])) continue;
    const Point point{x(R), y(level.E + scale * column.psi[i])};
    if (points.empty() || std::hypot(point.x - points.back().x, point.y - points.back().y) >= 1.0) {
      points.push_back(point);
    }
  }
  if (points.size() < 2) return;
  svg.polyline(points, kWaveFunctionStroke, "wavefunction");
}

// The v of a level written just right of its line's end, or left of the frame's right edge when
// the line runs on past it.
void draw_v_label(SvgWriter& svg, double x_end, double y_level, const Frame& frame, int32_t v) {
  constexpr double kGap = 3.0;
  const bool inside = x_end + kGap + 14.0 < frame.right();
  svg.text({inside ? x_end + kGap : frame.right() - kGap, y_level + 3.0}, std::to_string(v),
           TextStyle{9.0, inside ? "start" : "end", kLevelColour, 0.0, false}, "v-label");
}

// The levels that are drawn: all of them, or those found when the others are to be left out,
// whose number goes to `left_out`.
std::vector<LevelRecord> drawn_levels(const LevelPlotInput& input, const LevelDrawing& drawing,
                                      std::optional<double> tolerance, int& left_out) {
  std::vector<LevelRecord> drawn;
  left_out = 0;
  for (const LevelRecord& level : input.levels->levels) {
    if (drawing.hide_not_found && level_not_found(level, tolerance)) {
      ++left_out;
    } else {
      drawn.push_back(level);
    }
  }
  return drawn;
}

// The legend entries about levels not found and about the v labels.
void add_finding_entries(std::vector<LegendEntry>& legend, int drawn_not_found, int left_out,
                         bool v_labels) {
  if (drawn_not_found > 0) {
    legend.push_back({kNotFoundStroke,
                      {"levels not found: " + std::to_string(drawn_not_found),
                       "(|Dcor| above the tolerance", "or node count other than v)"},
                      true});
  }
  if (left_out > 0) {
    legend.push_back({Stroke{},
                      {std::to_string(left_out) +
                       (left_out == 1 ? " level not found" : " levels not found") + " left out"},
                      false});
  }
  if (v_labels) legend.push_back({Stroke{}, {"numbers beside the levels: v"}, false});
}

std::string state_words(char letter) {
  return std::string("state ") + letter;
}

std::string potential_plot(const LevelPlotInput& input, const LevelDrawing& drawing,
                           std::optional<double> tolerance) {
  const PotentialCurve& curve = *input.curve;
  const PictureLayout layout = layout_of(drawing.size);
  const Frame& frame = layout.frame;
  int left_out = 0;
  const std::vector<LevelRecord> levels = drawn_levels(input, drawing, tolerance, left_out);
  const std::span<const double> V(curve.V);
  const int N = curve.N;

  struct Placed {
    const LevelRecord* level;
    TurningPoints points;
  };
  std::vector<Placed> placed;
  placed.reserve(levels.size());
  bool any_centrifugal = false;
  for (const LevelRecord& level : levels) {
    const double c = centrifugal_of(level.J, curve);
    any_centrifugal = any_centrifugal || c != 0.0;
    placed.push_back({&level, classical_turning_points(V, curve.R0, curve.h, N, level.E, c)});
  }

  // Energies: from the bottom of the well (or the lowest level) to the asymptote (or the highest
  // level), with the repulsive wall running off the top.
  const int bottom = well_bottom(V, N);
  double e_lo = V[bottom];
  double e_hi = curve.asymptote;
  for (const LevelRecord& level : levels) {
    e_lo = std::min(e_lo, level.E);
    e_hi = std::max(e_hi, level.E);
  }
  if (!std::isfinite(e_lo) || !std::isfinite(e_hi)) {
    throw InputError("velk-plot: " + input.data_file +
                     ": the curve or its asymptote is not a finite number on the grid");
  }
  const Range energy = padded(e_lo, e_hi, 0.05, 0.08);

  // Radii: from where the inner wall leaves the top of the picture to the outermost turning
  // point of the levels that are bound by more than a small share of the well depth, or the
  // whole grid when there are no levels. The last few levels below the asymptote reach far out
  // (to 25 Å and more for an alkali dimer); taking them in would squeeze the well into a corner,
  // so they run on past the right edge, and the legend says how far.
  const double R_first = grid_R(curve.R0, curve.h, 1);
  const double R_last = grid_R(curve.R0, curve.h, N);
  const double R_wall = classical_turning_points(V, curve.R0, curve.h, N, energy.hi, 0.0).inner;
  const double depth = curve.asymptote - V[bottom];
  const double near_asymptote = curve.asymptote - kNearAsymptoteShare * depth;
  const auto reaches_far = [&](const LevelRecord& level) {
    return depth > 0.0 && level.E > near_asymptote && level.E <= curve.asymptote;
  };
  const bool all_far = std::all_of(levels.begin(), levels.end(), reaches_far);
  double R_out = levels.empty() ? R_last : grid_R(curve.R0, curve.h, bottom);
  // The well is shown at least up to half the height of the picture, so that a few low levels
  // (a single one from a transition run) do not reduce the curve to its bottom.
  const TurningPoints half_height =
      classical_turning_points(V, curve.R0, curve.h, N, 0.5 * (energy.lo + energy.hi), 0.0);
  if (half_height.outer_found) R_out = std::max(R_out, half_height.outer);
  double R_farthest = R_out;
  int cut = 0;
  for (const Placed& p : placed) {
    R_farthest = std::max(R_farthest, p.points.outer);
    if (!all_far && reaches_far(*p.level)) continue;
    R_out = std::max(R_out, p.points.outer);
  }
  Range radius{R_wall, R_out};
  if (!(radius.hi > radius.lo)) radius = {R_first, R_last};
  const double r_span = radius.hi - radius.lo;
  radius.lo = std::max(R_first, radius.lo - 0.03 * r_span);
  radius.hi = std::min(R_last, radius.hi + 0.05 * r_span);
  if (!(radius.hi > radius.lo)) radius = {R_first, R_last};
  for (const Placed& p : placed) {
    if (p.points.outer > radius.hi) ++cut;
  }

  const LinearMap x(radius.lo, radius.hi, frame.left, frame.right());
  const LinearMap y(energy.lo, energy.hi, frame.bottom(), frame.top);

  // The description line names the curve better than its file does; the file is then named
  // beside the state.
  const bool described = !curve.description.empty();
  const std::string name =
      described ? description_title(curve.description, title_characters(layout.width))
                : input.data_file;
  SvgWriter svg(layout.width, layout.height, name);
  draw_titles(svg, layout.width, name,
              state_words(input.state_letter) + (described ? ", " + input.data_file : "") +
                  ": potential curve and the levels of " + input.levels->file_name);
  svg.clip_rectangle("plot-area", frame);
  draw_axes(svg, frame, x, y, nice_ticks(radius.lo, radius.hi, 8),
            nice_ticks(energy.lo, energy.hi, 8), {"R (\xC3\x85)", "energy (cm-1)"});

  svg.open_group({{"class", "data"}, {"clip-path", "url(#plot-area)"}});

  // The curve, thinned to points at least a pixel apart; values far off the picture are held just
  // outside the frame, where the clip hides them.
  std::vector<Point> points;
  const double y_top = frame.top - 20.0;
  const double y_bottom = frame.bottom() + 20.0;
  Point candidate;
  bool candidate_kept = true;
  for (int i = 1; i <= N; ++i) {
    const double R = grid_R(curve.R0, curve.h, i);
    if (R < radius.lo - curve.h || R > radius.hi + curve.h || !std::isfinite(V[i])) continue;
    candidate = {x(R), std::clamp(y(V[i]), y_top, y_bottom)};
    candidate_kept = points.empty() || std::hypot(candidate.x - points.back().x,
                                                  candidate.y - points.back().y) >= 1.0;
    if (candidate_kept) points.push_back(candidate);
  }
  if (!candidate_kept) points.push_back(candidate);
  svg.polyline(points, Stroke{kCurveColour, 1.6, ""}, "curve");

  int not_found_count = 0;
  std::vector<int32_t> labelled;
  for (const Placed& p : placed) {
    const LevelRecord& level = *p.level;
    const double y_level = y(level.E);
    const std::string not_found = not_found_reason(level, tolerance);
    if (!not_found.empty()) ++not_found_count;
    draw_level(svg, {x(p.points.inner), y_level}, {x(p.points.outer), y_level}, level, not_found);
    // One label for each v, at its first line: the lowest J, since the file runs J outermost.
    if (drawing.v_labels &&
        std::find(labelled.begin(), labelled.end(), level.v) == labelled.end()) {
      labelled.push_back(level.v);
      draw_v_label(svg, x(p.points.outer), y_level, frame, level.v);
    }
  }
  int drawn_waves = 0;
  if (input.wavefunctions) {
    for (const Placed& p : placed) {
      const LevelRecord& level = *p.level;
      const WaveFunctionColumn* column = input.wavefunctions->find(level.v, level.J, level.p);
      if (!column) continue;
      double spacing = 0.05 * (energy.hi - energy.lo);
      bool first = true;
      for (const Placed& other : placed) {
        const double gap = std::fabs(other.level->E - level.E);
        if (other.level == p.level || !(gap > 0.0)) continue;
        spacing = first ? gap : std::min(spacing, gap);
        first = false;
      }
      draw_wavefunction(svg, *input.wavefunctions, *column, level, kWaveFunctionShare * spacing, x,
                        y, radius);
      ++drawn_waves;
    }
  }
  // The asymptote goes over the levels, so that it shows above the crowd of the highest ones,
  // and its name stands on the picture itself.
  const double y_asymptote = y(curve.asymptote);
  svg.line({frame.left, y_asymptote}, {frame.right(), y_asymptote}, kAsymptoteStroke, "asymptote",
           {{"data-E", compact(curve.asymptote)}});

  svg.close_group();
  if (y_asymptote > frame.top + 16.0 && y_asymptote <= frame.bottom()) {
    svg.text({frame.right() - 6.0, y_asymptote - 5.0}, "asymptote",
             TextStyle{12.0, "end", kAsymptoteColour, 0.0, false}, "asymptote-label");
  }

  std::vector<LegendEntry> legend;
  legend.push_back({Stroke{kCurveColour, 1.6, ""}, {"potential V(R)", "(the J = 0 curve)"}, true});
  if (levels.empty()) {
    legend.push_back({Stroke{}, {"no levels in " + input.levels->file_name}, false});
  } else {
    std::vector<std::string> lines{"levels of " + input.levels->file_name, levels_summary(levels)};
    if (any_centrifugal) {
      lines.push_back("each between the turning points");
      lines.push_back("of V + centrifugal term of its J");
    } else {
      lines.push_back("between the turning points of V");
    }
    if (cut > 0) {
      lines.push_back(std::to_string(cut) + (cut == 1 ? " level reaches" : " levels reach") +
                      " past the right edge");
      lines.push_back("(outer turning points up to " + fixed(R_farthest, 1) + " \xC3\x85)");
    }
    legend.push_back({level_stroke(false), lines, true});
    const int quasi = count_quasi_bound(levels);
    if (quasi > 0) {
      legend.push_back({level_stroke(true),
                        {"quasi-bound levels (res.): " + std::to_string(quasi),
                         "above the asymptote, behind", "the barrier"},
                        true});
    }
  }
  if (drawn_waves > 0) {
    legend.push_back({kWaveFunctionStroke,
                      {"wave functions ψ(R): " + std::to_string(drawn_waves),
                       "on their level lines, scaled", "to the level spacing"},
                      true});
  }
  add_finding_entries(legend, not_found_count, left_out, drawing.v_labels);
  legend.push_back(
      {kAsymptoteStroke,
       {"asymptote " + compact(curve.asymptote) + " cm-1",
        curve.asymptote_is_uinf ? "(Uinf of the potential file)"
                                : "(V at the grid end, R = " + compact(R_last) + " \xC3\x85)"},
       true});
  legend.push_back({Stroke{},
                    {"grid " + compact(R_first) + " to " + compact(R_last) + " \xC3\x85, " +
                     std::to_string(N) + " points"},
                    false});
  if (input.levels->unreadable > 0) {
    legend.push_back(
        {Stroke{},
         {std::to_string(input.levels->unreadable) + " level lines with ****", "values left out"},
         false});
  }
  draw_legend(svg, {layout.legend_left, frame.top + 14.0}, legend);
  return svg.finish();
}

std::string dunham_plot(const LevelPlotInput& input, const LevelDrawing& drawing,
                        std::optional<double> tolerance) {
  const PictureLayout layout = layout_of(drawing.size);
  const Frame& frame = layout.frame;
  int left_out = 0;
  const std::vector<LevelRecord> levels = drawn_levels(input, drawing, tolerance, left_out);
  if (levels.empty()) {
    throw InputError("velk-plot: " + input.levels->file_name +
                     ": no level lines; a Dunham state has no curve to draw without them");
  }
  double e_lo = levels.front().E, e_hi = levels.front().E;
  for (const LevelRecord& level : levels) {
    e_lo = std::min(e_lo, level.E);
    e_hi = std::max(e_hi, level.E);
  }
  const Range energy = padded(e_lo, e_hi, 0.05, 0.05);
  const Span J = J_span(levels);
  const Range rotation{J.lo - 1.0, J.hi + 1.0};

  const LinearMap x(rotation.lo, rotation.hi, frame.left, frame.right());
  const LinearMap y(energy.lo, energy.hi, frame.bottom(), frame.top);

  const std::string& name = input.data_file;
  SvgWriter svg(layout.width, layout.height, name);
  draw_titles(svg, layout.width, name,
              state_words(input.state_letter) + " (Dunham coefficients): the levels of " +
                  input.levels->file_name);
  svg.clip_rectangle("plot-area", frame);
  draw_axes(svg, frame, x, y, nice_ticks(rotation.lo, rotation.hi, 10, 1.0),
            nice_ticks(energy.lo, energy.hi, 8), {"J", "energy (cm-1)"});
  svg.open_group({{"class", "data"}, {"clip-path", "url(#plot-area)"}});
  constexpr double kHalfBar = 0.3;
  int not_found_count = 0;
  for (const LevelRecord& level : levels) {
    const double y_level = y(level.E);
    const std::string not_found = not_found_reason(level, tolerance);
    if (!not_found.empty()) ++not_found_count;
    draw_level(svg, {x(level.J - kHalfBar), y_level}, {x(level.J + kHalfBar), y_level}, level,
               not_found);
    if (drawing.v_labels) {
      draw_v_label(svg, x(level.J + kHalfBar), y_level, frame, level.v);
    }
  }
  svg.close_group();

  std::vector<LegendEntry> legend;
  legend.push_back(
      {level_stroke(false),
       {"levels of " + input.levels->file_name, levels_summary(levels), "each drawn at its J"},
       true});
  legend.push_back(
      {Stroke{},
       {"Dunham state: term values only,", "no potential curve and no", "turning points to show"},
       false});
  add_finding_entries(legend, not_found_count, left_out, drawing.v_labels);
  if (input.levels->unreadable > 0) {
    legend.push_back(
        {Stroke{},
         {std::to_string(input.levels->unreadable) + " level lines with ****", "values left out"},
         false});
  }
  draw_legend(svg, {layout.legend_left, frame.top + 14.0}, legend);
  return svg.finish();
}

}  // namespace

std::string description_title(std::string_view line, std::size_t max_characters) {
  std::string title;
  std::size_t characters = 0;
  for (std::size_t at = 0; at < line.size();) {
    if (characters == max_characters) return title + "...";
    const std::size_t length = utf8_length(line, at);
    if (length == 0) {
      title += '?';
      ++at;
    } else {
      title.append(line.substr(at, length));
      at += length;
    }
    ++characters;
  }
  return title;
}

bool level_not_found(const LevelRecord& level, std::optional<double> tolerance) {
  return !not_found_reason(level, tolerance).empty();
}

LevelFileData read_level_file(const std::string& path) {
  require_run_file(path, "run velk first");
  return read_level_listing(path, "velk-plot");
}

TurningPoints classical_turning_points(std::span<const double> V, double R0, double h, int N,
                                       double E, double centrifugal) {
  if (N < 1 || V.size() < static_cast<std::size_t>(N) + 1) {
    throw std::invalid_argument("velk-plot: the curve array cannot hold " + std::to_string(N) +
                                " points");
  }
  // U is formed point by point; the term is left out entirely when it is zero, so that a grid
  // point at R = 0 does not turn V into 0/0.
  const auto U = [&](int i) {
    if (centrifugal == 0.0) return V[i];
    const double R = grid_R(R0, h, i);
    return V[i] + centrifugal / (R * R);
  };
  int bottom = 0;
  for (int i = 2; i < N; ++i) {
    const double u = U(i);
    if (u < U(i - 1) && u < U(i + 1) && (bottom == 0 || u < U(bottom))) bottom = i;
  }
  if (bottom == 0) {
    bottom = 1;
    for (int i = 2; i <= N; ++i) {
      if (U(i) < U(bottom)) bottom = i;
    }
  }
  TurningPoints points;
  const double U_bottom = U(bottom);
  if (!(E > U_bottom)) {
    points.inner = points.outer = grid_R(R0, h, bottom);
    return points;
  }
  int i = bottom;
  while (i > 1 && U(i - 1) < E) --i;
  if (i == 1) {
    points.inner = grid_R(R0, h, 1);
  } else {
    const double above = U(i - 1), below = U(i);
    points.inner = grid_R(R0, h, i - 1) + h * (above - E) / (above - below);
    points.inner_found = true;
  }
  i = bottom;
  while (i < N && U(i + 1) < E) ++i;
  if (i == N) {
    points.outer = grid_R(R0, h, N);
  } else {
    const double below = U(i), above = U(i + 1);
    points.outer = grid_R(R0, h, i) + h * (E - below) / (above - below);
    points.outer_found = true;
  }
  return points;
}

PotentialCurve build_potential_curve(const StateInput& state) {
  const std::string file = trimmed_file_name(state.file);
  const std::string grid_of = "velk-plot: velk.inf: the grid of the state with data file " + file;
  switch (check_grid(state.Rmin, state.Rmax, state.N)) {
    case GridProblem::none:
      break;
    case GridProblem::too_many_points:
      throw StopRun("number of points must be less than 50000");
    case GridProblem::too_few_points:
      throw InputError(grid_of + " needs at least 2 points, N = " + std::to_string(state.N));
    case GridProblem::bad_limits:
      throw InputError(grid_of + " needs 0 < Rmin < Rmax, found " + compact(state.Rmin) + " to " +
                       compact(state.Rmax));
  }
  if (state.mass_index < 1 || state.mass_index > 5) {
    throw InputError("velk-plot: velk.inf: the mass index of the state with data file " + file +
                     " is " + std::to_string(state.mass_index) + "; it must be 1 to 5");
  }
  require_run_file(file, "the potential file named in velk.inf");
  const CurveDefinition definition = read_curve_definition(file);
  const PotentialHeader& header = definition.checked_header();

  const RadialGrid grid(state.Rmin, state.Rmax, state.N);
  PotentialCurve curve;
  curve.N = grid.N;
  curve.h = grid.h;
  curve.R0 = grid.R0;
  curve.Lambda = header.Lambda;
  curve.mu = header.masses[static_cast<std::size_t>(state.mass_index - 1)];
  curve.description = trim(header.description);
  curve.V.assign(static_cast<std::size_t>(state.N) + 1, 0.0);
  PotentialBuilder builder;
  BuildOptions options;
  // A failed extension fit is told, as the run's pause tells it, and the curve is drawn with
  // the values at hand; velk-plot never waits for an answer on standard input. The fit's report
  // is the run's potext.out, which velk-plot leaves as the run wrote it.
  options.on_failure = [](std::string_view message) { warn(message); };
  const double Uinf = builder.build(definition, curve.V, grid, options);
  curve.asymptote_is_uinf = Uinf != kUinfUnset;
  curve.asymptote = curve.asymptote_is_uinf ? Uinf : curve.V[static_cast<std::size_t>(curve.N)];
  return curve;
}

std::string level_plot_svg(const LevelPlotInput& input, const LevelDrawing& drawing,
                           std::optional<double> tolerance) {
  if (input.levels == nullptr) throw std::invalid_argument("velk-plot: no level file given");
  return input.curve == nullptr ? dunham_plot(input, drawing, tolerance)
                                : potential_plot(input, drawing, tolerance);
}

}  // namespace velk::plot
