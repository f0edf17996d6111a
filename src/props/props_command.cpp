#include "props/props_command.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "io/console.h"
#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/output_file.h"
#include "numlib/failure_policy.h"
#include "plot/spectrum_plot.h"
#include "props/csv_table.h"
#include "props/level_properties.h"
#include "props/moment_table.h"
#include "props/rotational_perturbation.h"
#include "props/run_inputs.h"
#include "props/state_levels.h"
#include "props/transition_overlaps.h"

#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk::props {
namespace {

constexpr std::string_view kPrefix = "velk-props: ";
// The level file prints energies with five decimals.
constexpr double kPrintedHalfDigit = 0.5e-5;

void say(std::string_view text) {
  std::cout << text << '\n';
}

void print_usage() {
  say("usage: velk-props A | B | transitions [options]");
  say("  run in the working directory of a finished velk run:");
  say("  velk-props A            levels of Astate.dat -> Astate_props.csv");
  say("  velk-props B            levels of Bstate.dat -> Bstate_props.csv");
  say("  velk-props transitions  lines of vel_tran.out -> vel_tran.csv");
}

void print_help() {
  print_usage();
  say("options:");
  say("  --file LEVELFILE  (A, B) another level file of the state, e.g. BstateQ.dat;");
  say("                    the output is named after it (BstateQ_props.csv)");
  say("  --wavefunctions   (A, B) also write <levelfile>_wf.csv: R and one normalised");
  say("                    wave function per level");
  say("  --moment FILE     (transitions) electronic transition moment, lines 'R M'");
  say("                    (Å, debye), for the matrix elements <v'J'|M(R)|v''J''>");
  say("  -h, --help        this text");
  say("      --version     the version");
  say("Astate_props.csv: v,J,p,E,found,R_in,R_out,R_mean,R2_mean,Rinv2_mean,Bv,Dv,Hv,tunnel,");
  say("  E_listed (cm-1, Å). vel_tran.csv: line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,");
  say("  lower_p,wavenumber,FCF,r_centroid,moment,overlap,upper_E,lower_E.");
  say("exit status: 0 written, 1 a builder stopped on the potential file (or its fit failed),");
  say("  2 a missing or malformed file, a run not made or not matching velk.inf, or bad");
  say("  arguments, 3 internal error.");
  say("The guide is docs/props.md in the sources, installed as share/doc/velk/props.md.");
}

std::string refusal(std::string_view what) {
  return std::string(kPrefix) + std::string(what) + " (velk-props --help lists the options)";
}

// The shared layers name their program; here the messages speak for velk-props.
std::string own_message(std::string_view message) {
  for (const std::string_view other : {"velk-plot: ", "velk: "}) {
    if (message.starts_with(other)) {
      message.remove_prefix(other.size());
      break;
    }
  }
  if (message.starts_with(kPrefix)) message.remove_prefix(kPrefix.size());
  return std::string(kPrefix) + std::string(message);
}

void warn_props(const std::string& text) {
  std::cerr << kPrefix << "warning: " << text << '\n';
}

void require_file(const std::string& path, std::string_view hint) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    throw InputError(std::string(kPrefix) + path + ": no such file; " + std::string(hint));
  }
}

std::string stem_of(const std::string& level_file) {
  const std::size_t slash = level_file.find_last_of('/');
  const std::size_t dot = level_file.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    return level_file.substr(0, dot);
  }
  return level_file;
}

SolveSettings settings_of(const RunInputs& inputs) {
  return SolveSettings{inputs.maxit, inputs.tol, inputs.orientation};
}

const StateInput& state_of(const RunInputs& inputs, char letter) {
  return letter == 'A' ? inputs.states.A : inputs.states.B;
}

// A level file computed from another data file than the one velk.inf names for the state.
void require_same_data_file(const LevelListing& listing, const StateInput& state, char letter) {
  const std::string named = trimmed_file_name(state.file);
  if (listing.data_file.empty() || listing.data_file == named) return;
  throw InputError(std::string(kPrefix) + listing.file_name + ": line 2: computed from " +
                   listing.data_file + ", but velk.inf names " + named + " for state " + letter +
                   "; run velk again, or name the state the file belongs to");
}

struct StateRow {
  SolvedLevel level;
  TurningPointPair turning;
  Expectations expectations;
  std::optional<DistortionConstants> distortion;
};

