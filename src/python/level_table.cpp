#include "level_table.h"

#include <pybind11/pybind11.h>

#include <span>
#include <sstream>

#include "core_call.h"
#include "io/errors.h"
#include "numlib/constants.h"
#include "numlib/failure_policy.h"
#include "run/level_limits.h"
#include "solver/curve_checks.h"
#include "solver/effective_potential.h"
#include "solver/exact_level.h"
#include "solver/level_driver.h"
#include "solver/level_window.h"
#include "solver/radial_solver.h"
#include "solver/toadd.h"
#include "solver/wave_function.h"

namespace velk::python {
namespace {

class RecordingSink final : public LevelSink {
 public:
  explicit RecordingSink(std::vector<LevelRecord>& levels) : levels_(levels) {}
  void begin(const LevelTableRequest&) override {}
  void level(const LevelRecord& record) override {
    levels_.push_back(record);
    // Ctrl-C in the interpreter ends a long table between two levels.
    check_python_signals();
  }
  void end() override {}

 private:
  std::vector<LevelRecord>& levels_;
};

// The checks the run makes on a level request before anything is computed, with its messages.
void check_request(const Curve& curve, const LevelTableCall& request) {
  const LevelRanges ranges{request.v.first, request.v.last,    request.J.first,
                           request.J.last,  request.Par.first, request.Par.last};
  if (const auto problem = level_request_problem(ranges)) {
    throw StopRun("velk: " + curve.name + ": " + *problem);
  }
  if (request.mass_index < 1 || request.mass_index > 5) {
    throw StopRun("velk: " + curve.name + ": the mass index must lie in 1..5, found " +
                  std::to_string(request.mass_index));
  }
}

// The level table of `velk` (mode exact) or of `velk --fast` (mode fast) for the request.
std::vector<LevelRecord> compute_level_table(const Curve& curve, const LevelTableCall& request,
                                             SearchMode mode) {
  LevelTableRequest level_request;
  level_request.curve = curve.definition_with_first_mass(request.mass);
  level_request.grid = request.grid;
  level_request.tol = request.tol;
  level_request.maxit = request.maxit;
  level_request.v = request.v;
  level_request.J = request.J;
  level_request.Par = request.Par;
  level_request.mass_index = request.mass ? 1 : request.mass_index;

  DriverOptions options;
  options.orientation = request.reversed ? GridOrientation::reversed : GridOrientation::forward;
  options.on_failure = throw_on_numerical_failure;
  options.mode = mode;
  return without_gil([&] {
    LevelDriver driver(std::move(options));
    std::vector<LevelRecord> levels;
    RecordingSink sink(levels);
    driver.compute_levels(level_request, sink);
    return levels;
  });
}

}  // namespace

std::vector<LevelRecord> compute_levels(const Curve& curve, const LevelTableCall& request) {
  check_request(curve, request);
  return compute_level_table(curve, request, request.mode);
}

WaveFunction compute_wavefunction(const Curve& curve, const WaveFunctionRequest& request) {
  if (!(request.mass > 0.0)) {
    std::ostringstream text;
    text << "velk: " << curve.name << ": reduced mass 1 must be positive, found " << request.mass;
    throw StopRun(text.str());
  }
  const CurveDefinition definition = curve.definition_with_first_mass(request.mass);
  const RadialGrid& grid = request.grid;
  // The solve touches no Python object.
  const pybind11::gil_scoped_release release;

  // velk's stops before toadd; the definition gives request.mass as its first mass.
  const PotentialHeader& header = checked_header(definition);
  require_representable_Lambda(curve.name, header);
  PotentialBuilder builder;
  std::vector<double> V(RadialGrid::kSlots), Ueff(RadialGrid::kSlots);
  const double Uinf = builder.build(definition, V, grid, BuildOptions{});
  // The level is solved alone: its solver remembers no joint, not even toadd's.
  RadialSolver toadd_solver(GridOrientation::forward, throw_on_numerical_failure);
  const double toadd = solve_toadd(toadd_solver, Ueff, grid,
                                   toadd_search(V, Ueff, grid, request.mass, header.Lambda));
  RadialSolver solver(GridOrientation::forward, throw_on_numerical_failure);

  effective_potential(V, Ueff, grid, request.mass, request.J, header.Lambda,
                      GridOrientation::forward);
  const LevelWindow window = level_window(Ueff, grid.N, GridOrientation::forward, Uinf);
  if (!window.has_well()) throw StopRun("Umin >  Umax");
  const ExactLevel level =
      solve_exact_level(solver, Ueff, grid, request.mass,
                        first_solve(window, toadd, request.v, {request.tol, request.maxit}),
                        {.whole_wave_function = true});

  WaveFunction wave;
  wave.E = level.E;
  std::vector<double> psi(RadialGrid::kSlots);
  forward_wave_function(solver.Ygrid(), grid.N, GridOrientation::forward, psi);
  normalise(grid, psi);
  for (int i = 1; i <= grid.N; ++i) {
    wave.R.push_back(grid.R(i));
    wave.psi.push_back(psi[static_cast<std::size_t>(i)]);
  }
  return wave;
}

}  // namespace velk::python
