#include "plot/interactive_page.h"

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <utility>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "plot/interactive_page_sources.h"

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

void append_number(std::string& out, double value) {
  out += shortest_decimal(value);
}

std::string interactive_page_html(const PageContent& content, const PageLibrary& library) {
  // The frame takes the page's own parts first: they are this program's sources, so the second
  // filling may search them; what comes from files and data is put in last and never searched.
  const std::string frame_style(interactive_page_sources::kStyle);
  const std::string page_style(content.style);
  const std::string page_body(content.body);
  const std::string page_template = filled(
      interactive_page_sources::kBody,
      {{"FRAME_STYLE", &frame_style}, {"PAGE_STYLE", &page_style}, {"PAGE_BODY", &page_body}});

  const std::string script = read_library_file(library.script, library);
  const std::string style = read_library_file(library.style, library);
  const std::string licence = html_escaped(read_library_file(library.licence, library));
  const std::string title = html_escaped(content.title);
  const std::string name = html_escaped(library.name);
  const std::string frame_script(interactive_page_sources::kScript);
  const std::string own_script(content.script);
  return filled(page_template, {{"TITLE", &title},
                                {"LIBRARY_STYLE", &style},
                                {"LIBRARY_SCRIPT", &script},
                                {"LIBRARY_NAME", &name},
                                {"LICENCE", &licence},
                                {"DATA", &content.data},
                                {"FRAME_SCRIPT", &frame_script},
                                {"PAGE_SCRIPT", &own_script}});
}

}  // namespace velk::plot