void write_state_row(OutputFile& out, const ListedLevel& listed, const StateRow* row) {
  CsvRow csv;
  csv.integer(listed.v).integer(listed.J).integer(listed.p);
  if (!row) {
    csv.empty().integer(0);
    for (int i = 0; i < 9; ++i) csv.empty();
  } else {
    const SolvedLevel& l = row->level;
    csv.number(l.E).integer(1).number(row->turning.inner).number(row->turning.outer);
    csv.number(row->expectations.R_mean)
        .number(row->expectations.R2_mean)
        .number(row->expectations.Rinv2_mean)
        .number(row->expectations.Bv);
    if (row->distortion) {
      csv.number(row->distortion->Dv).number(row->distortion->Hv);
    } else {
      csv.empty().empty();
    }
    csv.number(l.tunnel);
  }
  csv.number(listed.E);
  out.line(csv.line());
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

void state_props(char letter, const PropsRequest& request) {
  const std::string level_file =
      request.level_file.empty() ? std::string(1, letter) + "state.dat" : request.level_file;
  require_file("velk.inf", "run velk-props in the working directory of a velk run");
  require_file(level_file, std::string("run velk first (its level table of state ") + letter +
                               " writes " + std::string(1, letter) + "state.dat)");
  const RunInputs inputs = read_run_inputs("velk.inf");
  const StateInput& state = state_of(inputs, letter);
  const LevelListing listing = read_level_listing(level_file, "velk-props");
  require_same_data_file(listing, state, letter);
  StateLevels levels(state, letter, settings_of(inputs), state_grid(state, letter));
  RotationalPerturbation perturbation;

  const std::string name = props_file_name(level_file);
  OutputFile out(name);
  out.line("v,J,p,E,found,R_in,R_out,R_mean,R2_mean,Rinv2_mean,Bv,Dv,Hv,tunnel,E_listed");
  std::vector<std::vector<double>> waves;
  int not_found = 0;
  for (std::size_t n = 0; n < listing.levels.size(); ++n) {
    const ListedLevel& listed = listing.levels[n];
    StateRow row;
    row.level = levels.solve_listed_level(listed.v, listed.J, listed.p);
    const SolvedLevel& l = row.level;
    if (!l.found) {
      ++not_found;
      write_state_row(out, listed, nullptr);
      if (request.wavefunctions) waves.emplace_back();
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
    row.turning = turning_points_of(grid, l.Ueff, l.E_curve);
    row.expectations = expectation_values(grid, l.psi, levels.mu());
    // Behind a barrier the wave function does not die out outside: no distortion constants.
    if (!l.quasi_bound) {
      row.distortion =
          perturbation.solve(LevelOnGrid{&grid, l.Ueff, l.psi, l.E_curve, levels.mu()});
    }
    write_state_row(out, listed, &row);
    if (request.wavefunctions) {
      waves.emplace_back(l.psi.begin(), l.psi.begin() + grid.N + 1);
    }
  }
  out.close();
  const std::size_t count = listing.levels.size();
  std::string summary = std::to_string(count) + (count == 1 ? " level" : " levels");
  if (not_found > 0) summary += ", " + std::to_string(not_found) + " not found";
  say(std::string(kPrefix) + "wrote " + name + " (" + summary + ")");
  if (request.wavefunctions) {
    const std::string wf_name = wavefunction_file_name(level_file);
    write_wavefunctions(wf_name, levels.grid(), listing.levels, waves);
    say(std::string(kPrefix) + "wrote " + wf_name);
  }
}

// Which run wrote vel_tran.out, told by its header.
enum class TransitionRun { one_level, known_level, window };

TransitionRun run_of(const plot::TransitionFileData& data) {
  for (const std::string& line : data.header) {
    if (line.starts_with("Known level:")) return TransitionRun::known_level;
    if (line.starts_with("Range:")) return TransitionRun::window;
  }
  return TransitionRun::one_level;
}

// The parity of the lower level of each line of an energy-window run, taken from Astate.dat:
// its lines come lower level by lower level in the file's order, and within one lower level
// their upper v' and branch (P, Q, R) only increase, so a line that does not go on from the one
// before belongs to the next listed level of the same v'' and J''.
class LowerParities {
 public:
  explicit LowerParities(const LevelListing* listing) : listing_(listing) {}
  std::optional<int32_t> parity(const plot::TransitionRecord& line) {
    const std::vector<ListedLevel>& levels = listing_->levels;
    const int key = 3 * line.v_upper + (line.J_upper < line.J_lower    ? 0
                                        : line.J_upper == line.J_lower ? 1
                                                                       : 2);
    const auto matches = [&](std::size_t i) {
      return levels[i].v == line.v_lower && levels[i].J == line.J_lower;
    };
    std::optional<std::size_t> found;
    if (at_ < levels.size() && matches(at_) && key > previous_key_) found = at_;
    for (std::size_t i = at_ + 1; !found && i < levels.size(); ++i) {
      if (matches(i)) found = i;
    }
    for (std::size_t i = 0; !found && i < levels.size(); ++i) {
      if (matches(i)) found = i;
    }
    previous_key_ = key;
    if (!found) return std::nullopt;
    at_ = *found;
    return levels[at_].p;
  }

 private:
  const LevelListing* listing_;
  std::size_t at_ = 0;
  int previous_key_ = -1;
};

// A solved level kept for the lines that share it.
struct KeptLevel {
  SolvedLevel level;
  std::vector<double> psi;
};

class LevelCache {
 public:
  explicit LevelCache(StateLevels& levels) : levels_(levels) {}
  const KeptLevel& get(int32_t v, int32_t J, int32_t p) {
    const auto key = std::make_tuple(v, J, p);
    if (auto it = kept_.find(key); it != kept_.end()) return it->second;
    // Levels of a long window run are many; the memory of a few hundred is enough to serve the
    // lines that share a lower level.
    if (kept_.size() >= kMaxKept) kept_.clear();
    KeptLevel kept;
    kept.level = levels_.solve_listed_level(v, J, p);
    kept.psi.assign(kept.level.psi.begin(), kept.level.psi.begin() + levels_.grid().N + 1);
    kept.level.psi = {};
    kept.level.Ueff = {};
    return kept_.emplace(key, std::move(kept)).first->second;
  }

 private:
  static constexpr std::size_t kMaxKept = 256;
  StateLevels& levels_;
  std::map<std::tuple<int32_t, int32_t, int32_t>, KeptLevel> kept_;
};

void transition_props(const PropsRequest& request) {
  require_file("velk.inf", "run velk-props in the working directory of a velk run");
  require_file("vel_tran.out", "run velk first with a transition run switched on");
  const RunInputs inputs = read_run_inputs("velk.inf");
  std::optional<MomentTable> moment;
  if (!request.moment_file.empty()) moment = MomentTable::read(request.moment_file);
  const plot::TransitionFileData data = plot::read_transition_file("vel_tran.out");
  const TransitionRun run = run_of(data);

  // The lower columns hold the level of columns 6-14 of vel_tran.out (state A, or the known
  // level), the upper ones the computed level of columns 15-22.
  char upper_letter = 'B', lower_letter = 'A';
  if (run == TransitionRun::known_level) {
    upper_letter = inputs.known_state == 1 ? 'A' : 'B';
    lower_letter = upper_letter == 'A' ? 'B' : 'A';
  }
  const StateInput& upper_state = state_of(inputs, upper_letter);
  const StateInput& lower_state = state_of(inputs, lower_letter);
  const bool curves = upper_state.kind != 'd' && lower_state.kind != 'd';

  std::optional<LevelListing> astate;
  std::optional<LowerParities> window_parities;
  if (run == TransitionRun::window) {
    require_file("Astate.dat", "the energy-window run writes it with vel_tran.out");
    astate = read_level_listing("Astate.dat", "velk-props");
    require_same_data_file(*astate, inputs.states.A, 'A');
    window_parities.emplace(&*astate);
  }

  std::unique_ptr<StateLevels> upper_levels, lower_levels;
  std::unique_ptr<LevelCache> upper_cache, lower_cache;
  RadialGrid grid;
  if (curves && !data.lines.empty()) {
    grid =
        common_grid(state_grid(upper_state, upper_letter), state_grid(lower_state, lower_letter));
    upper_levels =
        std::make_unique<StateLevels>(upper_state, upper_letter, settings_of(inputs), grid);
    lower_levels =
        std::make_unique<StateLevels>(lower_state, lower_letter, settings_of(inputs), grid);
    upper_cache = std::make_unique<LevelCache>(*upper_levels);
    lower_cache = std::make_unique<LevelCache>(*lower_levels);
  }

  const std::string name = "vel_tran.csv";
  OutputFile out(name);
  out.line(
      "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,"
      "moment,overlap,upper_E,lower_E");
  int written = 0, without = 0;
  for (const plot::TransitionRecord& line : data.lines) {
    std::optional<int32_t> lower_p;
    switch (run) {
      case TransitionRun::one_level:
        lower_p = inputs.one_p;
        break;
      case TransitionRun::known_level:
        lower_p = inputs.known_p;
        break;
      case TransitionRun::window:
        lower_p = window_parities->parity(line);
        break;
    }
    std::optional<int32_t> upper_p;
    // The Q branch goes to the other parity, P and R stay with the lower level's.
    if (lower_p) upper_p = line.J_upper == line.J_lower ? std::abs(1 - *lower_p) : *lower_p;

    CsvRow row;
    row.integer(line.index)
        .text(std::string(1, plot::branch_letter(plot::branch_of(line.J_lower, line.J_upper))));
    row.integer(line.v_upper).integer(line.J_upper);
    upper_p ? row.integer(*upper_p) : row.empty();
    row.integer(line.v_lower).integer(line.J_lower);
    lower_p ? row.integer(*lower_p) : row.empty();
    row.number(line.nu);
    bool figures = false;
    if (curves && lower_p) {
      const KeptLevel& upper = upper_cache->get(line.v_upper, line.J_upper, *upper_p);
      const KeptLevel& lower = lower_cache->get(line.v_lower, line.J_lower, *lower_p);
      if (upper.level.found && lower.level.found) {
        const OverlapFigures f =
            overlap_figures(grid, upper.psi, lower.psi, moment ? &*moment : nullptr);
        row.number(f.FCF).number(f.r_centroid).number(f.moment).number(f.overlap);
        row.number(upper.level.E).number(lower.level.E);
        figures = true;
      }
    }
    if (!figures) {
      for (int i = 0; i < 6; ++i) row.empty();
      ++without;
    }
    out.line(row.line());
    ++written;
  }
  out.close();
  std::string summary = std::to_string(written) + (written == 1 ? " line" : " lines");
  if (!curves) {
    summary += "; state " + std::string(1, upper_state.kind == 'd' ? upper_letter : lower_letter) +
               " is a Dunham state, so the lines carry no overlaps";
  } else if (without > 0) {
    summary += ", " + std::to_string(without) + " without overlap (a level not found)";
  }
  say(std::string(kPrefix) + "wrote " + name + " (" + summary + ")");
}

}  // namespace

std::string props_file_name(const std::string& level_file) {
  return stem_of(level_file) + "_props.csv";
}

std::string wavefunction_file_name(const std::string& level_file) {
  return stem_of(level_file) + "_wf.csv";
}

PropsRequest parse_props_arguments(std::span<const std::string> arguments) {
  PropsRequest request;
  const auto refuse = [&](std::string message) {
    if (request.refusal.empty()) request.refusal = std::move(message);
  };
  int targets = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto value_of = [&](std::string_view option, std::string& into) {
      const std::string joined = std::string(option) + "=";
      if (argument.starts_with(joined)) {
        into = argument.substr(joined.size());
      } else if (i + 1 < arguments.size()) {
        into = arguments[++i];
      } else {
        refuse(refusal(std::string(option) + " wants a file name"));
      }
      if (into.empty()) refuse(refusal(std::string(option) + " wants a file name"));
    };
    if (argument == "-h" || argument == "--help") {
      request.help = true;
    } else if (argument == "--version") {
      request.version = true;
    } else if (argument == "--wavefunctions") {
      request.wavefunctions = true;
    } else if (argument == "--file" || argument.starts_with("--file=")) {
      value_of("--file", request.level_file);
    } else if (argument == "--moment" || argument.starts_with("--moment=")) {
      value_of("--moment", request.moment_file);
    } else if (argument.size() > 1 && argument.starts_with('-')) {
      refuse(refusal("unknown option '" + argument + "'"));
    } else {
      ++targets;
      request.target = argument;
    }
  }
  if (targets != 1 ||
      (request.target != "A" && request.target != "B" && request.target != "transitions")) {
    request.usage_error = true;
    return request;
  }
  const bool state = request.target != "transitions";
  if (state && !request.moment_file.empty()) {
    refuse(refusal("--moment goes with transitions"));
  }
  if (!state && (request.wavefunctions || !request.level_file.empty())) {
    refuse(refusal("--file and --wavefunctions go with A or B"));
  }
  return request;
}

