#include "fit/fit_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "io/free_format_reader.h"
#include "pec/curve_file_text.h"

namespace velk::fit {
namespace {

std::string fixed(double value, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
  return buffer;
}

// The first eight lines of the potential file, with line 1's count replaced.
std::vector<std::string> kept_header_lines(const FitState& state, int count) {
  const InputText text = read_input_text(state.file);
  FreeFormatReader in(text);
  std::vector<std::string> lines;
  for (int i = 0; i < 8; ++i) lines.push_back(in.try_read_line().value_or(""));
  std::string& first = lines[0];
  const auto start = first.find_first_not_of(" \t");
  const auto end = start == std::string::npos ? first.size() : first.find_first_of(" \t,", start);
  first = std::to_string(count) + (end == std::string::npos ? "" : first.substr(end));
  return lines;
}

void parity_block(const DunhamCoefficients& c, std::vector<std::string>& lines) {
  int m = 0;
  for (int i = 0; i < DunhamCoefficients::kParityTerms; ++i) {
    if (c.qtab[static_cast<std::size_t>(i)] != 0.0f) m = i + 1;
  }
  if (m == 0) {
    lines.insert(lines.end(), {"0", "0"});
    return;
  }
  lines.push_back(std::to_string(m));
  for (int i = 0; i < m; ++i) {
    lines.push_back(exact_text(static_cast<double>(c.qtab[static_cast<std::size_t>(i)])));
  }
}

}  // namespace

FileText fitted_state_file(const FitState& s, std::vector<std::string>& warnings) {
  FileText file{s.file, {}};
  auto& out = file.lines;
  if (s.potential() && s.Te != 0.0) {
    warnings.push_back("the fitted Te of state " + std::string(1, s.letter) + " (" +
                       exact_text(s.Te) + " cm-1) is not part of " + s.file +
                       ": velk's levels of the written curve lie that much lower");
  }
  switch (s.form) {
    case StateForm::mlj: {
      const auto& p = std::get<MljParameters>(s.curve.parameters);
      out = kept_header_lines(s, p.K + 1);
      const MljCurve curve{
          p.Re, {p.betak.begin(), p.betak.begin() + p.K + 1}, p.De, p.pLR, p.Cp, p.delta, p.Rx};
      const std::vector<std::string> body = mlj_body_lines(curve);
      out.insert(out.end(), body.begin(), body.end());
      break;
    }
    case StateForm::analytic: {
      const auto& p = std::get<AnalyticParameters>(s.curve.parameters);
      out = kept_header_lines(s, p.kmax + 1);
      AnalyticCurveFields curve;
      curve.Rm = p.Rm;
      curve.b = p.bpar;
      curve.a.assign(p.acoef.begin(), p.acoef.begin() + p.kmax + 1);
      curve.wall = {p.srtype, p.Asr, p.Bsr, p.Nsr};
      curve.Uinf = p.Uinf;
      for (int k = 1; k <= kLongRangeCapacity; ++k) {
        const double C = p.Clr[static_cast<std::size_t>(k)];
        if (C != 0.0 || k == p.mlr) curve.C[k] = C;
      }
      curve.Aex = p.Aex;
      curve.gex = p.gex;
      curve.bex = p.bex;
      curve.Ri = p.Ri;
      curve.Ro = p.Ro;
      const std::vector<std::string> body = analytic_body_lines(curve);
      out.insert(out.end(), body.begin(), body.end());
      break;
    }
    case StateForm::pointwise: {
      const InputText text = read_input_text(s.file);
      FreeFormatReader in(text);
      while (const auto line = in.try_read_line()) out.push_back(*line);
      break;
    }
    case StateForm::dunham: {
      const DunhamCoefficients& c = s.dunham;
      out = {"d", exact_text(c.mass_ratio), exact_text(c.dunham_lambda)};
      int last_l = -1;
      for (int l = 0; l < DunhamCoefficients::kColumns; ++l) {
        for (int k = 0; k < DunhamCoefficients::kRows; ++k) {
          if (c.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)] != 0.0) last_l = l;
        }
      }
      for (int l = 0; l <= std::max(last_l, 0); ++l) {
        int n = 0;
        for (int k = 0; k < DunhamCoefficients::kRows; ++k) {
          if (c.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)] != 0.0) n = k + 1;
        }
        if (l == 0) n = std::max(n, 1);  // Y(0,0) carries Te
        // A column of zeros is skipped by a negative count: a zero count would end the table.
        out.push_back(std::to_string(n == 0 ? -1 : n));
        for (int k = 0; k < n; ++k) {
          double y = c.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)];
          if (k == 0 && l == 0) y += s.Te;
          out.push_back(exact_text(y));
        }
      }
      out.insert(out.end(), {"0", "0"});
      parity_block(c, out);
      break;
    }
    case StateForm::band: {
      const DunhamCoefficients& c = s.dunham;
      out = {"b", exact_text(c.mass_ratio), exact_text(c.dunham_lambda)};
      std::vector<std::string> rows;
      for (int v = 0; v < DunhamCoefficients::kRows; ++v) {
        const auto& Y = c.Ytab[static_cast<std::size_t>(v)];
        if (std::all_of(Y.begin(), Y.begin() + 6, [](double y) { return y == 0.0; })) continue;
        rows.push_back(std::to_string(v) + " " + exact_text(Y[0] + s.Te) + " " + exact_text(Y[1]) +
                       " " + exact_text(-Y[2]) + " " + exact_text(Y[3]) + " " + exact_text(Y[4]) +
                       " " + exact_text(Y[5]));
      }
      out.push_back(std::to_string(rows.size()));
      out.insert(out.end(), rows.begin(), rows.end());
      parity_block(c, out);
      break;
    }
  }
  return file;
}

