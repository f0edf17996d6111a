// The picture of one state: its potential curve on the run's grid with the computed levels of its
// level file drawn as horizontal lines between their classical turning points.
//
// Radii are in Å, energies in cm-1, masses in u. The curve is built by the program's own builders
// on the grid of velk.inf (N points, h = (Rmax - Rmin)/(N - 1), point i at R0 + i·h with
// R0 = Rmin - h; arrays 1-based, slot 0 unused), so the picture shows exactly the curve the
// levels were computed on. A level of rotational quantum number J sits in the effective curve
//
//   U(R) = V(R) + 16.85763130530976·(J(J+1) - Lambda²)/(mu·R²),
//
// with mu the reduced mass chosen by the state's mass index and Lambda from the potential file;
// its line runs between the crossings of U with its energy. The curve drawn is V itself (J = 0).
// A state given by Dunham coefficients has no curve: its levels are drawn as a term diagram
// against J instead. The title is the description line of the potential file (the data file's
// name when that line is blank, and for a Dunham state).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/level_file.h"
#include "io/state_records.h"
#include "numlib/constants.h"
#include "plot/picture_layout.h"
#include "plot/wavefunction_table.h"

namespace velk::plot {

// ħ²/(2 u) in cm-1·Å², the constant of the level solver's centrifugal term.
inline constexpr double kCentrifugalConstant = constants::kHbar2Over2u;

// A level line and a whole level file, as velk's own level-file reader gives them.
using LevelRecord = ListedLevel;
using LevelFileData = LevelListing;

// Reads a level file of either producer: six header lines, then one line per level beginning
// with iline, v, J, E and p (blanks, tabs or commas between them); anything after those five
// values is ignored except the marker "res." of a quasi-bound level. Blank lines are skipped. A
// missing file, a file shorter than its header or a level line whose first five values are not
// of those types throws InputError naming the file and the line.
LevelFileData read_level_file(const std::string& path);

// Classical turning points of energy E in U(R) = V(R) + centrifugal/R² (centrifugal in cm-1·Å²).
// The classically allowed region is the one around the lowest interior minimum of U (the lowest
// grid value when U has no interior minimum); each end is the crossing of U with E interpolated
// linearly between the two grid points that enclose it. An end without a crossing before the
// grid ends is reported at the grid end with its `found` flag false; a level at or below the
// bottom of U has both ends at the bottom, both flags false.
struct TurningPoints {
  double inner = 0.0, outer = 0.0;  // Å
  bool inner_found = false, outer_found = false;
};
TurningPoints classical_turning_points(std::span<const double> V, double R0, double h, int N,
                                       double E, double centrifugal);

// A state's curve on its grid.
struct PotentialCurve {
  std::vector<double> V;  // slots 1..N
  double R0 = 0.0, h = 0.0;
  int N = 0;
  double asymptote = 0.0;         // cm-1
  bool asymptote_is_uinf = true;  // false: the builder knew none and V(N) stands in for it
  int32_t Lambda = 0;
  double mu = 0.0;          // u, the mass chosen by the state's mass index
  std::string description;  // line 6 of the potential file, trimmed; the picture's title
};

// Reads the potential file once and builds the curve with the program's builders (they print
// their name lines on standard output; potext.out, the run's report of an extension fit, is left
// as it is). A grid that is not 0 < Rmin < Rmax with at least 2 points, a mass index
// outside 1..5 or a missing file throws InputError; more than 50000 points and the builders' own
// stops throw StopRun.
PotentialCurve build_potential_curve(const StateInput& state);

// A description line as a title: bytes that are not UTF-8 text (a Latin-1 "Å", a control
// character) become '?', so that the picture stays well-formed, and a line longer than
// `max_characters` characters is cut there and ends in "...".
std::string description_title(std::string_view line, std::size_t max_characters);

// A level the solver did not find: its last energy correction |Dcor| is above the run's
// tolerance, or its solution has another number of nodes than v. What the level line does not
// tell (a Dunham level, an unknown tolerance) does not count against it.
bool level_not_found(const LevelRecord& level, std::optional<double> tolerance);

// How to draw the levels: with their v written beside them, and whether levels not found are
// drawn dashed grey (the default) or left out.
struct LevelDrawing {
  bool v_labels = false;
  bool hide_not_found = false;
  PictureSize size;
};

struct LevelPlotInput {
  char state_letter = 'A';
  std::string data_file;                  // as velk.inf names it, trailing blanks removed
  const LevelFileData* levels = nullptr;  // required
  const PotentialCurve* curve = nullptr;  // nullptr: a Dunham state, drawn against J
  // With a table (velk-plot --wavefunctions), each level of a curve carries its ψ(R), drawn on
  // its level line and scaled so that its largest excursion is 0.45 of the distance to the
  // nearest other level.
  const WaveFunctionTable* wavefunctions = nullptr;
};

// The whole SVG picture. A potential state with a centrifugal term to add needs mu > 0
// (InputError otherwise); a Dunham state without levels has nothing to draw (InputError).
// `tolerance` is the run's energy tolerance (cm-1), when known.
std::string level_plot_svg(const LevelPlotInput& input, const LevelDrawing& drawing = {},
                           std::optional<double> tolerance = std::nullopt);

}  // namespace velk::plot
