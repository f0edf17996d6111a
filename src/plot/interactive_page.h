// What the interactive pages of velk-plot (spectrum.html, residuals.html) share: the charting
// library read from its Debian package and inlined with its licence, the escaping of texts put
// into HTML and into JSON inside a script element, and the filling of a page's template.
#pragma once

#include <string>
#include <string_view>

namespace velk::plot {

// Where the charting library is read when a page is written. dygraphs draws on a canvas and
// has zoom, pan and a second axis built in; its plotters let a page draw each view from the
// full data with one stroke per pixel column (see spectrum_page.js).
struct PageLibrary {
  std::string name = "dygraphs";
  std::string package = "libjs-dygraphs";  // the Debian package that installs it
  std::string script = "/usr/share/javascript/dygraphs/dygraph.min.js";
  std::string style = "/usr/share/javascript/dygraphs/dygraph.min.css";
  std::string licence = "/usr/share/doc/libjs-dygraphs/copyright";
};

// What a page puts into the frame both pages share (the title, the self-test's report, the data,
// the library and its licence, the script of interactive_page.js).
struct PageContent {
  std::string_view style;  // the page's own rules of the style sheet
  std::string_view body;   // what stands between the title and the self-test's report
  std::string_view script;
  std::string title;  // plain text: escaped here
  std::string data;   // JSON, built with append_json_string and append_number
};

// The whole page. A missing library file is an InputError naming the file and the package to
// install: a page without its library would have to fetch one.
std::string interactive_page_html(const PageContent& content, const PageLibrary& library);

std::string html_escaped(std::string_view text);

// JSON inside a script element: '<' is escaped so that no text of a file can close the element.
void append_json_string(std::string& out, std::string_view text);

// The shortest text that reads back to the same double, as the CSV files have it.
void append_number(std::string& out, double value);

}  // namespace velk::plot
