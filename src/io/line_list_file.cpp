#include "io/line_list_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/output_file.h"
#include "io/run_file_check.h"

namespace velk {
namespace {

std::vector<std::string> split_cells(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string> cells;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    std::string_view cell =
        line.substr(start, comma == std::string_view::npos ? line.npos : comma - start);
    while (!cell.empty() && cell.front() == ' ') cell.remove_prefix(1);
    while (!cell.empty() && cell.back() == ' ') cell.remove_suffix(1);
    cells.emplace_back(cell);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return cells;
}

// The largest magnitudes a row may hold besides the moment. A wavenumber is what vel_tran.out
// prints in F15.6; a Franck-Condon factor is at most 1 (a little more by rounding); an intensity
// an earlier call wrote is a finite double.
constexpr double kLargestWavenumber = 99999999.999999;
constexpr double kLargestFactor = 2.0;
constexpr double kLargestIntensity = 1e300;

bool is_added(const std::string& name) {
  return std::find(std::begin(kAddedColumns), std::end(kAddedColumns), name) !=
         std::end(kAddedColumns);
}

template <typename T>
std::optional<T> parse_number(const std::string& text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

}  // namespace

LineListFile read_line_list_file(const std::string& path, std::string_view program) {
  const std::string prefix = std::string(program) + ": " + path + ": ";
  require_run_file(program, path, "run velk-props transitions first");
  // The input layer's reader refuses what is not a regular file and stops at an endless line.
  FreeFormatReader in(path);
  LineListFile table;
  table.file_name = path;
  std::optional<std::string> next = in.try_read_line();
  if (!next) throw InputError(prefix + "line 1: expected the column names");
  std::string line = *next;
  const std::vector<std::string> all_columns = split_cells(line);
  std::vector<std::size_t> kept;
  for (std::size_t k = 0; k < all_columns.size(); ++k) {
    if (is_added(all_columns[k])) continue;
    kept.push_back(k);
    table.columns.push_back(all_columns[k]);
  }
  const auto column = [&](std::string_view name) {
    const auto at = std::find(all_columns.begin(), all_columns.end(), name);
    if (at == all_columns.end()) {
      throw InputError(prefix + "line 1: expected a column named " + std::string(name));
    }
    return static_cast<std::size_t>(at - all_columns.begin());
  };
  const std::size_t c_upper_v = column("upper_v"), c_upper_J = column("upper_J"),
                    c_upper_p = column("upper_p"), c_lower_v = column("lower_v"),
                    c_lower_J = column("lower_J"), c_lower_p = column("lower_p"),
                    c_nu = column("wavenumber"), c_FCF = column("FCF"), c_moment = column("moment");
  const auto optional_column = [&](std::string_view name) -> std::optional<std::size_t> {
    const auto at = std::find(all_columns.begin(), all_columns.end(), name);
    if (at == all_columns.end()) return std::nullopt;
    return static_cast<std::size_t>(at - all_columns.begin());
  };
  const std::optional<std::size_t> c_branch = optional_column("branch"),
                                   c_intensity = optional_column("intensity"),
                                   c_HL = optional_column("HL"),
                                   c_A_einstein = optional_column("A_einstein");
  int line_number = 1;
  while ((next = in.try_read_line())) {
    line = *next;
    ++line_number;
    if (line.empty() || line == "\r") continue;
    const std::vector<std::string> cells = split_cells(line);
    const std::string where = prefix + "line " + std::to_string(line_number) + ": ";
    if (cells.size() != all_columns.size()) {
      throw InputError(where + "expected " + std::to_string(all_columns.size()) + " cells, found " +
                       std::to_string(cells.size()));
    }
    const auto integer = [&](std::size_t k, bool may_be_empty) -> std::optional<int32_t> {
      if (may_be_empty && cells[k].empty()) return std::nullopt;
      const auto value = parse_number<int32_t>(cells[k]);
      if (!value) {
        throw InputError(where + "expected an integer " + all_columns[k] + ", found \"" + cells[k] +
                         "\"");
      }
      return value;
    };
    // A hand-edited nan, inf or 1e300 would reach the intensities and the profiles as a
    // number; velk writes finite values in F15.6 at most.
    const auto real = [&](std::size_t k, bool may_be_empty, double limit) -> std::optional<double> {
      if (may_be_empty && cells[k].empty()) return std::nullopt;
      const auto value = parse_number<double>(cells[k]);
      if (!value) {
        throw InputError(where + "expected a number " + all_columns[k] + ", found \"" + cells[k] +
                         "\"");
      }
      if (!std::isfinite(*value) || std::fabs(*value) > limit) {
        throw InputError(where + "expected a number " + all_columns[k] + " of magnitude at most " +
                         shortest_decimal(limit) + ", found \"" + cells[k] + "\"");
      }
      return value;
    };
    LineListRow row;
    row.upper_v = *integer(c_upper_v, false);
    row.upper_J = *integer(c_upper_J, false);
    row.upper_p = integer(c_upper_p, true);
    row.lower_v = *integer(c_lower_v, false);
    row.lower_J = *integer(c_lower_J, false);
    row.lower_p = integer(c_lower_p, true);
    row.wavenumber = *real(c_nu, false, kLargestWavenumber);
    row.FCF = real(c_FCF, true, kLargestFactor);
    row.moment = real(c_moment, true, kLargestMoment);
    if (c_branch) row.branch = cells[*c_branch];
    if (c_intensity) row.intensity = real(*c_intensity, true, kLargestIntensity);
    // Shown, never computed with, and replaced whenever the intensities are: a cell that is not a
    // finite number is shown as missing rather than refusing a list velk-props would rewrite.
    const auto shown = [&](std::optional<std::size_t> k) -> std::optional<double> {
      if (!k) return std::nullopt;
      const auto value = parse_number<double>(cells[*k]);
      return value && std::isfinite(*value) ? value : std::nullopt;
    };
    row.HL = shown(c_HL);
    row.A_einstein = shown(c_A_einstein);
    for (const std::size_t k : kept) row.cells.push_back(cells[k]);
    table.rows.push_back(std::move(row));
  }
  return table;
}

void write_line_list_file(const LineListFile& table, const std::vector<AddedCells>& added,
                          const std::string& path) {
  OutputFile out(path);
  std::string header;
  for (const std::string& name : table.columns) header += name + ",";
  header += "HL,intensity,A_einstein";
  out.line(header);
  const auto cell = [](const std::optional<double>& value) {
    return value ? shortest_decimal(*value) : std::string();
  };
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const AddedCells& extra = r < added.size() ? added[r] : AddedCells{};
    for (const std::optional<double>& value : {extra.HL, extra.intensity, extra.A_einstein}) {
      if (value && !std::isfinite(*value)) {
        throw InputError("velk: " + path + ": the row of line " + std::to_string(r + 2) +
                         " came out with a value that is not a finite number; nothing was "
                         "written");
      }
    }
  }
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    std::string text;
    for (const std::string& value : table.rows[r].cells) text += value + ",";
    const AddedCells& extra = r < added.size() ? added[r] : AddedCells{};
    text += cell(extra.HL) + "," + cell(extra.intensity) + "," + cell(extra.A_einstein);
    out.line(text);
  }
  out.close();
}

}  // namespace velk
