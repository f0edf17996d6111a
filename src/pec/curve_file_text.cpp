#include "pec/curve_file_text.h"

#include <algorithm>

#include "io/formatted_output.h"

namespace velk {
namespace {

// Free text is one line: a line end inside it would shift every later record.
std::string one_line(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

std::string fitted_flag(const FitParameter& parameter) {
  return parameter.fitted ? "1" : "0";
}

}  // namespace

std::vector<std::string> header_lines(const HeaderFields& h, std::size_t count,
                                      const char* representation) {
  std::string masses;
  for (std::size_t i = 0; i < h.masses.size(); ++i) {
    masses += (i ? " " : "") + shortest_decimal(h.masses[i]);
  }
  return {std::to_string(count),    masses,
          std::to_string(h.Lambda), shortest_decimal(h.q1),
          shortest_decimal(h.q2),   one_line(h.description),
          one_line(h.remark),       representation};
}

std::vector<std::string> pointwise_body_lines(const PointsCurve& c) {
  std::vector<std::string> lines{shortest_decimal(c.y2first), shortest_decimal(c.y2last)};
  for (std::size_t i = 0; i < c.R.size(); ++i) {
    lines.push_back(shortest_decimal(c.R[i]) + ' ' + shortest_decimal(c.U[i]));
  }
  if (!c.extension) {
    lines.emplace_back("n");
    return lines;
  }
  const PointsExtension& e = *c.extension;
  lines.emplace_back("y");
  lines.push_back(shortest_decimal(e.Rfit1) + ' ' + shortest_decimal(e.Rfit2) + ' ' +
                  shortest_decimal(e.rho));
  lines.push_back(shortest_decimal(e.asymptote.value) + ' ' + fitted_flag(e.asymptote));
  lines.push_back(std::to_string(e.dispersion.size()));
  for (const auto& [k, C] : e.dispersion) {
    lines.push_back(std::to_string(k) + ' ' + shortest_decimal(C.value) + ' ' + fitted_flag(C));
  }
  if (!e.exchange) {
    lines.emplace_back("n");
    return lines;
  }
  lines.emplace_back("y");
  lines.push_back(shortest_decimal(e.exchange->amplitude.value) + ' ' +
                  fitted_flag(e.exchange->amplitude));
  lines.push_back(shortest_decimal(e.exchange->alpha));
  lines.push_back(shortest_decimal(e.exchange->gamma));
  return lines;
}

std::vector<std::string> mlj_body_lines(const MljCurve& c) {
  std::vector<std::string> lines{shortest_decimal(c.Re)};
  for (std::size_t k = 0; k < c.beta.size(); ++k) {
    lines.push_back(std::to_string(k) + ' ' + shortest_decimal(c.beta[k]));
  }
  lines.push_back(shortest_decimal(c.De));
  lines.push_back(std::to_string(c.p) + ' ' + shortest_decimal(c.Cp));
  lines.push_back(shortest_decimal(c.delta));
  lines.push_back(shortest_decimal(c.Rx));
  return lines;
}

std::vector<std::string> analytic_body_lines(const AnalyticCurveFields& c) {
  std::vector<std::string> lines{shortest_decimal(c.Rm), shortest_decimal(c.b)};
  for (std::size_t k = 0; k < c.a.size(); ++k) {
    lines.push_back(std::to_string(k) + ' ' + shortest_decimal(c.a[k]));
  }
  lines.push_back(std::to_string(c.wall.type));
  std::string wall = shortest_decimal(c.wall.Asr) + ' ' + shortest_decimal(c.wall.Bsr);
  if (c.wall.type == 1) wall += ' ' + shortest_decimal(c.wall.Nsr);
  lines.push_back(wall);
  lines.push_back(shortest_decimal(c.Uinf));
  lines.push_back(std::to_string(c.C.size()));
  for (const auto& [k, C] : c.C) lines.push_back(std::to_string(k) + ' ' + shortest_decimal(C));
  lines.push_back(shortest_decimal(c.Aex) + ' ' + shortest_decimal(c.gex) + ' ' +
                  shortest_decimal(c.bex));
  lines.push_back(shortest_decimal(c.Ri) + ' ' + shortest_decimal(c.Ro));
  return lines;
}

std::string file_text(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

namespace {

std::string whole_file(std::vector<std::string> header, const std::vector<std::string>& body) {
  header.insert(header.end(), body.begin(), body.end());
  return file_text(header);
}

}  // namespace

std::string pointwise_file_text(const HeaderFields& header, const PointsCurve& c) {
  return whole_file(header_lines(header, c.R.size(), "PW"), pointwise_body_lines(c));
}

std::string mlj_file_text(const HeaderFields& header, const MljCurve& c) {
  return whole_file(header_lines(header, c.beta.size(), "ML"), mlj_body_lines(c));
}

std::string analytic_file_text(const HeaderFields& header, const AnalyticCurveFields& c) {
  return whole_file(header_lines(header, c.a.size(), "AN"), analytic_body_lines(c));
}

void add_note(std::string& line, const std::string& note) {
  constexpr std::size_t kNoteColumn = 42;
  line.resize(std::max(line.size() + 1, kNoteColumn), ' ');
  line += note;
}

}  // namespace velk
