#include "props/fcf_table.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "io/errors.h"
#include "io/level_file.h"
#include "io/output_file.h"
#include "props/csv_table.h"
#include "props/props_files.h"
#include "props/run_inputs.h"
#include "props/state_wave_functions.h"
#include "props/transition_overlaps.h"

namespace velk::props {
namespace {

struct KeptWave {
  int32_t v = 0;
  bool found = false;
  std::vector<double> psi;
};

// The v of a state: the range asked for, else the v its level files list at J (a window or
// known-level run writes Bstate.dat, an absorption run one file per branch).
VRange range_of(const std::optional<VRange>& asked, char letter, const StateInput& state,
                int32_t J) {
  if (asked) return *asked;
  const std::string stem = std::string(1, letter) + "state";
  const std::string option = letter == 'A' ? "--v-lower" : "--v-upper";
  std::optional<VRange> found;
  bool any_file = false;
  for (const char* branch : {"", "P", "Q", "R"}) {
    const std::string file = stem + branch + ".dat";
    if (!std::filesystem::exists(file)) continue;
    any_file = true;
    require_file(file, "");
    const LevelListing listing = read_level_listing(file, "velk-props");
    require_same_data_file(listing, state, letter);
    for (const ListedLevel& level : listing.levels) {
      if (level.J != J) continue;
      if (!found) found = VRange{level.v, level.v};
      found->first = std::min(found->first, level.v);
      found->last = std::max(found->last, level.v);
    }
  }
  if (!any_file) {
    throw InputError(std::string(kPrefix) + stem + ".dat: no such file; give " + option + " V1 V2");
  }
  if (!found) {
    throw InputError(std::string(kPrefix) + "the level files of state " + std::string(1, letter) +
                     " list no level of J = " + std::to_string(J) + "; give " + option + " V1 V2");
  }
  return *found;
}

StateWaveFunctions state_levels(const RunInputs& inputs, char letter, const RadialGrid& grid,
                                std::optional<double> reduced_mass) {
  const StateInput& state = state_of(inputs, letter);
  if (!reduced_mass) return StateWaveFunctions(state, letter, settings_of(inputs), grid);
  CurveDefinition curve = read_curve_definition(state.file);
  if (state.mass_index >= 1 && state.mass_index <= 5) {
    curve.header.header.masses[static_cast<std::size_t>(state.mass_index - 1)] = *reduced_mass;
  }
  return StateWaveFunctions(std::move(curve), state.mass_index, settings_of(inputs), grid);
}

std::vector<KeptWave> solve_range(StateWaveFunctions& levels, VRange range, int32_t J) {
  std::vector<LevelKey> keys;
  for (int32_t v = range.first; v <= range.last; ++v) keys.push_back({v, J, 1});
  std::vector<KeptWave> waves(keys.size());
  const std::size_t points = static_cast<std::size_t>(levels.grid().N) + 1;
  levels.solve_listed_levels(keys, [&](std::size_t index, const SolvedLevel& level) {
    KeptWave& kept = waves[index];
    kept.v = keys[index].v;
    kept.found = level.found;
    if (level.found) kept.psi.assign(level.psi.begin(), level.psi.begin() + points);
  });
  return waves;
}

}  // namespace

void write_fcf_tables(const FcfRequest& request) {
  require_file("velk.inf", "run velk-props in the working directory of a velk run");
  const RunInputs inputs = read_run_inputs("velk.inf");
  const std::string fcf_name = "fcf_table.csv", centroid_name = "rcentroid_table.csv";
  const std::string outputs[] = {fcf_name, centroid_name};
  refuse_inputs_named_like_outputs(inputs, outputs);
  for (const char letter : {'A', 'B'}) {
    if (state_of(inputs, letter).kind == 'd') {
      throw InputError(std::string(kPrefix) + "state " + std::string(1, letter) +
                       " is a Dunham state and has no wave functions (velk-rkr turns its "
                       "constants into a curve)");
    }
  }
  const VRange upper_range = range_of(request.upper, 'B', inputs.states.B, request.J);
  const VRange lower_range = range_of(request.lower, 'A', inputs.states.A, request.J);

  const RadialGrid grid =
      common_grid(state_grid(inputs.states.B, 'B'), state_grid(inputs.states.A, 'A'));
  std::vector<KeptWave> uppers, lowers;
  {
    StateWaveFunctions upper_levels = state_levels(inputs, 'B', grid, request.reduced_mass);
    uppers = solve_range(upper_levels, upper_range, request.J);
  }
  {
    StateWaveFunctions lower_levels = state_levels(inputs, 'A', grid, request.reduced_mass);
    lowers = solve_range(lower_levels, lower_range, request.J);
  }

  CsvRow fcf_header, centroid_header;
  fcf_header.text("v''");
  centroid_header.text("v''");
  for (const KeptWave& upper : uppers) {
    fcf_header.integer(upper.v);
    centroid_header.integer(upper.v);
  }
  // Both tables are complete before either is written: a stop leaves neither half done.
  std::vector<std::string> fcf_rows{fcf_header.line()}, centroid_rows{centroid_header.line()};
  int missing = 0;
  for (const KeptWave& lower : lowers) {
    CsvRow fcf, centroid;
    fcf.integer(lower.v);
    centroid.integer(lower.v);
    for (const KeptWave& upper : uppers) {
      if (!lower.found || !upper.found) {
        fcf.empty();
        centroid.empty();
        continue;
      }
      const OverlapFigures f = overlap_figures(grid, upper.psi, lower.psi, nullptr);
      fcf.number(f.FCF);
      centroid.number(f.r_centroid);
    }
    fcf_rows.push_back(fcf.line());
    centroid_rows.push_back(centroid.line());
  }
  for (const std::vector<KeptWave>* waves : {&uppers, &lowers}) {
    for (const KeptWave& wave : *waves) missing += wave.found ? 0 : 1;
  }
  for (const auto& [name, rows] :
       {std::pair{&fcf_name, &fcf_rows}, std::pair{&centroid_name, &centroid_rows}}) {
    OutputFile out(*name);
    for (const std::string& row : *rows) out.line(row);
    out.close();
  }
  std::string summary = std::to_string(uppers.size()) + " v' x " + std::to_string(lowers.size()) +
                        " v'' at J = " + std::to_string(request.J);
  if (missing > 0) summary += ", " + std::to_string(missing) + " level(s) not found, left empty";
  say(std::string(kPrefix) + "wrote " + fcf_name + " and " + centroid_name + " (" + summary + ")");
}

}  // namespace velk::props
