// The residuals of a fit as velk-fit writes them (fit/fit_residuals.csv): the observed data's
// columns, then calc, obs_minus_calc and normalised, under a first line that names them so.
// Only what the picture draws is kept; a row that cannot be drawn stops the reading with the
// file, the line and the column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velk::plot {

inline constexpr std::string_view kResidualColumns =
    "upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,wavenumber,"
    "uncertainty,mass_index,series,calc,obs_minus_calc,normalised";

struct ResidualRow {
  int line = 0;  // of the file
  char upper_state = 'A';
  int upper_v = 0, upper_J = 0;
  char lower_state = '-';  // '-' for a term value, whose lower v and J are 0
  int lower_v = 0, lower_J = 0;
  std::string series;  // empty unless the line belongs to a fluorescence series
  // As the file has them, for the interactive page to show; an empty parity stays empty.
  std::string upper_p, lower_p, observed, uncertainty, calc;
  double obs_minus_calc = 0.0, normalised = 0.0;

  bool term_value() const { return lower_state == '-'; }
};

struct ResidualTable {
  std::string file_name;
  std::vector<ResidualRow> rows;
};

// Reads the file whole (regular files only, through io's InputText); a wrong column line, a row
// of the wrong field count, a state other than A, B (or - below), a quantum number that is not a
// whole number >= 0 or a residual that is not a finite number is an InputError
// "velk-plot: FILE, line N: expected ... in column NAME, found \"...\"". A file without rows has
// nothing to draw and is refused as well.
ResidualTable read_residual_table(const std::string& file_name);

}  // namespace velk::plot
