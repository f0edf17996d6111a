#include "plot/residual_page.h"

#include <string_view>
#include <vector>

#include "plot/residual_page_sources.h"
#include "plot/residual_plot.h"

namespace velk::plot {
namespace {

void append_field(std::string& out, std::string_view name) {
  out += ',';
  append_json_string(out, name);
  out += ':';
}

void append_text(std::string& out, std::string_view name, std::string_view text) {
  append_field(out, name);
  append_json_string(out, text);
}

void append_value(std::string& out, std::string_view name, double value) {
  append_field(out, name);
  append_number(out, value);
}

std::string page_data(const ResidualTable& table) {
  const std::vector<ResidualGroup> groups = residual_groups(table);
  std::vector<std::size_t> group_of(table.rows.size());
  for (std::size_t k = 0; k < groups.size(); ++k) {
    for (const std::size_t r : groups[k].rows) group_of[r] = k;
  }
  std::string out;
  out.reserve(320 * table.rows.size() + 64 * groups.size() + 256);
  out += "{\"file\":";
  append_json_string(out, table.file_name);
  append_text(out, "x_label", residual_x_axis_label(table));
  append_value(out, "outlier_limit", kOutlierLimit);
  out += ",\"groups\":[";
  for (std::size_t k = 0; k < groups.size(); ++k) {
    out += k > 0 ? ",{\"label\":" : "{\"label\":";
    append_json_string(out, groups[k].label);
    append_text(out, "colour", group_colour(k));
    out += '}';
  }
  out += "],\"points\":[";
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const ResidualRow& row = table.rows[r];
    out += r > 0 ? ",{\"line\":" : "{\"line\":";
    append_number(out, row.line);
    append_value(out, "group", static_cast<double>(group_of[r]));
    append_value(out, "J", drawn_J(row));
    append_text(out, "upper_state", std::string(1, row.upper_state));
    append_value(out, "upper_v", row.upper_v);
    append_value(out, "upper_J", row.upper_J);
    append_text(out, "upper_p", row.upper_p);
    append_text(out, "lower_state", std::string(1, row.lower_state));
    append_value(out, "lower_v", row.lower_v);
    append_value(out, "lower_J", row.lower_J);
    append_text(out, "lower_p", row.lower_p);
    append_text(out, "series", row.series);
    append_text(out, "obs", row.observed);
    append_text(out, "calc", row.calc);
    append_value(out, "obs_minus_calc", row.obs_minus_calc);
    append_value(out, "normalised", row.normalised);
    append_text(out, "uncertainty", row.uncertainty);
    out += '}';
  }
  out += "]}";
  return out;
}

}  // namespace

std::string residual_page_html(const ResidualTable& table, const PageLibrary& library) {
  return interactive_page_html(
      {residual_page_sources::kStyle, residual_page_sources::kBody, residual_page_sources::kScript,
       table.file_name + ": normalised residuals of the fit", page_data(table)},
      library);
}

}  // namespace velk::plot