FileText parameters_file(const FitModel& start, const FitModel& fitted,
                         const std::vector<ParameterRef>& free, const FitResult& result) {
  FileText file{"fit_parameters.csv", {"state,name,start,value,uncertainty,free"}};
  auto free_index = [&](const ParameterRef& ref) -> int {
    for (std::size_t j = 0; j < free.size(); ++j) {
      if (free[j].kind == ref.kind && free[j].state == ref.state && free[j].name == ref.name) {
        return static_cast<int>(j);
      }
    }
    return -1;
  };
  for (int state = 0; state < 2; ++state) {
    std::vector<ParameterRef> refs = state_parameters(start, state);
    for (const ParameterRef& ref : free) {
      if (ref.kind != ParameterKind::series && ref.state == state &&
          std::none_of(refs.begin(), refs.end(),
                       [&](const ParameterRef& r) { return r.name == ref.name; })) {
        refs.push_back(ref);
      }
    }
    const std::string letter(1, fitted.states[static_cast<std::size_t>(state)].letter);
    for (const ParameterRef& ref : refs) {
      const int j = free_index(ref);
      file.lines.push_back(letter + "," + ref.name + "," + exact_text(get_parameter(start, ref)) +
                           "," + exact_text(get_parameter(fitted, ref)) + "," +
                           (j >= 0 ? exact_text(result.uncertainty(j)) : std::string()) + "," +
                           (j >= 0 ? "y" : "n"));
    }
  }
  for (std::size_t j = 0; j < free.size(); ++j) {
    if (free[j].kind != ParameterKind::series) continue;
    const auto i = static_cast<Eigen::Index>(j);
    file.lines.push_back("series," + free[j].name + "," + exact_text(result.start(i)) + "," +
                         exact_text(result.value(i)) + "," + exact_text(result.uncertainty(i)) +
                         ",y");
  }
  return file;
}

FileText residuals_file(const std::vector<ObservedLine>& rows, const FitResult& result) {
  const bool weighted = result.weight.size() > 0;
  FileText file{"fit_residuals.csv",
                {std::string(kDataColumns) + ",calc,obs_minus_calc,normalised" +
                 (weighted ? ",weight" : "")}};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const ObservedLine& row = rows[r];
    std::string line;
    for (const std::string& field : row.fields) line += field + ",";
    const double calc = result.calc(static_cast<Eigen::Index>(r));
    const double difference = row.wavenumber - calc;
    line +=
        fixed(calc, 6) + "," + fixed(difference, 6) + "," + fixed(difference / row.uncertainty, 4);
    if (weighted) line += "," + fixed(result.weight(static_cast<Eigen::Index>(r)), 6);
    file.lines.push_back(line);
  }
  return file;
}