int run_velk_props(std::span<const std::string> arguments) {
  const PropsRequest request = parse_props_arguments(arguments);
  if (request.help) {
    print_help();
    std::cout.flush();
    return 0;
  }
  if (request.version) {
    say(std::string("velk-props ") + VELK_VERSION);
    std::cout.flush();
    return 0;
  }
  if (!request.refusal.empty()) {
    std::cerr << request.refusal << '\n';
    return 2;
  }
  if (request.usage_error) {
    print_usage();
    std::cout.flush();
    return 2;
  }
  // The builders' name lines and the solver's progress belong to velk's own record of a run.
  set_console_quiet(true);
  int status = 0;
  try {
    if (request.target == "transitions") {
      transition_props(request);
    } else {
      state_props(request.target[0], request);
    }
  } catch (const StopRun& stop) {
    say(own_message(stop.what()));
    status = 1;
  } catch (const NumericalFailure& failure) {
    // Where velk pauses and asks whether to go on, velk-props has no one to ask.
    say(own_message(failure.what()) + " (velk pauses and asks here; velk-props stops)");
    status = 1;
  } catch (const InputError& error) {
    say(own_message(error.what()));
    status = 2;
  } catch (const std::bad_alloc&) {
    say(std::string(kPrefix) + "out of memory");
    status = 3;
  } catch (const std::exception& error) {
    say(std::string(kPrefix) + "internal error: " + error.what());
    status = 3;
  }
  std::cout.flush();
  return status;
}

}  // namespace velk::props
