// The line list vel_tran.csv as velk-props writes it, read and written back with more columns.
//
// A header line of comma-separated column names, then one row per line with as many cells. The
// columns read here, by name wherever they stand: upper_v, upper_J, upper_p, lower_v, lower_J,
// lower_p, wavenumber (cm-1), FCF, moment (D). upper_p, lower_p, FCF and moment may be empty.
// The branch, intensity, HL and A_einstein columns are read when they are there (velk-plot
// draws and shows them).
// Every other column is kept as it stands. The columns HL, intensity and A_einstein that an
// earlier call added are replaced, so the command can be run again with other options.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

struct LineListRow {
  int32_t upper_v = 0, upper_J = 0, lower_v = 0, lower_J = 0;
  std::optional<int32_t> upper_p, lower_p;
  double wavenumber = 0.0;
  std::optional<double> FCF, moment;
  std::string branch;                    // the branch column as written, empty when there is none
  std::optional<double> intensity;       // from an intensity column an earlier call added
  std::optional<double> HL, A_einstein;  // likewise, for the interactive spectrum page
  std::vector<std::string> cells;        // the row as it stands, without the added columns
};

struct LineListFile {
  std::string file_name;
  std::vector<std::string> columns;  // without the added columns
  std::vector<LineListRow> rows;
};

inline constexpr std::string_view kAddedColumns[] = {"HL", "intensity", "A_einstein"};

// The largest transition moment (D) a line list or a moment table may hold: far beyond any
// molecule, and small enough that its square times the fourth power of the largest wavenumber
// velk writes still fits a double, so that no intensity overflows.
inline constexpr double kLargestMoment = 1e6;

// A missing file, a missing column, a row with another number of cells, a cell that is not a
// number where one is needed, or a number that is not finite or beyond what velk writes (a
// wavenumber over 1e8 cm-1, a moment over kLargestMoment) throws InputError "<program>: <file>:
// line N: ...".
LineListFile read_line_list_file(const std::string& path, std::string_view program);

// The values of the added columns of one row; an empty optional writes an empty cell.
struct AddedCells {
  std::optional<double> HL, intensity, A_einstein;
};

// Rewrites the table whole (replaced at once, as every output) with the added columns last. An
// added value that is not finite is an InputError, before anything is written.
void write_line_list_file(const LineListFile& table, const std::vector<AddedCells>& added,
                          const std::string& path);

}  // namespace velk
