// The potential files of curves given by arrays or parameters, in the form the program's readers
// take, so that the program's own builders tabulate them and a run of velk on the written file
// gives the same numbers. Every real is written as the shortest decimal that reads back as the
// same double. Radii in Å, energies in cm-1, masses in u.
//
// A file is a list of lines without line ends: the eight header lines, then the body of its
// representation. Writers that explain their lines (velk-rkr) add notes after the values, which
// the reader skips; writers that keep a user's own header (velk-fit) take the body alone.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velk {

// The eight header lines shared by every representation.
struct HeaderFields {
  std::array<double, 5> masses{};  // reduced masses 1..5 (u); unused ones 0
  int Lambda = 0;
  double q1 = 0.0, q2 = 0.0;  // Lambda-doubling constants (cm-1), Par = 1 and the others
  std::string description;    // free-text line 6
  std::string remark;         // free-text line 7: who wrote the file, or the energy scale
};

// A parameter of the long-range extension or the exchange term and whether the fit adjusts it.
struct FitParameter {
  double value = 0.0;
  bool fitted = false;
};

struct ExchangeTerm {
  FitParameter amplitude;
  double alpha = 0.0, gamma = 0.0;
};

// The fitted long-range extension of a table of points: asymptote, C_k/R^k terms (k = 3..20)
// and an optional exchange term, fitted to the spline between Rfit1 and Rfit2.
struct PointsExtension {
  double Rfit1 = 0.0, Rfit2 = 0.0, rho = 0.0;
  FitParameter asymptote;
  std::map<int, FitParameter> dispersion;  // k -> C_k
  std::optional<ExchangeTerm> exchange;
};

struct PointsCurve {
  std::vector<double> R, U;
  double y2first = 0.0, y2last = 0.0;  // spline second derivatives at the ends (cm-1/Å²)
  std::optional<PointsExtension> extension;
};

struct MljCurve {
  double Re = 0.0;
  std::vector<double> beta;  // beta_0 .. beta_K
  double De = 0.0;
  int p = 0;
  double Cp = 0.0, delta = 0.0, Rx = 0.0;
};

struct AnalyticWall {
  int type = 1;  // 1: Asr + Bsr/R^Nsr, 2: Asr*exp(-Bsr*(R - Ri))
  double Asr = 0.0, Bsr = 0.0, Nsr = 0.0;
};

struct AnalyticCurveFields {
  double Rm = 0.0, b = 0.0;
  std::vector<double> a;  // a_0 .. a_n
  AnalyticWall wall;
  double Uinf = 0.0;
  std::map<int, double> C;  // k -> C_k, k = 1..20
  double Aex = 0.0, gex = 0.0, bex = 0.0;
  double Ri = 0.0, Ro = 0.0;
};

// Line 1 holds `count`, the points of a table or the terms of a series; line 8 the
// representation's code ("PW", "ML", "AN").
std::vector<std::string> header_lines(const HeaderFields& header, std::size_t count,
                                      const char* representation);

std::vector<std::string> pointwise_body_lines(const PointsCurve& curve);
std::vector<std::string> mlj_body_lines(const MljCurve& curve);
std::vector<std::string> analytic_body_lines(const AnalyticCurveFields& curve);

std::string pointwise_file_text(const HeaderFields& header, const PointsCurve& curve);
std::string mlj_file_text(const HeaderFields& header, const MljCurve& curve);
std::string analytic_file_text(const HeaderFields& header, const AnalyticCurveFields& curve);

// The lines joined, each ended by a line end.
std::string file_text(const std::vector<std::string>& lines);

// A note after a line's values, in the column where the notes of a file line up.
void add_note(std::string& line, const std::string& note);

}  // namespace velk
