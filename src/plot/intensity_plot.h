// The picture of a simulated spectrum: the lines of vel_tran.csv with the intensities that
// velk-props spectrum added, as sticks scaled by intensity and coloured by branch, the convolved
// envelope of spectrum.csv over them, P/Q/R(J'') labels on the strongest lines, and optionally a
// measured spectrum for comparison.
//
// The sticks are drawn relative to the strongest line and the envelope relative to its own peak,
// both on one axis from 0 to 1: a stick gives the line's integrated intensity, the envelope the
// intensity per cm-1, and the two have different units. A measured spectrum is scaled so that
// its highest point within the drawn range stands at the envelope's peak (the strongest
// simulated peak), or at the strongest stick when there is no envelope.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot/picture_layout.h"
#include "plot/spectrum_plot.h"
#include "plot/svg_writer.h"

namespace velk::plot {

struct IntensityLine {
  int32_t v_upper = 0, J_upper = 0, v_lower = 0, J_lower = 0;
  double nu = 0.0;         // cm-1
  double intensity = 0.0;  // as written, any positive unit
};

struct IntensityLines {
  std::string file_name;
  std::vector<IntensityLine> lines;  // those with a positive intensity
};

// The lines of vel_tran.csv that carry an intensity; nothing when the file is missing or no line
// has one (the picture then falls back to the wavenumber chart of vel_tran.out). A malformed
// file throws InputError naming file and line.
std::optional<IntensityLines> read_intensity_lines(const std::string& path = "vel_tran.csv");

// A curve of (wavenumber, value) pairs.
struct Curve {
  std::string file_name;
  std::vector<Point> points;  // x: cm-1
};

// Two numbers per line (blanks, tabs, commas or semicolons between them; more columns are
// ignored). Empty lines and lines starting with '#' are passed over, and a first line of words
// (a CSV header such as "wavenumber,intensity") too. A missing file, a line without two
// numbers, or a file without points throws InputError naming the file and the line.
Curve read_two_column_file(const std::string& path);

struct IntensityPicture {
  const IntensityLines* lines = nullptr;
  const TransitionFileData* transitions = nullptr;  // vel_tran.out for the subtitle, or none
  const Curve* envelope = nullptr;                  // spectrum.csv, or none
  const Curve* observed = nullptr;                  // --observed FILE, or none
};

std::string intensity_plot_svg(const IntensityPicture& picture, PictureSize size = {});

}  // namespace velk::plot
