#include "curve_files.h"

#include <charconv>
#include <sstream>

namespace velk::python {
namespace {

// Free text is one line: a line end inside it would shift every later record.
std::string one_line(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

void write_header(std::ostringstream& out, const HeaderFields& h, std::size_t count,
                  const char* pectype) {
  out << count << '\n';
  for (std::size_t i = 0; i < h.masses.size(); ++i) out << (i ? " " : "") << real_text(h.masses[i]);
  out << '\n' << h.Lambda << '\n' << real_text(h.q1) << '\n' << real_text(h.q2) << '\n';
  out << one_line(h.description) << '\n';
  out << "written by the Python module velk\n";
  out << pectype << '\n';
}

}  // namespace

std::string real_text(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string pointwise_file_text(const HeaderFields& header, const PointsCurve& c) {
  std::ostringstream out;
  write_header(out, header, c.R.size(), "PW");
  out << real_text(c.y2first) << '\n' << real_text(c.y2last) << '\n';
  for (std::size_t i = 0; i < c.R.size(); ++i) {
    out << real_text(c.R[i]) << ' ' << real_text(c.U[i]) << '\n';
  }
  if (!c.extension) {
    out << "n\n";
    return out.str();
  }
  const PointsExtension& e = *c.extension;
  out << "y\n";
  out << real_text(e.Rfit1) << ' ' << real_text(e.Rfit2) << ' ' << real_text(e.rho) << '\n';
  out << real_text(e.asymptote.value) << ' ' << (e.asymptote.fitted ? 1 : 0) << '\n';
  out << e.dispersion.size() << '\n';
  for (const auto& [k, C] : e.dispersion) {
    out << k << ' ' << real_text(C.value) << ' ' << (C.fitted ? 1 : 0) << '\n';
  }
  if (!e.exchange) {
    out << "n\n";
    return out.str();
  }
  out << "y\n";
  out << real_text(e.exchange->amplitude.value) << ' ' << (e.exchange->amplitude.fitted ? 1 : 0)
      << '\n';
  out << real_text(e.exchange->alpha) << '\n' << real_text(e.exchange->gamma) << '\n';
  return out.str();
}

std::string mlj_file_text(const HeaderFields& header, const MljCurve& c) {
  std::ostringstream out;
  write_header(out, header, c.beta.size(), "ML");
  out << real_text(c.Re) << '\n';
  for (std::size_t k = 0; k < c.beta.size(); ++k) out << k << ' ' << real_text(c.beta[k]) << '\n';
  out << real_text(c.De) << '\n' << c.p << ' ' << real_text(c.Cp) << '\n';
  out << real_text(c.delta) << '\n' << real_text(c.Rx) << '\n';
  return out.str();
}

std::string analytic_file_text(const HeaderFields& header, const AnalyticCurveFields& c) {
  std::ostringstream out;
  write_header(out, header, c.a.size(), "AN");
  out << real_text(c.Rm) << '\n' << real_text(c.b) << '\n';
  for (std::size_t k = 0; k < c.a.size(); ++k) out << k << ' ' << real_text(c.a[k]) << '\n';
  out << c.wall.type << '\n' << real_text(c.wall.Asr) << ' ' << real_text(c.wall.Bsr);
  if (c.wall.type == 1) out << ' ' << real_text(c.wall.Nsr);
  out << '\n' << real_text(c.Uinf) << '\n' << c.C.size() << '\n';
  for (const auto& [k, C] : c.C) out << k << ' ' << real_text(C) << '\n';
  out << real_text(c.Aex) << ' ' << real_text(c.gex) << ' ' << real_text(c.bex) << '\n';
  out << real_text(c.Ri) << ' ' << real_text(c.Ro) << '\n';
  return out.str();
}

}  // namespace velk::python
