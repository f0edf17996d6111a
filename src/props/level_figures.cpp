#include "props/level_figures.h"

namespace velk::props {

LevelFigures level_figures(const SolvedLevel& level, const RadialGrid& grid, double mu,
                           RotationalPerturbation& perturbation) {
  LevelFigures figures;
  figures.turning = turning_points_of(grid, level.Ueff, level.E_curve);
  figures.expectations = expectation_values(grid, level.psi, mu, level.live);
  // Behind a barrier the wave function does not die out outside: no distortion constants.
  if (!level.quasi_bound) {
    figures.distortion = perturbation.solve(
        LevelOnGrid{&grid, level.Ueff, level.psi, level.E_curve, mu}, level.live);
  }
  return figures;
}

}  // namespace velk::props
