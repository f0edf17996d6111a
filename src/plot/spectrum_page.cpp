#include "plot/spectrum_page.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string_view>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "plot/spectrum_page_sources.h"

namespace velk::plot {
namespace {

std::string read_library_file(const std::string& path, const PageLibrary& library) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw InputError("velk-plot: --html: " + path + ": no such file; the page inlines the " +
                     library.name + " charting library: install the Debian package " +
                     library.package);
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A source-map comment points a browser's developer tools at a file the page does not carry.
  std::string kept;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("//# sourceMappingURL=") || line.starts_with("/*# sourceMappingURL="))
      continue;
    kept += line + "\n";
  }
  return kept;
}

std::string html_escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// JSON inside a script element: '<' is escaped so that no text of a file can close the element.
void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '<' || byte < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  out += '"';
}

// The shortest text that reads back to the same double, as the CSV files have it.
void append_number(std::string& out, double value) {
  out += shortest_decimal(value);
}

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

// The template with each @NAME@ replaced; only the template is searched, never what is put in.
std::string filled(std::string_view text,
                   std::initializer_list<std::pair<std::string_view, const std::string*>> values) {
  std::string out;
  std::size_t at = 0;
  while (true) {
    const std::size_t open = text.find('@', at);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('@', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const std::string* value = nullptr;
    for (const auto& [key, replacement] : values) {
      if (key == name) value = replacement;
    }
    if (value == nullptr) {
      out += text.substr(at, close - at);
      at = close;
      continue;
    }
    out += text.substr(at, open - at);
    out += *value;
    at = close + 1;
  }
  out += text.substr(at);
  return out;
}

}  // namespace

std::string spectrum_page_html(const SpectrumPage& page, const PageLibrary& library) {
  const std::string script = read_library_file(library.script, library);
  const std::string style = read_library_file(library.style, library);
  const std::string licence = html_escaped(read_library_file(library.licence, library));
  const std::string title = html_escaped(page.title);
  const std::string name = html_escaped(library.name);
  const std::string data = page_data(page);
  const std::string own_script = page_sources::kScript;
  return filled(page_sources::kTemplate, {{"TITLE", &title},
                                          {"LIBRARY_STYLE", &style},
                                          {"LIBRARY_SCRIPT", &script},
                                          {"LIBRARY_NAME", &name},
                                          {"LICENCE", &licence},
                                          {"DATA", &data},
                                          {"PAGE_SCRIPT", &own_script}});
}

}  // namespace velk::plot
