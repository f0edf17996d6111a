// Comma-separated tables that pandas, numpy and spreadsheet programs read without options.
//
// A header row, then one row per record. Numbers are printed as the shortest text that reads back
// as the same double (14657.42293, 0.15426520584617415, 5.869603e-07); a missing value is an empty
// cell; a cell holding a comma or a double quote is quoted, its quotes doubled. Lines end in "\n".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::props {

class CsvRow {
 public:
  CsvRow& text(std::string_view value);
  CsvRow& number(double value);  // a value that is not finite is left empty
  CsvRow& number(std::optional<double> value);
  CsvRow& integer(int64_t value);
  CsvRow& empty();
  const std::string& line() const { return line_; }

 private:
  void separate();
  std::string line_;
  bool first_ = true;
};

// The cell text of a number: its shortest round-trip text, or empty when it is not finite.
std::string csv_number(double value);

}  // namespace velk::props