FileText report_file(const std::string& data_file, const std::vector<ObservedLine>& rows,
                     const std::vector<ParameterRef>& free, const FitResult& result,
                     const RoundingResult* rounding) {
  FileText file{"fit_report.txt", {}};
  auto& out = file.lines;
  const auto P = static_cast<Eigen::Index>(free.size());
  out.push_back("velk-fit of " + data_file);
  out.push_back("data: " + std::to_string(rows.size()) +
                " lines, free parameters: " + std::to_string(P));
  out.push_back(std::string("method: ") +
                (result.linear ? "linear least squares (every free parameter enters linearly)"
                               : "Levenberg-Marquardt, Hellmann-Feynman derivatives"));
  out.push_back("iterations: " + std::to_string(result.iterations) +
                ", level computations: " + std::to_string(result.evaluations));
  out.push_back(std::string("converged: ") + (result.converged ? "yes" : "no"));
  out.push_back("dimensionless standard deviation: " + exact_text(result.sigma));
  out.push_back("");
  out.push_back("free parameters (value, uncertainty):");
  for (Eigen::Index j = 0; j < P; ++j) {
    const ParameterRef& ref = free[static_cast<std::size_t>(j)];
    const std::string state =
        ref.kind == ParameterKind::series ? "series" : std::string(1, ref.state == 0 ? 'A' : 'B');
    out.push_back("  " + std::to_string(j + 1) + "  " + state + " " + ref.name + "  " +
                  exact_text(result.value(j)) + "  " + exact_text(result.uncertainty(j)));
  }
  out.push_back("");
  out.push_back("correlation matrix (rows and columns numbered as above):");
  for (Eigen::Index i = 0; i < P; ++i) {
    std::string line = "  ";
    for (Eigen::Index j = 0; j <= i; ++j) line += fixed(result.correlation(i, j), 4) + " ";
    line.pop_back();
    out.push_back(line);
  }
  out.push_back("");
  out.push_back("outliers (|normalised residual| > 4):");
  int outliers = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const double normalised =
        (rows[r].wavenumber - result.calc(static_cast<Eigen::Index>(r))) / rows[r].uncertainty;
    if (!(std::fabs(normalised) > 4.0)) continue;
    ++outliers;
    out.push_back("  line " + std::to_string(rows[r].line) + " of " + data_file + ": " +
                  fixed(normalised, 2));
  }
  if (outliers == 0) out.push_back("  none");
  if (result.weight.size() > 0) {
    out.push_back("");
    out.push_back("robust weights 1/(uncertainty^2 + (obs - calc)^2/3), " +
                  std::to_string(result.reweightings) +
                  " passes; lines down-weighted below 1/4 (|obs - calc| > 3 uncertainties):");
    int down = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const double w = result.weight(static_cast<Eigen::Index>(r));
      if (!(w < 0.25)) continue;
      ++down;
      out.push_back("  line " + std::to_string(rows[r].line) + " of " + data_file + ": weight " +
                    fixed(w, 6));
    }
    if (down == 0) out.push_back("  none");
  }
  if (rounding) {
    out.push_back("");
    out.push_back("sequential rounding: dimensionless standard deviation " +
                  exact_text(rounding->sigma_before) + " before, " +
                  exact_text(rounding->sigma_after) + " after (degrees of freedom of the fit)");
    out.push_back(
        "  in the order rounded: parameter, significant digits, unrounded, rounded, "
        "dimensionless standard deviation after");
    for (const RoundingStep& step : rounding->steps) {
      const ParameterRef& ref = free[step.parameter];
      out.push_back("  " + std::string(1, ref.state == 0 ? 'A' : 'B') + " " + ref.name + "  " +
                    (step.digits > 16 ? std::string("not rounded") : std::to_string(step.digits)) +
                    "  " + exact_text(step.unrounded) + "  " + exact_text(step.rounded) + "  " +
                    exact_text(step.sigma));
    }
  }
  return file;
}

}  // namespace velk::fit
