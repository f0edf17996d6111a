#include "fit/fit_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>

#include "fit/fit_files.h"
#include "fit/fit_model.h"
#include "fit/fit_rounding.h"
#include "fit/fit_solver.h"
#include "fit/line_model.h"
#include "fit/observed_lines.h"
#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/output_file.h"
#include "io/warning.h"
#include "numlib/failure_policy.h"
#include "numlib/isotopes.h"
#include "run/control_file.h"
#include "run/dunham.h"

#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk::fit {
namespace {

constexpr std::string_view kPrefix = "velk-fit: ";

void say(std::string_view text) {
  std::cout << text << '\n';
}

void print_help() {
  say("usage: velk-fit DATA.csv --free STATE:NAMES [--free ...] [--max-iterations N] [--out DIR]");
  say("                [--round [FRACTION]] [--robust]");
  say("  fits the parameters named by --free (such as A:beta0-beta13,De or B:Y(1,0),Y(2,0))");
  say("  to the observed lines of DATA.csv, in a working directory with a velk.inf; every");
  say("  parameter not named is held, and each fluorescence series' upper level is fitted.");
  say("options:");
  say("  --free S:NAMES     free parameters of state S (A or B), comma-separated; ranges");
  say("                     such as beta0-beta13; Te shifts the whole state");
  say("  --max-iterations N iteration limit of Levenberg-Marquardt (default 50)");
  say("  --out DIR          the folder of the outputs (default fit)");
  say("  --isotopologue NAME  the reduced mass of a molecule such as 23Na2 or 1H35Cl in place");
  say("                     of the curves' mass of velk.inf's mass index");
  say("  --round [F]        round the free parameters one at a time, least determined first,");
  say("                     to the fewest digits that raise the dimensionless standard");
  say("                     deviation by less than the fraction F (default 0.001), refitting");
  say("                     the others after each step");
  say("  --robust           Watson's robust weights 1/(u^2 + (obs - calc)^2/3), iterated");
  say("  -h, --help         this text;  --version  the version");
  say("exit status: 0 fitted, 1 no convergence, 2 bad arguments or input (nothing written).");
  say("The guide is docs/fit.md in the sources, installed as share/doc/velk/fit.md.");
}

struct Request {
  std::string data;
  std::vector<std::string> free;
  int max_iterations = 50;
  std::string out = "fit";
  std::string isotopologue;
  bool help = false, version = false;
  bool robust = false;
  std::optional<double> round;  // the allowed rise of σ̄, when rounding
};

Isotopologue isotopologue_named(std::string_view name) {
  const IsotopologueLookup found = parse_isotopologue(name);
  if (!found.isotopologue) throw InputError("velk-fit: --isotopologue: " + found.error);
  return *found.isotopologue;
}

constexpr double kDefaultRoundingFraction = 0.001;

std::optional<double> positive_number(const std::string& text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value > 0.0) ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

Request parse_arguments(const std::vector<std::string>& arguments) {
  Request request;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= arguments.size()) throw InputError("velk-fit: " + a + " needs a value");
      return arguments[++i];
    };
    if (a == "-h" || a == "--help") {
      request.help = true;
    } else if (a == "--version") {
      request.version = true;
    } else if (a == "--free") {
      request.free.push_back(value());
    } else if (a == "--isotopologue") {
      request.isotopologue = value();
      isotopologue_named(request.isotopologue);
    } else if (a == "--robust") {
      request.robust = true;
    } else if (a == "--round") {
      // The fraction is optional: a following argument that is not a number is the next one's.
      request.round = kDefaultRoundingFraction;
      if (i + 1 < arguments.size() && !arguments[i + 1].starts_with("-")) {
        const std::string& text = arguments[i + 1];
        const bool numeric = text.find_first_not_of("0123456789.eE+-") == std::string::npos;
        if (numeric) {
          const auto fraction = positive_number(text);
          if (!fraction || *fraction >= 1.0) {
            throw InputError("velk-fit: --round: expected a fraction between 0 and 1, found \"" +
                             text + "\"");
          }
          request.round = *fraction;
          ++i;
        }
      }
    } else if (a == "--out") {
      request.out = value();
    } else if (a == "--max-iterations") {
      const std::string& text = value();
      int n = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
      if (error != std::errc() || end != text.data() + text.size() || n < 1) {
        throw InputError("velk-fit: --max-iterations: expected a positive integer, found \"" +
                         text + "\"");
      }
      request.max_iterations = n;
    } else if (a.starts_with("-")) {
      throw InputError("velk-fit: unknown option " + a);
    } else if (request.data.empty()) {
      request.data = a;
    } else {
      throw InputError("velk-fit: one data file only; found " + request.data + " and " + a);
    }
  }
  if (request.help || request.version) return request;
  if (request.data.empty())
    throw InputError("velk-fit: name the data file (velk-fit DATA.csv --free ...)");
  if (request.free.empty()) throw InputError("velk-fit: name the free parameters with --free");
  return request;
}

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

