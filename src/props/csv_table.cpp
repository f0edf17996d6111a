#include "props/csv_table.h"

#include <cmath>

#include "io/formatted_output.h"

namespace velk::props {

std::string csv_number(double value) {
  if (!std::isfinite(value)) return {};
  return shortest_decimal(value);
}

void CsvRow::separate() {
  if (!first_) line_ += ',';
  first_ = false;
}

CsvRow& CsvRow::text(std::string_view value) {
  separate();
  if (value.find_first_of(",\"\n\r") == std::string_view::npos) {
    line_ += value;
    return *this;
  }
  line_ += '"';
  for (const char c : value) {
    if (c == '"') line_ += '"';
    line_ += c;
  }
  line_ += '"';
  return *this;
}

CsvRow& CsvRow::number(double value) {
  separate();
  line_ += csv_number(value);
  return *this;
}

CsvRow& CsvRow::number(std::optional<double> value) {
  return value ? number(*value) : empty();
}

CsvRow& CsvRow::integer(int64_t value) {
  separate();
  line_ += std::to_string(value);
  return *this;
}

CsvRow& CsvRow::empty() {
  separate();
  return *this;
}

}  // namespace velk::props
