#include "props/state_table.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "io/errors.h"
#include "io/level_file.h"
#include "io/output_file.h"
#include "io/run_file_check.h"
#include "io/warning.h"
#include "props/csv_table.h"
#include "props/level_figures.h"
#include "props/level_properties.h"
#include "props/props_files.h"
#include "props/rotational_perturbation.h"
#include "props/run_inputs.h"
#include "props/state_wave_functions.h"
#include "props/wave_function_columns.h"

namespace velk::props {
namespace {

// The level file prints energies with five decimals.
constexpr double kPrintedHalfDigit = 0.5e-5;
// Room for the rounding of the difference itself, relative.
constexpr double kComparisonSlack = 1e-9;

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

// The energy found again against the listed one. Both searches stop within the tolerance of the
// level: the run's (plain or fast) and this one's, which converges far below it; the listed
// energy is rounded to five decimals. A level the run itself converged must come back to within
// the tolerance and the rounding, unless the file belongs to another curve or grid than velk.inf
// now gives; a little beyond is said, far beyond (ten times the tolerance) stops velk-props.
enum class Agreement { within, near, far };

bool listed_converged(const ListedLevel& listed, double tol) {
  return !listed.Dcor || std::fabs(*listed.Dcor) <= tol;
}

Agreement agreement(const ListedLevel& listed, double E, double tol) {
  const double difference = std::fabs(E - listed.E);
  if (difference <= (tol + kPrintedHalfDigit) * (1.0 + kComparisonSlack)) return Agreement::within;
  return difference > 10.0 * tol + kPrintedHalfDigit ? Agreement::far : Agreement::near;
}

void check_listed_energy(const std::string& level_file, std::size_t n, const ListedLevel& listed,
                         double E, double tol) {
  if (!listed_converged(listed, tol)) return;
  const Agreement a = agreement(listed, E, tol);
  if (a == Agreement::within) return;
  const std::string where = level_file + ": line " + std::to_string(kLevelHeaderLines + 1 + n) +
                            ": v=" + std::to_string(listed.v) + " J=" + std::to_string(listed.J);
  char numbers[120];
  std::snprintf(numbers, sizeof numbers, "found %.5f cm-1, the file lists %.5f", E, listed.E);
  if (a == Agreement::far) {
    throw InputError(std::string(kPrefix) + where + ": " + numbers +
                     "; the level file does not belong to the curve and grid of velk.inf, "
                     "run velk again");
  }
  warn(where + ": " + numbers);
}

std::string wavefunction_header(const std::vector<ListedLevel>& listed) {
  bool parities = false;
  for (const ListedLevel& l : listed) parities = parities || l.p != listed.front().p;
  CsvRow header;
  header.text("R");
  for (const ListedLevel& l : listed) {
    std::string column = "v=" + std::to_string(l.v) + ",J=" + std::to_string(l.J);
    if (parities) column += ",p=" + std::to_string(l.p);
    header.text(column);
  }
  return header.line();
}

void refuse_large_table(const std::string& name, std::size_t levels, int points, double limit_mb) {
  const double mb = wave_function_table_bytes(levels, points) / 1e6;
  if (mb <= limit_mb) return;
  char text[200];
  std::snprintf(text, sizeof text,
                "%s could take up to %.0f MB (%d points by %zu levels), over the limit of %.0f "
                "MB; give --wavefunctions-limit %.0f to write it, or fewer levels (--file)",
                name.c_str(), mb, points, levels, limit_mb, std::ceil(mb));
  throw InputError(std::string(kPrefix) + text);
}

}  // namespace

void write_state_table(char letter, const std::string& level_file,
                       const WaveFunctionRequest& wavefunction_request) {
  const bool wavefunctions = wavefunction_request.wanted;
  require_file("velk.inf", "run velk-props in the working directory of a velk run");
  require_file(level_file, std::string("run velk first (its level table of state ") + letter +
                               " writes " + std::string(1, letter) + "state.dat)");
  const RunInputs inputs = read_run_inputs("velk.inf");
  const StateInput& state = state_of(inputs, letter);
  const std::string name = props_file_name(level_file);
  const std::string wf_name = wavefunction_file_name(level_file);
  std::vector<std::string> outputs{name};
  if (wavefunctions) outputs.push_back(wf_name);
  refuse_inputs_named_like_outputs(inputs, outputs);
  refuse_input_named_like_output("velk-props", "the level file", level_file, outputs);
  const LevelListing listing = read_level_listing(level_file, "velk-props");
  require_same_data_file(listing, state, letter);
  const RadialGrid grid = state_grid(state, letter);
  if (wavefunctions) {
    refuse_large_table(wf_name, listing.levels.size(), grid.N, wavefunction_request.limit_mb);
  }
  StateWaveFunctions levels(state, letter, settings_of(inputs), grid);
  RotationalPerturbation perturbation;

  // The rows are written once all levels are in hand, so that a level file found not to match
  // leaves no half table behind. The levels come J by J; the rows keep the file's order.
  const std::size_t count = listing.levels.size();
  std::vector<LevelKey> keys;
  keys.reserve(count);
  for (const ListedLevel& l : listing.levels) keys.push_back(LevelKey{l.v, l.J, l.p});
  std::vector<std::string> rows(count);
  // The wave functions go aside J by J (the order they come in) and are written as columns.
  std::optional<WaveFunctionColumns> waves;
  if (wavefunctions) waves.emplace(count, levels.grid(), wf_name);
  std::optional<int32_t> block_J;
  int not_found = 0;
  levels.solve_listed_levels(keys, [&](std::size_t n, const SolvedLevel& fast_or_plain) {
    const ListedLevel& listed = listing.levels[n];
    if (waves && block_J != listed.J) {
      waves->end_block();
      block_J = listed.J;
    }
    const SolvedLevel* level = &fast_or_plain;
    SolvedLevel plain;
    if (level->found && level->fast && listed_converged(listed, inputs.tol) &&
        agreement(listed, level->E, inputs.tol) != Agreement::within) {
      // The fast search counts the nodes of the well it starts from: a level of a second well
      // behind a thick barrier, which the plain search of a plain run counts, escapes it, and
      // its v goes to another level. The plain search tells which level the file lists.
      plain = levels.solve_plain_level(listed.v, listed.J, listed.p);
      if (plain.found && std::fabs(plain.E - listed.E) < std::fabs(level->E - listed.E)) {
        level = &plain;
      }
    }
    const SolvedLevel& l = *level;
    if (!l.found) {
      ++not_found;
      rows[n] = state_row(listed, nullptr);
      return;
    }
    check_listed_energy(level_file, n, listed, l.E, inputs.tol);
    StateRow row;
    row.level = l;
    row.figures = level_figures(l, levels.grid(), levels.mu(), perturbation);
    rows[n] = state_row(listed, &row);
    if (waves) waves->add(n, l.psi);
  });
  OutputFile out(name);
  out.line("v,J,p,E,found,R_in,R_out,R_mean,R2_mean,Rinv2_mean,Bv,Dv,Hv,tunnel,E_listed");
  for (const std::string& line : rows) out.line(line);
  out.close();
  std::string summary = std::to_string(count) + (count == 1 ? " level" : " levels");
  if (not_found > 0) summary += ", " + std::to_string(not_found) + " not found";
  say(std::string(kPrefix) + "wrote " + name + " (" + summary + ")");
  if (waves) {
    OutputFile wf(wf_name);
    wf.line(wavefunction_header(listing.levels));
    waves->write_rows(wf);
    wf.close();
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
