#include "level_table.h"

#include <pybind11/pybind11.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <sstream>

#include "core_call.h"
#include "io/errors.h"
#include "numlib/constants.h"
#include "numlib/failure_policy.h"
#include "run/level_limits.h"
#include "solver/effective_potential.h"
#include "solver/landmarks.h"
#include "solver/level_driver.h"
#include "solver/radial_solver.h"

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

  DriverOptions options;
  options.on_failure = throw_on_numerical_failure;
  LevelDriver driver(std::move(options));
  const double toadd = driver.compute_toadd(definition, grid);
  PotentialBuilder builder;
  std::vector<double> V(RadialGrid::kSlots), Ueff(RadialGrid::kSlots);
  const double Uinf = builder.build(definition, V, grid, BuildOptions{});
  effective_potential(V, Ueff, grid, request.mass, request.J, definition.header.header.Lambda,
                      GridOrientation::forward);

  // The level driver's window and retry.
  const double Ulim = Uinf != kUinfUnset ? Uinf : Ueff[static_cast<std::size_t>(grid.N)];
  const double Umax = highest_barrier(Ueff, grid.N, Ulim).Umax;
  const double Umin = lowest_minimum(Ueff, grid.N);
  if (Umax < Umin) throw StopRun("Umin >  Umax");
  const double Ein = (Umin + Umax + toadd) * 0.5;
  const double delE = (Umax - Umin - toadd) * 0.5 - constants::kWindowMargin;
  RadialSolver solver(GridOrientation::forward, throw_on_numerical_failure);
  SolveRequest solve{request.v, Ein, delE, request.maxit, request.tol};
  LevelSolution solution = solver.solve(Ueff, grid, request.mass, solve);
  if (!(std::fabs(solution.results.Dcor) <= request.tol)) {
    solve.E = solution.E;
    solve.dE = delE / 10.0;
    solution = solver.solve(Ueff, grid, request.mass, solve);
  }

  WaveFunction wave;
  wave.E = solution.E;
  const std::span<const double> Y = solver.Ygrid();
  double sum = 0.0, peak = 0.0;
  for (int i = 1; i <= grid.N; ++i) {
    sum += Y[static_cast<std::size_t>(i)] * Y[static_cast<std::size_t>(i)];
    peak = std::max(peak, std::fabs(Y[static_cast<std::size_t>(i)]));
  }
  double scale = 1.0 / std::sqrt(sum * grid.h);
  for (int i = 1; i <= grid.N; ++i) {
    if (std::fabs(Y[static_cast<std::size_t>(i)]) > 1e-3 * peak) {
      if (Y[static_cast<std::size_t>(i)] < 0.0) scale = -scale;
      break;
    }
  }
  for (int i = 1; i <= grid.N; ++i) {
    wave.R.push_back(grid.R(i));
    wave.psi.push_back(Y[static_cast<std::size_t>(i)] * scale);
  }
  return wave;
}

}  // namespace velk::python
