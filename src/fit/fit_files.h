// The files of a fit, formed whole in memory before any is written: the fitted state files in
// the program's own formats under their own names (with velk.inf, so that velk runs in the folder
// at once), fit_parameters.csv, fit_residuals.csv and fit_report.txt.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "fit/fit_model.h"
#include "fit/fit_rounding.h"
#include "fit/fit_solver.h"
#include "fit/observed_lines.h"
#include "io/formatted_output.h"

namespace velk::fit {

struct FileText {
  std::string name;  // within the output folder
  std::vector<std::string> lines;
};

// The state's file with the fitted values. A potential file keeps its header's text lines; a
// Dunham or band-constant file takes Te into Y(0,0) or each T<v>. `warnings` receives what the
// file cannot hold (the Te of a curve).
FileText fitted_state_file(const FitState& state, std::vector<std::string>& warnings);

FileText parameters_file(const FitModel& start, const FitModel& fitted,
                         const std::vector<ParameterRef>& free, const FitResult& result);
// With robust weights (result.weight not empty) a last column `weight` gives each line's.
FileText residuals_file(const std::vector<ObservedLine>& rows, const FitResult& result);
// `rounding`, when given, adds each rounded parameter's digits and σ̄ before and after.
FileText report_file(const std::string& data_file, const std::vector<ObservedLine>& rows,
                     const std::vector<ParameterRef>& free, const FitResult& result,
                     const RoundingResult* rounding = nullptr);

// A real that reads back to the same double.
inline std::string exact_text(double value) {
  return shortest_decimal(value);
}

}  // namespace velk::fit
