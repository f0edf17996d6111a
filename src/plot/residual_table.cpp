#include "plot/residual_table.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "plot/plot_files.h"

namespace velk::plot {
namespace {

constexpr std::size_t kColumnCount = 15;

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) field = trim(field);
  return fields;
}

std::string column_name(std::size_t column) {
  const std::string_view names = kResidualColumns;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < column; ++i) begin = names.find(',', begin) + 1;
  return std::string(names.substr(begin, names.find(',', begin) - begin));
}

class FieldReader {
 public:
  FieldReader(const std::string& file, int line, const std::vector<std::string>& fields)
      : file_(file), line_(line), fields_(fields) {}

  [[noreturn]] void fail(std::size_t column, std::string_view expected) const {
    throw InputError(std::string(kProgram) + ": " + file_ + ", line " + std::to_string(line_) +
                     ": expected " + std::string(expected) + " in column " + column_name(column) +
                     ", found \"" + fields_[column] + "\"");
  }
  char state(std::size_t column, bool may_be_none) const {
    const std::string& f = fields_[column];
    if (f == "A" || f == "B" || (may_be_none && f == "-")) return f[0];
    fail(column, may_be_none ? "a state A, B or -" : "a state A or B");
  }
  int quantum(std::size_t column) const {
    const std::string& f = fields_[column];
    int32_t value = 0;
    const auto [end, error] = std::from_chars(f.data(), f.data() + f.size(), value);
    if (f.empty() || error != std::errc() || end != f.data() + f.size() || value < 0) {
      fail(column, "a whole number >= 0");
    }
    return value;
  }
  double real(std::size_t column) const {
    const std::string& f = fields_[column];
    double value = 0.0;
    const auto [end, error] = std::from_chars(f.data(), f.data() + f.size(), value);
    if (f.empty() || error != std::errc() || end != f.data() + f.size() || !std::isfinite(value)) {
      fail(column, "a finite number");
    }
    return value;
  }

 private:
  const std::string& file_;
  int line_;
  const std::vector<std::string>& fields_;
};

ResidualRow read_row(const std::string& file, int line, const std::vector<std::string>& fields) {
  const FieldReader in(file, line, fields);
  ResidualRow row;
  row.line = line;
  row.upper_state = in.state(0, false);
  row.upper_v = in.quantum(1);
  row.upper_J = in.quantum(2);
  row.lower_state = in.state(4, true);
  if (!row.term_value()) {
    row.lower_v = in.quantum(5);
    row.lower_J = in.quantum(6);
  }
  row.series = fields[11];
  row.upper_p = fields[3];
  row.lower_p = fields[7];
  row.observed = fields[8];
  row.uncertainty = fields[9];
  row.calc = fields[12];
  row.obs_minus_calc = in.real(13);
  row.normalised = in.real(14);
  return row;
}

}  // namespace

ResidualTable read_residual_table(const std::string& file_name) {
  const InputText text = read_input_text(file_name);
  FreeFormatReader reader(text);
  ResidualTable table;
  table.file_name = file_name;
  const std::string where = std::string(kProgram) + ": " + file_name + ", line ";
  bool header_seen = false, weighted = false;
  while (const std::optional<std::string> line = reader.try_read_line()) {
    const int number = reader.line_number();
    const std::string content = trim(*line);
    if (content.empty() || content.front() == '#') continue;
    const std::vector<std::string> fields = split_fields(content);
    if (!header_seen) {
      std::string joined;
      for (std::size_t i = 0; i < fields.size(); ++i) joined += (i ? "," : "") + fields[i];
      // A robust fit adds each line's weight as a last column, which the picture does not use.
      weighted = joined == std::string(kResidualColumns) + ",weight";
      if (joined != kResidualColumns && !weighted) {
        throw InputError(where + std::to_string(number) + ": expected the column names " +
                         std::string(kResidualColumns) +
                         " (the fit_residuals.csv of velk-fit, with weight last after --robust)");
      }
      header_seen = true;
      continue;
    }
    const std::size_t count = kColumnCount + (weighted ? 1 : 0);
    if (fields.size() != count) {
      throw InputError(where + std::to_string(number) + ": expected " + std::to_string(count) +
                       " comma-separated fields, found " + std::to_string(fields.size()));
    }
    table.rows.push_back(read_row(file_name, number, fields));
  }
  if (table.rows.empty()) {
    throw InputError(std::string(kProgram) + ": " + file_name +
                     ": expected at least one row of residuals after the column names");
  }
  return table;
}

}  // namespace velk::plot
