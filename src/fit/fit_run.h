// A whole fit: the observed rows, the states of a velk.inf and the free parameters in; the
// fitted model, the result and every output file, formed in memory, out. velk-fit and the Python
// module's velk.fit both make their fits here, so that the two give the same numbers and refuse
// the same inputs with the same messages.
#pragma once

#include <string>
#include <vector>

#include "fit/fit_files.h"
#include "fit/fit_model.h"
#include "fit/fit_solver.h"
#include "fit/observed_lines.h"

namespace velk::fit {

struct FitRequest {
  std::string data_name;          // the data as the messages name it
  std::vector<std::string> free;  // each the value of one --free option
  int max_iterations = 50;
  std::string control_file = "velk.inf";  // its state files are named relative to the run
};

struct FitOutcome {
  std::vector<ObservedLine> rows;
  FitModel start, fitted;
  std::vector<ParameterRef> free;  // series energies last
  FitResult result;
  std::vector<FileText> files;        // the outputs, formed whole
  std::vector<std::string> warnings;  // what the state files cannot hold
};

// Refused with an InputError (nothing computed beyond the first evaluation): a free parameter
// the form does not have or named twice, fewer data than free parameters, a row whose level does
// not exist at the start. A fit that does not converge comes back with result.converged false.
FitOutcome fit_observed_lines(std::vector<ObservedLine> rows, const FitRequest& request);

// "velk-fit: no convergence within N iterations: last dimensionless standard deviation S;
// moved most: ...", the three parameters that moved most from their start.
std::string non_convergence_message(const FitOutcome& outcome, int max_iterations);

// Writes each file into `folder` (made when missing) under a temporary name, renamed when whole.
void write_fit_files(const std::string& folder, const std::vector<FileText>& files);

}  // namespace velk::fit
