#include "plot/spectrum_page.h"

#include <optional>
#include <string_view>

#include "plot/spectrum_page_sources.h"

namespace velk::plot {
namespace {

template <typename Value>
void append_optional(std::string& out, const std::optional<Value>& value) {
  if (value) {
    append_number(out, static_cast<double>(*value));
  } else {
    out += "null";
  }
}

// One JSON array of a column of the line list, taken by `cell` from each row.
template <typename Cell>
void append_column(std::string& out, std::string_view name, const LineListFile& table, Cell cell) {
  append_json_string(out, name);
  out += ":[";
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    if (r > 0) out += ',';
    cell(out, table.rows[r]);
  }
  out += "]";
}

void append_curve(std::string& out, std::string_view name, const Curve* curve) {
  append_json_string(out, name);
  out += ':';
  if (curve == nullptr) {
    out += "null";
    return;
  }
  out += "{\"name\":";
  append_json_string(out, curve->file_name);
  for (const bool is_x : {true, false}) {
    out += is_x ? ",\"x\":[" : "],\"y\":[";
    for (std::size_t k = 0; k < curve->points.size(); ++k) {
      if (k > 0) out += ',';
      append_number(out, is_x ? curve->points[k].x : curve->points[k].y);
    }
  }
  out += "]}";
}

std::string page_data(const SpectrumPage& page) {
  const LineListFile& table = *page.lines;
  std::string out;
  const std::size_t points = (page.envelope ? page.envelope->points.size() : 0) +
                             (page.observed ? page.observed->points.size() : 0);
  out.reserve(64 * table.rows.size() + 48 * points + 256);
  out += "{\"lines\":{";
  std::size_t number = 0;
  append_column(out, "number", table, [&](std::string& o, const LineListRow&) {
    append_number(o, static_cast<double>(++number));
  });
  out += ',';
  append_column(out, "branch", table,
                [](std::string& o, const LineListRow& row) { append_json_string(o, row.branch); });
  const auto integer = [&](std::string_view name, int32_t LineListRow::*field) {
    out += ',';
    append_column(out, name, table, [field](std::string& o, const LineListRow& row) {
      append_number(o, row.*field);
    });
  };
  const auto optional = [&](std::string_view name, auto LineListRow::*field) {
    out += ',';
    append_column(out, name, table, [field](std::string& o, const LineListRow& row) {
      append_optional(o, row.*field);
    });
  };
  integer("upper_v", &LineListRow::upper_v);
  integer("upper_J", &LineListRow::upper_J);
  optional("upper_p", &LineListRow::upper_p);
  integer("lower_v", &LineListRow::lower_v);
  integer("lower_J", &LineListRow::lower_J);
  optional("lower_p", &LineListRow::lower_p);
  out += ',';
  append_column(out, "wavenumber", table,
                [](std::string& o, const LineListRow& row) { append_number(o, row.wavenumber); });
  optional("FCF", &LineListRow::FCF);
  optional("HL", &LineListRow::HL);
  optional("intensity", &LineListRow::intensity);
  optional("A_einstein", &LineListRow::A_einstein);
  out += "},";
  append_curve(out, "envelope", page.envelope);
  out += ',';
  append_curve(out, "observed", page.observed);
  out += "}";
  return out;
}

}  // namespace

std::string spectrum_page_html(const SpectrumPage& page, const PageLibrary& library) {
  return interactive_page_html({spectrum_page_sources::kStyle, spectrum_page_sources::kBody,
                                spectrum_page_sources::kScript, page.title, page_data(page)},
                               library);
}

}  // namespace velk::plot
