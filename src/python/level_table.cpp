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
#include "solver/level_checks.h"
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

// Index of the first grid point whose value is exactly `value`, or 0.
int index_of(std::span<const double> V, int N, double value) {
  for (int i = 1; i <= N; ++i) {
    if (V[static_cast<std::size_t>(i)] == value) return i;
  }
  return 0;
}

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

// A solve asked for v can end on a neighbour (v beyond the last level, or a node count the
// search could not reach): handing that wave function back as v would be a silent wrong answer.
void require_nodes(const std::string& name, const WaveFunctionRequest& request, int32_t nodes,
                   std::span<const double> Ueff, const LevelWindow& window) {
  if (nodes == request.v) return;
  const RadialGrid& grid = request.grid;
  const bool behind_barrier = window.Umax > window.Ulim;
  const int barrier = behind_barrier ? index_of(Ueff, grid.N, window.Umax) : 0;
  const int32_t count = count_levels_below(Ueff, 1, barrier > 0 ? barrier : grid.N, grid.h,
                                           request.mass, window.Umax);
  const std::string at = " at J=" + std::to_string(request.J);
  if (request.v >= count) {
    throw pybind11::value_error(
        "v: " + name + " has " +
        (count == 0 ? std::string("no level")
                    : std::to_string(count) + " level" + (count == 1 ? "" : "s") + " v=0.." +
                          std::to_string(count - 1)) +
        at + " on this grid, v=" + std::to_string(request.v) + " asked for");
  }
  throw NumericalFailure("velk: " + name + ": v=" + std::to_string(request.v) + at +
                         ": the search ended on a wave function with " + std::to_string(nodes) +
                         " nodes, not " + std::to_string(request.v));
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
  require_nodes(curve.name, request, level.results.node, Ueff, window);

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
