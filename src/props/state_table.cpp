#include "props/state_table.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "io/errors.h"
#include "io/level_file.h"
#include "io/output_file.h"
#include "props/csv_table.h"
#include "props/level_figures.h"
#include "props/level_properties.h"
#include "props/props_files.h"
#include "props/rotational_perturbation.h"
#include "props/run_inputs.h"
#include "props/state_levels.h"

namespace velk::props {
namespace {

// The level file prints energies with five decimals.
constexpr double kPrintedHalfDigit = 0.5e-5;

std::string stem_of(const std::string& level_file) {
  const std::size_t slash = level_file.find_last_of('/');
  const std::size_t dot = level_file.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    return level_file.substr(0, dot);
  }
  return level_file;
}
struct StateRow {
  SolvedLevel level;
  LevelFigures figures;
};

std::string state_row(const ListedLevel& listed, const StateRow* row) {
  CsvRow csv;
  csv.integer(listed.v).integer(listed.J).integer(listed.p);
  if (!row) {
    csv.empty().integer(0);
    for (int i = 0; i < 9; ++i) csv.empty();
  } else {
    const SolvedLevel& l = row->level;
    const LevelFigures& f = row->figures;
    csv.number(l.E).integer(1).number(f.turning.inner).number(f.turning.outer);
    csv.number(f.expectations.R_mean)
        .number(f.expectations.R2_mean)
        .number(f.expectations.Rinv2_mean)
        .number(f.expectations.Bv);
    if (f.distortion) {
      csv.number(f.distortion->Dv).number(f.distortion->Hv);
    } else {
      csv.empty().empty();
    }
    csv.number(l.tunnel);
  }
  csv.number(listed.E);
  return csv.line();
}

void write_wavefunctions(const std::string& name, const RadialGrid& grid,
                         const std::vector<ListedLevel>& listed,
                         const std::vector<std::vector<double>>& waves) {
  bool parities = false;
  for (const ListedLevel& l : listed) parities = parities || l.p != listed.front().p;
  OutputFile out(name);
  CsvRow header;
  header.text("R");
  for (const ListedLevel& l : listed) {
    std::string column = "v=" + std::to_string(l.v) + ",J=" + std::to_string(l.J);
    if (parities) column += ",p=" + std::to_string(l.p);
    header.text(column);
  }
  out.line(header.line());
  for (int i = 1; i <= grid.N; ++i) {
    CsvRow row;
    row.number(grid.R(i));
    for (const std::vector<double>& psi : waves) {
      if (psi.empty()) {
        row.empty();
      } else {
        row.number(psi[static_cast<std::size_t>(i)]);
      }
    }
    out.line(row.line());
  }
  out.close();
}

}  // namespace

void write_state_table(char letter, const std::string& level_file, bool wavefunctions) {
  require_file("velk.inf", "run velk-props in the working directory of a velk run");
  require_file(level_file, std::string("run velk first (its level table of state ") + letter +
                               " writes " + std::string(1, letter) + "state.dat)");
  const RunInputs inputs = read_run_inputs("velk.inf");
  const StateInput& state = state_of(inputs, letter);
  const LevelListing listing = read_level_listing(level_file, "velk-props");
  require_same_data_file(listing, state, letter);
  StateLevels levels(state, letter, settings_of(inputs), state_grid(state, letter));
  RotationalPerturbation perturbation;

  // The rows are written once all levels are in hand, so that a level file found not to match
  // leaves no half table behind.
  std::vector<std::string> rows;
  std::vector<std::vector<double>> waves;
  int not_found = 0;
  for (std::size_t n = 0; n < listing.levels.size(); ++n) {
    const ListedLevel& listed = listing.levels[n];
    StateRow row;
    row.level = levels.solve_listed_level(listed.v, listed.J, listed.p);
    const SolvedLevel& l = row.level;
    if (!l.found) {
      ++not_found;
      rows.push_back(state_row(listed, nullptr));
      if (wavefunctions) waves.emplace_back();
      continue;
    }
    // The listed energy carries five decimals; a level the run itself converged must come back
    // to them, unless the file belongs to another curve or grid than velk.inf now gives.
    const double difference = std::fabs(l.E - listed.E);
    const bool listed_converged = !listed.Dcor || std::fabs(*listed.Dcor) <= inputs.tol;
    const std::string where = level_file + ": line " + std::to_string(kLevelHeaderLines + 1 + n) +
                              ": v=" + std::to_string(listed.v) + " J=" + std::to_string(listed.J);
    char numbers[120];
    std::snprintf(numbers, sizeof numbers, "found %.5f cm-1, the file lists %.5f", l.E, listed.E);
    if (listed_converged && difference > 10.0 * inputs.tol + kPrintedHalfDigit) {
      throw InputError(std::string(kPrefix) + where + ": " + numbers +
                       "; the level file does not belong to the curve and grid of velk.inf, "
                       "run velk again");
    }
    if (listed_converged && difference > kPrintedHalfDigit * (1.0 + 1e-9)) {
      warn_props(where + ": " + numbers);
    }
    const RadialGrid& grid = levels.grid();
    row.figures = level_figures(l, grid, levels.mu(), perturbation);
    rows.push_back(state_row(listed, &row));
    if (wavefunctions) {
      waves.emplace_back(l.psi.begin(), l.psi.begin() + grid.N + 1);
    }
  }
  const std::string name = props_file_name(level_file);
  OutputFile out(name);
  out.line("v,J,p,E,found,R_in,R_out,R_mean,R2_mean,Rinv2_mean,Bv,Dv,Hv,tunnel,E_listed");
  for (const std::string& line : rows) out.line(line);
  out.close();
  const std::size_t count = listing.levels.size();
  std::string summary = std::to_string(count) + (count == 1 ? " level" : " levels");
  if (not_found > 0) summary += ", " + std::to_string(not_found) + " not found";
  say(std::string(kPrefix) + "wrote " + name + " (" + summary + ")");
  if (wavefunctions) {
    const std::string wf_name = wavefunction_file_name(level_file);
    write_wavefunctions(wf_name, levels.grid(), listing.levels, waves);
    say(std::string(kPrefix) + "wrote " + wf_name);
  }
}

std::string props_file_name(const std::string& level_file) {
  return stem_of(level_file) + "_props.csv";
}

std::string wavefunction_file_name(const std::string& level_file) {
  return stem_of(level_file) + "_wf.csv";
}

}  // namespace velk::props
