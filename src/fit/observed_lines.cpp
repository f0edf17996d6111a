#include "fit/observed_lines.h"

#include <charconv>
#include <cmath>

#include "io/errors.h"
#include "io/free_format_reader.h"

namespace velk::fit {
namespace {

constexpr std::size_t kColumnCount = 12;

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  for (std::string& field : fields) {
    const auto first = field.find_first_not_of(" \t");
    const auto last = field.find_last_not_of(" \t");
    field = first == std::string::npos ? std::string() : field.substr(first, last - first + 1);
  }
  return fields;
}

class RowReader {
 public:
  RowReader(const std::string& file, int line, const std::vector<std::string>& fields)
      : file_(file), line_(line), fields_(fields) {}

  [[noreturn]] void fail(std::size_t column, std::string_view expected) const {
    const std::string names(kDataColumns);
    std::size_t begin = 0;
    for (std::size_t i = 0; i < column; ++i) begin = names.find(',', begin) + 1;
    const std::string name = names.substr(begin, names.find(',', begin) - begin);
    throw InputError("velk-fit: " + file_ + ", line " + std::to_string(line_) + ": expected " +
                     std::string(expected) + " in column " + name + ", found \"" + fields_[column] +
                     "\"");
  }
  char state(std::size_t column, bool may_be_none) const {
    const std::string& f = fields_[column];
    if (f == "A" || f == "B" || (may_be_none && f == "-")) return f[0];
    fail(column, may_be_none ? "a state A, B or -" : "a state A or B");
  }
  int32_t integer(std::size_t column, int32_t low, int32_t high) const {
    const std::string& f = fields_[column];
    int32_t value = 0;
    const auto [end, error] = std::from_chars(f.data(), f.data() + f.size(), value);
    if (f.empty() || error != std::errc() || end != f.data() + f.size() || value < low ||
        value > high) {
      fail(column, "an integer from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return value;
  }
  double real(std::size_t column, bool positive) const {
    const std::string& f = fields_[column];
    double value = 0.0;
    const auto [end, error] = std::from_chars(f.data(), f.data() + f.size(), value);
    if (f.empty() || error != std::errc() || end != f.data() + f.size() || !std::isfinite(value) ||
        (positive && !(value > 0.0))) {
      fail(column, positive ? "a positive number" : "a number");
    }
    return value;
  }
  const std::string& text(std::size_t column) const { return fields_[column]; }

 private:
  const std::string& file_;
  int line_;
  const std::vector<std::string>& fields_;
};

bool valid_series_name(const std::string& name) {
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '.' || c == '\'' || c == '"';
    if (!ok) return false;
  }
  return true;
}

ObservedLine read_row(const std::string& file, int line, std::vector<std::string> fields) {
  ObservedLine row;
  row.line = line;
  const RowReader in(file, line, fields);
  // Level indices: J and v beyond what a level file can hold are refused where they stand.
  constexpr int32_t kMaxQuantum = 46340;
  row.upper = {in.state(0, false), in.integer(1, 0, kMaxQuantum), in.integer(2, 0, kMaxQuantum),
               in.integer(3, 0, 2)};
  row.lower.state = in.state(4, true);
  if (row.lower.state == '-') {
    for (std::size_t c = 5; c <= 7; ++c) {
      if (!in.text(c).empty()) in.fail(c, "an empty field (a term value has no lower level)");
    }
  } else {
    row.lower.v = in.integer(5, 0, kMaxQuantum);
    row.lower.J = in.integer(6, 0, kMaxQuantum);
    row.lower.p = in.integer(7, 0, 2);
  }
  row.wavenumber = in.real(8, false);
  row.uncertainty = in.real(9, true);
  row.mass_index = in.text(10).empty() ? 0 : in.integer(10, 1, 5);
  row.series = in.text(11);
  if (!valid_series_name(row.series)) {
    in.fail(11, "a series name of letters, digits and _ - . ' \"");
  }
  if (!row.series.empty() && row.lower.state == '-') {
    in.fail(4, "a lower state A or B (a series is a set of lines from one upper level)");
  }
  row.fields = std::move(fields);
  return row;
}

// `file` names the data in the messages, as the caller was given it.
std::vector<ObservedLine> read_rows(const InputText& text, const std::string& file) {
  FreeFormatReader reader(text);
  std::vector<ObservedLine> rows;
  bool header_seen = false;
  while (const std::optional<std::string> line = reader.try_read_line()) {
    const int number = reader.line_number();
    const auto first = line->find_first_not_of(" \t\r");
    if (first == std::string::npos || (*line)[first] == '#') continue;
    std::vector<std::string> fields = split_fields(*line);
    if (!header_seen) {
      std::string joined;
      for (std::size_t i = 0; i < fields.size(); ++i) joined += (i ? "," : "") + fields[i];
      if (joined != kDataColumns) {
        throw InputError("velk-fit: " + file + ", line " + std::to_string(number) +
                         ": expected the column names " + std::string(kDataColumns));
      }
      header_seen = true;
      continue;
    }
    if (fields.size() != kColumnCount) {
      throw InputError("velk-fit: " + file + ", line " + std::to_string(number) + ": expected " +
                       std::to_string(kColumnCount) + " comma-separated fields, found " +
                       std::to_string(fields.size()));
    }
    rows.push_back(read_row(file, number, std::move(fields)));
  }
  if (rows.empty()) {
    throw InputError("velk-fit: " + file +
                     ": expected at least one data row after the column names");
  }
  return rows;
}

}  // namespace

std::vector<ObservedLine> read_observed_lines(std::string_view file_name) {
  return read_rows(read_input_text(file_name), std::string(file_name));
}

std::vector<ObservedLine> read_observed_lines(const InputText& text) {
  return read_rows(text, text.name);
}

}  // namespace velk::fit
