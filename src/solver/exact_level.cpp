#include "solver/exact_level.h"

#include <cmath>

#include "io/console.h"
#include "io/formatted_output.h"

namespace velk {

ExactLevel solve_exact_level(RadialSolver& solver, std::span<const double> Ueff,
                             const RadialGrid& grid, double mu, const SolveRequest& first,
                             const ExactLevelOptions& options) {
  ExactLevel level;
  level.v = first.v;
  level.Ein = first.E;
  level.delE = first.dE;
  SolveRequest solve = first;
  solve.whole_wave_function = solve.whole_wave_function || options.whole_wave_function;
  const auto run = [&] {
    const LevelSolution solution = solver.solve(Ueff, grid, mu, solve, options.cache);
    if (solution.tunnel) level.tunnel = solution.tunnel;
    level.E = solution.E;
    level.results = solution.results;
    level.never_joined = solution.never_joined;
    level.ends = solution.ends;
    level.joint_missed = level.joint_missed || solution.joint_missed;
    ++level.solves;
    level.iterations += solution.results.kturn;
  };
  run();
  if (level.joint_missed && options.stop_at_missed_joint) return level;
  if (!(std::fabs(level.results.Dcor) <= first.tol)) {
    console_line(format_line("('Epr-',F13.5,'   Dcor-',E10.2,'  iter-',I3)",
                             {level.E, level.results.Dcor, int64_t{level.results.kturn}}));
    console_line(FreeLine() << "perhaps better...");
    solve.E = level.E;
    solve.dE = first.dE / 10.0;
    run();
  }
  return level;
}

}  // namespace velk
