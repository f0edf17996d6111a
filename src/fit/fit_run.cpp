#include "fit/fit_run.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

#include "fit/line_model.h"
#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/output_file.h"
#include "io/run_folder.h"
#include "run/control_file.h"
#include "run/dunham.h"

namespace velk::fit {
namespace {

FitState read_state(const StateInput& input, char letter) {
  FitState state;
  state.letter = letter;
  state.file = trimmed_file_name(input.file);
  state.mass_index = input.mass_index;
  if (input.kind == 'd') {
    state.dunham = read_dunham_file(state.file);
    state.form = state.dunham.dunham_form() ? StateForm::dunham : StateForm::band;
    return state;
  }
  if (input.mass_index < 1 || input.mass_index > 5) {
    throw InputError("velk-fit: velk.inf: the mass index of state " + std::string(1, letter) +
                     " must be 1 to 5");
  }
  if (check_grid(input.Rmin, input.Rmax, input.N) != GridProblem::none) {
    throw InputError("velk-fit: velk.inf: the grid of state " + std::string(1, letter) +
                     " is not 0 < Rmin < Rmax with 2 to 50000 points");
  }
  state.grid = RadialGrid(input.Rmin, input.Rmax, input.N);
  state.curve = read_curve_definition(input.file);
  switch (state.curve.representation()) {
    case Representation::mlj:
      state.form = StateForm::mlj;
      break;
    case Representation::analytic:
      state.form = StateForm::analytic;
      break;
    case Representation::pointwise:
      state.form = StateForm::pointwise;
      break;
  }
  return state;
}

}  // namespace

Isotopologue isotopologue_named(std::string_view name) {
  const IsotopologueLookup found = parse_isotopologue(name);
  if (!found.isotopologue) throw InputError("velk-fit: --isotopologue: " + found.error);
  return *found.isotopologue;
}

void use_isotopologue(FitState& state, std::string_view name) {
  const double mu = reduced_mass_of(isotopologue_named(name));
  if (!state.potential()) return;
  state.curve.header.header.masses[static_cast<std::size_t>(state.mass_index - 1)] = mu;
}

FitOutcome fit_observed_lines(std::vector<ObservedLine> observed, const FitRequest& request) {
  FitOutcome outcome;
  outcome.rows = std::move(observed);
  const std::vector<ObservedLine>& rows = outcome.rows;
  const RunControl control = read_control_file(request.control_file);
  FitModel model;
  model.states = {read_state(control.A, 'A'), read_state(control.B, 'B')};
  if (!request.isotopologue.empty()) {
    for (FitState& state : model.states) use_isotopologue(state, request.isotopologue);
  }
  std::vector<ParameterRef> free;
  for (const std::string& option : request.free) {
    for (ParameterRef& ref : parse_free_option(option, model)) {
      if (std::any_of(free.begin(), free.end(), [&](const ParameterRef& f) {
            return f.state == ref.state && f.name == ref.name;
          })) {
        throw InputError("velk-fit: --free " + option + ": " + ref.name + " is named twice");
      }
      free.push_back(ref);
    }
  }
  for (const ObservedLine& row : rows) {
    if (!row.series.empty() &&
        std::find(model.series.begin(), model.series.end(), row.series) == model.series.end()) {
      model.series.push_back(row.series);
    }
  }
  model.series_energy.assign(model.series.size(), 0.0);
  for (std::size_t k = 0; k < model.series.size(); ++k) {
    free.push_back({static_cast<int>(k), ParameterKind::series, 0, 0, model.series[k]});
  }
  if (rows.size() < free.size()) {
    throw InputError("velk-fit: " + request.data_name + ": " + std::to_string(rows.size()) +
                     " data for " + std::to_string(free.size()) +
                     " free parameters (series energies included): fewer data than parameters");
  }

  const LineModel lines(rows, free, {control.maxit, control.tol}, model, request.threads);
  // Every level the data name must exist at the start; each series starts at the mean of its
  // lines' upper energies.
  const Evaluation first = lines.evaluate(model, false);
  if (first.missing_level) {
    const ObservedLine& row = rows[static_cast<std::size_t>(first.missing_row)];
    throw InputError("velk-fit: " + request.data_name + ", line " + std::to_string(row.line) +
                     ": the level " + *first.missing_level + " does not exist");
  }
  for (std::size_t k = 0; k < model.series.size(); ++k) {
    double sum = 0.0;
    int count = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (rows[r].series != model.series[k]) continue;
      // calc = T - E_lower with T = 0 now, so obs - calc is the upper energy this line implies.
      sum += rows[r].wavenumber - first.calc(static_cast<Eigen::Index>(r));
      ++count;
    }
    model.series_energy[k] = sum / count;
  }

