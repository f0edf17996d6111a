#include "props/transition_properties.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "io/level_file.h"
#include "io/output_file.h"
#include "io/run_file_check.h"
#include "io/transition_file.h"
#include "props/csv_table.h"
#include "props/moment_table.h"
#include "props/props_files.h"
#include "props/run_inputs.h"
#include "props/state_wave_functions.h"
#include "props/transition_overlaps.h"

namespace velk::props {
namespace {

// Which run wrote vel_tran.out, told by its header.
enum class TransitionRun { one_level, known_level, window };

TransitionRun run_of(const TransitionFileData& data) {
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
  std::optional<int32_t> parity(const TransitionRecord& line) {
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
  explicit LevelCache(StateWaveFunctions& levels) : levels_(levels) {}
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
  StateWaveFunctions& levels_;
  std::map<std::tuple<int32_t, int32_t, int32_t>, KeptLevel> kept_;
};

}  // namespace

void write_transition_properties(const std::string& moment_file) {
  require_file("velk.inf", "run velk-props in the working directory of a velk run");
  require_file("vel_tran.out", "run velk first with a transition run switched on");
  const RunInputs inputs = read_run_inputs("velk.inf");
  const std::string name = "vel_tran.csv";
  const std::string outputs[] = {name};
  refuse_inputs_named_like_outputs(inputs, outputs);
  std::optional<MomentTable> moment;
  if (!moment_file.empty()) {
    refuse_input_named_like_output("velk-props", "the transition-moment file", moment_file,
                                   outputs);
    moment = MomentTable::read(moment_file);
  }
  TransitionFileData data = read_transition_file("vel_tran.out", "velk-props");
  const TransitionRun run = run_of(data);
  // vel_tran.out writes the known level in the columns of state A's level; in a fluorescence run
  // (state A computed) it is the upper level, and the columns, the branch (ΔJ = J' − J'') and
  // every factor that rides on the table follow from that. The control file says which state
  // was computed even when both states share one data file.
  if (run == TransitionRun::known_level && inputs.known_state == 1) {
    orient_known_level(data, inputs.states.A.file);
  }

  // The lower columns hold state A's level, the upper ones state B's; a known-level run whose
  // computed levels are state B's gives the known level of state A as the lower one.
  char upper_letter = 'B', lower_letter = 'A';
  if (run == TransitionRun::known_level && !data.known_level_upper) {
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

  std::unique_ptr<StateWaveFunctions> upper_levels, lower_levels;
  std::unique_ptr<LevelCache> upper_cache, lower_cache;
  RadialGrid grid;
  if (curves && !data.lines.empty()) {
    grid =
        common_grid(state_grid(upper_state, upper_letter), state_grid(lower_state, lower_letter));
    upper_levels =
        std::make_unique<StateWaveFunctions>(upper_state, upper_letter, settings_of(inputs), grid);
    lower_levels =
        std::make_unique<StateWaveFunctions>(lower_state, lower_letter, settings_of(inputs), grid);
    upper_cache = std::make_unique<LevelCache>(*upper_levels);
    lower_cache = std::make_unique<LevelCache>(*lower_levels);
  }

  // Written once every line is in hand: a stop on the way leaves no half table behind.
  std::vector<std::string> rows;
  int written = 0, without = 0;
  for (const TransitionRecord& line : data.lines) {
    // The parity of the level the run started from (the lower level, or the known level);
    // the Q branch goes to the other parity, P and R stay with it.
    std::optional<int32_t> given_p;
    switch (run) {
      case TransitionRun::one_level:
        given_p = inputs.one_p;
        break;
      case TransitionRun::known_level:
        given_p = inputs.known_p;
        break;
      case TransitionRun::window:
        given_p = window_parities->parity(line);
        break;
    }
    std::optional<int32_t> other_p;
    if (given_p) other_p = line.J_upper == line.J_lower ? std::abs(1 - *given_p) : *given_p;
    const std::optional<int32_t> lower_p = data.known_level_upper ? other_p : given_p;
    const std::optional<int32_t> upper_p = data.known_level_upper ? given_p : other_p;

    CsvRow row;
    row.integer(line.index)
        .text(std::string(1, branch_letter(branch_of(line.J_lower, line.J_upper))));
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
    rows.push_back(row.line());
    ++written;
  }
  OutputFile out(name);
  out.line(
      "line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,r_centroid,"
      "moment,overlap,upper_E,lower_E");
  for (const std::string& line : rows) out.line(line);
  out.close();
  std::string summary = std::to_string(written) + (written == 1 ? " line" : " lines");
  if (!curves) {
    summary +=
        "; state " + std::string(1, upper_state.kind == 'd' ? upper_letter : lower_letter) +
        " is a Dunham state, so the lines carry no overlaps (velk-rkr turns its constants into a "
        "curve)";
  } else if (without > 0) {
    summary += ", " + std::to_string(without) + " without overlap (a level not found)";
  }
  say(std::string(kPrefix) + "wrote " + name + " (" + summary + ")");
}

}  // namespace velk::props
