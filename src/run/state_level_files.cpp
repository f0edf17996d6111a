#include "run/state_level_files.h"

#include <string>
#include <utility>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "pec/radial_grid.h"
#include "run/dunham.h"
#include "run/level_file_writer.h"
#include "run/level_limits.h"
#include "run/potext_file.h"
#include "solver/level_driver.h"

namespace velk {
namespace {

// The grid and mass of a potential state and the run's direction flag, checked when the state is
// first used, before anything of its level file is computed.
LevelTableRequest checked_request(const StateInput& state, const RunControl& control,
                                  const LevelRanges& r, const std::string& levelfile) {
  const std::string name = trimmed_file_name(state.file);
  switch (check_grid(state.Rmin, state.Rmax, state.N)) {
    case GridProblem::too_many_points:
      throw StopRun("number of points must be less than 50000");
    case GridProblem::too_few_points:
      throw StopRun("velk: " + name +
                    ": the radial grid needs at least 2 points, N = " + std::to_string(state.N));
    case GridProblem::bad_limits:
      throw StopRun("velk: " + name + ": the radial grid needs 0 < Rmin < Rmax");
    case GridProblem::none:
      break;
  }
  if (state.mass_index < 1 || state.mass_index > 5) {
    throw StopRun("velk: " + name + ": the mass index must lie in 1..5, found " +
                  std::to_string(state.mass_index));
  }
  if (control.revflag != 'n' && control.revflag != 'y') {
    throw StopRun(std::string("velk: velk.inf: the solver direction flag must be n or y, found '") +
                  control.revflag + "'");
  }
  LevelTableRequest request;
  request.grid = RadialGrid(state.Rmin, state.Rmax, state.N);
  request.tol = control.tol;
  request.maxit = control.maxit;
  request.v = {r.vmin, r.vmax};
  request.J = {r.Jmin, r.Jmax};
  request.Par = {r.pmin, r.pmax};
  request.mass_index = state.mass_index;
  request.levelfile = levelfile;
  request.state = &state == &control.A ? "A" : "B";
  return request;
}

}  // namespace

StateLevelFiles::StateLevelFiles(const RunControl& control, StateLevelOptions options)
    : control_(control), options_(std::move(options)) {}
StateLevelFiles::~StateLevelFiles() = default;

void StateLevelFiles::compute_state_levels(const StateInput& state, const LevelRanges& r,
                                           const std::string& levelfile) {
  // The readers would only say that a blank name cannot be opened; the state is named here.
  if (trimmed_file_name(state.file).empty()) {
    throw InputError(std::string("velk: velk.inf: the data file name of state ") +
                     (&state == &control_.A ? "A" : "B") + " is blank");
  }
  // Refused before the data file is read: a count the level file cannot hold, or a J whose J(J+1)
  // would wrap round to energies of the wrong sign.
  if (const auto problem = level_request_problem(r)) {
    throw StopRun("velk: " + trimmed_file_name(state.file) + ": " + *problem);
  }
  if (state.kind == 'd') {
    dunham_levels(state.file, r.vmin, r.vmax, r.Jmin, r.Jmax, r.pmin, r.pmax, levelfile);
    return;
  }
  LevelTableRequest request = checked_request(state, control_, r, levelfile);
  // Read once; what reading meets is raised by the driver where the run reports it, after its
  // "reading" line.
  request.curve = read_curve_definition(state.file);
  if (!driver_) {
    DriverOptions options;
    options.orientation =
        control_.revflag == 'n' ? GridOrientation::forward : GridOrientation::reversed;
    options.on_failure = options_.on_failure;
    options.on_extension_report = potext_writer();
    options.threads = options_.threads;
    options.mode = options_.fast ? SearchMode::fast : SearchMode::exact;
    options.verbose = options_.verbose;
    driver_ = std::make_unique<LevelDriver>(std::move(options));
  }
  LevelFileWriter file;
  driver_->compute_levels(request, file);
}

}  // namespace velk