// The files, written only once every one of them is formed.
void write_outputs(const std::string& folder, const std::vector<FileText>& files) {
  std::error_code error;
  std::filesystem::create_directory(folder, error);
  if (!std::filesystem::is_directory(folder)) {
    throw InputError("velk-fit: cannot make the output folder " + folder);
  }
  for (const FileText& file : files) {
    OutputFile out(folder + "/" + file.name);
    for (const std::string& line : file.lines) out.line(line);
    out.close();
  }
}

int fit(const Request& request) {
  const std::vector<ObservedLine> rows = read_observed_lines(request.data);
  const RunControl control = read_control_file("velk.inf");
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
    throw InputError("velk-fit: " + request.data + ": " + std::to_string(rows.size()) +
                     " data for " + std::to_string(free.size()) +
                     " free parameters (series energies included): fewer data than parameters");
  }

  const LineModel lines(rows, free, {control.maxit, control.tol}, model);
  // Every level the data name must exist at the start; each series starts at the mean of its
  // lines' upper energies.
  const Evaluation first = lines.evaluate(model, false);
  if (first.missing_level) {
    const ObservedLine& row = rows[static_cast<std::size_t>(first.missing_row)];
    throw InputError("velk-fit: " + request.data + ", line " + std::to_string(row.line) +
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
    const InputText control_text = read_input_text("velk.inf");
    FreeFormatReader in(control_text);
    FileText copy{"velk.inf", {}};
    while (const auto line = in.try_read_line()) copy.lines.push_back(*line);
    files.push_back(copy);
  }
  files.push_back(parameters_file(start, model, free, result));
  files.push_back(residuals_file(rows, result));
  files.push_back(report_file(request.data, rows, free, result, rounding ? &*rounding : nullptr));

  if (!result.converged) {
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
    say("velk-fit: no convergence within " + std::to_string(request.max_iterations) +
        " iterations: last dimensionless standard deviation " + exact_text(result.sigma) +
        "; moved most: " + most);
    return 1;
  }
  write_outputs(request.out, files);
  for (const std::string& w : warnings) std::cerr << "velk-fit: warning: " << w << '\n';
  say("velk-fit: " + std::to_string(rows.size()) + " lines, " + std::to_string(free.size()) +
      " free parameters, " + std::to_string(result.iterations) +
      " iterations, dimensionless standard deviation " + exact_text(result.sigma));
  say("velk-fit: written to " + request.out + "/");
  return 0;
}

}  // namespace

void use_isotopologue(FitState& state, std::string_view name) {
  const double mu = reduced_mass_of(isotopologue_named(name));
  if (!state.potential()) return;
  state.curve.header.header.masses[static_cast<std::size_t>(state.mass_index - 1)] = mu;
}

int run_velk_fit(const std::vector<std::string>& arguments) {
  set_warning_program("velk-fit");
  // The builders' and the level service's progress lines are not this program's output.
  set_console_quiet(true);
  return ending_status<NumericalFailure>({kPrefix, say}, [&] {
    const Request request = parse_arguments(arguments);
    if (request.help) {
      print_help();
      return 0;
    }
    if (request.version) {
      say(std::string("velk-fit ") + VELK_VERSION);
      return 0;
    }
    return fit(request);
  });
}

}  // namespace velk::fit
