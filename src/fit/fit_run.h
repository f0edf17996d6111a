// A whole fit: the observed rows, the states of a velk.inf and the free parameters in; the
// fitted model, the result and every output file, formed in memory, out. velk-fit and the Python
// module's velk.fit both make their fits here, so that the two give the same numbers and refuse
// the same inputs with the same messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fit/fit_files.h"
#include "fit/fit_model.h"
#include "fit/fit_rounding.h"
#include "fit/fit_solver.h"
#include "fit/observed_lines.h"
#include "numlib/isotopes.h"

namespace velk::fit {

struct FitRequest {
  std::string data_name;          // the data as the messages name it
  std::vector<std::string> free;  // each the value of one --free option
  int max_iterations = 50;
  std::string control_file = "velk.inf";  // its state files are named relative to the run
  std::string isotopologue;               // --isotopologue: empty keeps the files' masses
  bool robust = false;                    // --robust: Watson's weights
  std::optional<double> round;            // --round: the allowed rise of σ̄
  int threads = 1;                        // --threads: of the level computations
};

struct FitOutcome {
  std::vector<ObservedLine> rows;
  FitModel start, fitted;
  std::vector<ParameterRef> free;  // series energies last
  FitResult result;
  std::vector<FileText> files;        // the outputs, formed whole
  std::vector<std::string> warnings;  // what the state files cannot hold
  std::optional<RoundingResult> rounding;
};

// The isotopologue of --isotopologue; an unknown name is an InputError naming it.
Isotopologue isotopologue_named(std::string_view name);

// --isotopologue NAME: the molecule's reduced mass (u) in place of the header's mass at the
// state's mass index of velk.inf, which the rows without a mass_index (and those naming that
// same index) use. A Dunham state carries no mass and is left as it is. An unknown name is an
// InputError naming it.
void use_isotopologue(FitState& state, std::string_view name);

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
