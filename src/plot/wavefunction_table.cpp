#include "plot/wavefunction_table.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <string_view>

#include "io/errors.h"
#include "plot/plot_files.h"

namespace velk::plot {
namespace {

// The cells of one CSV line; quoted cells may hold commas, a doubled quote stands for one.
std::vector<std::string> cells_of(std::string_view line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        cells.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cells.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

std::optional<int32_t> integer_after(std::string_view text, std::string_view key) {
  const std::size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  int32_t value = 0;
  const char* begin = text.data() + at + key.size();
  const auto result = std::from_chars(begin, text.data() + text.size(), value);
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace

const WaveFunctionColumn* WaveFunctionTable::find(int32_t v, int32_t J, int32_t p) const {
  for (const WaveFunctionColumn& column : columns) {
    if (column.v == v && column.J == J && (!column.p || *column.p == p)) return &column;
  }
  return nullptr;
}

WaveFunctionTable read_wavefunction_table(const std::string& path) {
  require_run_file(path, "velk-props writes it: run velk-props with --wavefunctions first");
  std::ifstream in(path);
  const auto fault = [&](int line, const std::string& what) {
    return InputError("velk-plot: " + path + ": line " + std::to_string(line) + ": " + what);
  };
  std::string line;
  if (!std::getline(in, line)) throw fault(1, "expected the header R,\"v=...,J=...\",...");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  WaveFunctionTable table;
  const std::vector<std::string> header = cells_of(line);
  if (header.empty() || header[0] != "R") throw fault(1, "expected the header to begin with R");
  for (std::size_t c = 1; c < header.size(); ++c) {
    const auto v = integer_after(header[c], "v=");
    const auto J = integer_after(header[c], "J=");
    if (!v || !J)
      throw fault(1, "expected a level name v=...,J=... in column " + std::to_string(c + 1) +
                         ", found '" + header[c] + "'");
    table.columns.push_back({*v, *J, integer_after(header[c], "p="), {}});
  }
  int number = 1;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::vector<std::string> cells = cells_of(line);
    if (cells.size() != header.size()) {
      throw fault(number, "expected " + std::to_string(header.size()) + " cells, found " +
                              std::to_string(cells.size()));
    }
    for (std::size_t c = 0; c < cells.size(); ++c) {
      double value = std::numeric_limits<double>::quiet_NaN();
      if (!cells[c].empty()) {
        const char* end = cells[c].data() + cells[c].size();
        const auto result = std::from_chars(cells[c].data(), end, value);
        if (result.ec != std::errc() || result.ptr != end) {
          throw fault(number, "expected a number in column " + std::to_string(c + 1) + ", found '" +
                                  cells[c] + "'");
        }
      } else if (c == 0) {
        throw fault(number, "expected a radius in column 1");
      }
      if (c == 0) {
        table.R.push_back(value);
      } else {
        table.columns[c - 1].psi.push_back(value);
      }
    }
  }
  return table;
}

}  // namespace velk::plot