  const FitModel start = model;
  FitOptions options;
  options.max_iterations = request.max_iterations;
  options.robust = request.robust;
  FitResult result = run_fit(model, rows, free, lines, options);
  std::optional<RoundingResult> rounding;
  if (request.round && result.converged) {
    // The robust weights, once settled, are the uncertainties the rounding keeps σ̄ to.
    std::vector<ObservedLine> weighted = rows;
    for (std::size_t r = 0; r < rows.size() && result.weight.size() > 0; ++r) {
      weighted[r].uncertainty =
          rows[r].uncertainty / std::sqrt(result.weight(static_cast<Eigen::Index>(r)));
    }
    RoundingOptions round_options;
    round_options.fraction = *request.round;
    round_options.fit.max_iterations = request.max_iterations;
    round_options.limits = {control.maxit, control.tol};
    round_options.threads = request.threads;
    rounding = round_parameters(model, weighted, free, result, round_options);
    result = rounding->result;
  }

  std::vector<std::string> warnings;
  std::vector<FileText> files;
  for (const FitState& state : model.states) {
    if (std::none_of(files.begin(), files.end(),
                     [&](const FileText& f) { return f.name == state.file; })) {
      files.push_back(fitted_state_file(state, warnings));
    }
  }
  {
    const InputText control_text = read_input_text(request.control_file);
    FreeFormatReader in(control_text);
    FileText copy{"velk.inf", {}};
    while (const auto line = in.try_read_line()) copy.lines.push_back(*line);
    files.push_back(copy);
  }
  files.push_back(parameters_file(start, model, free, result));
  files.push_back(residuals_file(rows, result));
  files.push_back(
      report_file(request.data_name, rows, free, result, rounding ? &*rounding : nullptr));

  outcome.start = start;
  outcome.fitted = std::move(model);
  outcome.free = std::move(free);
  outcome.result = result;
  outcome.files = std::move(files);
  outcome.warnings = std::move(warnings);
  outcome.rounding = std::move(rounding);
  return outcome;
}

std::string non_convergence_message(const FitOutcome& outcome, int max_iterations) {
  const FitResult& result = outcome.result;
  const std::vector<ParameterRef>& free = outcome.free;
  // What moved most, relative to its start, says where the fit went astray.
  std::vector<std::pair<double, std::size_t>> moved;
  for (std::size_t j = 0; j < free.size(); ++j) {
    const auto i = static_cast<Eigen::Index>(j);
    const double scale = std::max(std::fabs(result.start(i)), 1e-300);
    moved.push_back({std::fabs(result.value(i) - result.start(i)) / scale, j});
  }
  std::sort(moved.rbegin(), moved.rend());
  std::string most;
  for (std::size_t n = 0; n < std::min<std::size_t>(3, moved.size()); ++n) {
    const std::size_t j = moved[n].second;
    const auto i = static_cast<Eigen::Index>(j);
    most += (n ? ", " : "") + free[j].name + " " + exact_text(result.start(i)) + " -> " +
            exact_text(result.value(i));
  }
  return "velk-fit: no convergence within " + std::to_string(max_iterations) +
         " iterations: last dimensionless standard deviation " + exact_text(result.sigma) +
         "; moved most: " + most;
}

// The files, written only once every one of them is formed.
void write_fit_files(const std::string& folder, const std::vector<FileText>& files) {
  std::error_code error;
  std::filesystem::create_directory(resolved_file_name(folder), error);
  if (!std::filesystem::is_directory(resolved_file_name(folder))) {
    throw InputError("velk-fit: cannot make the output folder " + folder);
  }
  for (const FileText& file : files) {
    OutputFile out(folder + "/" + file.name);
    for (const std::string& line : file.lines) out.line(line);
    out.close();
  }
}

}  // namespace velk::fit
