// Bv, Dv and Hv of the Na2 X levels v = 0..30 from the analytic curve of the examples, against
// a fit of the program's own levels of J = 0..30, and against the Huber-Herzberg constants.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>

#include "io/console.h"
#include "props/rotational_perturbation.h"
#include "props/state_wave_functions.h"
#include "rotational_fit.h"

namespace velk::props {
namespace {

TEST(Na2Rotation, PerturbationConstantsMatchAFitOfTheLevelsAndTheHandbook) {
  set_console_quiet(true);
  StateInput state;
  state.file = VELK_NA2X_POT;
  state.kind = 'p';
  state.mass_index = 1;
  // The examples' grid starts at 1.8 Å; 10001 points to 11 Å hold v <= 30 (outer turning point
  // below 6 Å) with a step of 9.2e-4 Å.
  const RadialGrid grid(1.8, 11.0, 10001);
  // A tolerance far below the printed digits, so that the fit sees the energies to ~1e-10 cm-1.
  StateWaveFunctions levels(state, 'A', SolveSettings{200, 1e-10, GridOrientation::forward}, grid);
  RotationalPerturbation perturbation;
  double worst_B = 0.0, worst_D = 0.0, worst_H = 0.0;
  for (int v = 0; v <= 30; ++v) {
    std::array<double, 31> E{};
    for (int J = 30; J >= 0; --J) {
      const SolvedLevel level = levels.solve_listed_level(v, J, 1);
      ASSERT_TRUE(level.found) << "v=" << v << " J=" << J;
      E[static_cast<std::size_t>(J)] = level.E;
    }
    // The constants of the expansion about J = 0.
    const SolvedLevel level = levels.solve_listed_level(v, 0, 1);
    const DistortionConstants d =
        perturbation.solve(LevelOnGrid{&grid, level.Ueff, level.psi, level.E_curve, levels.mu()});
    const test::RotationalFit fit = test::fit_rotational_levels(E);
    // Both routes see the same Numerov grid, so only the fit's own error separates them: Bv to
    // 1e-7 and Dv to 0.1 % is what a comparison with fitted constants needs (measured: 8.8e-10
    // and 1.3e-6). Hv is the fit's weakest coefficient (its x³ term reaches 2e-3 cm-1 at J = 30,
    // the energies are good to 1e-10 cm-1): 1 % (measured 3.0e-3).
    EXPECT_NEAR(d.Bv / fit.Bv - 1.0, 0.0, 1e-7) << "v=" << v;
    EXPECT_NEAR(d.Dv / fit.Dv - 1.0, 0.0, 1e-3) << "v=" << v;
    EXPECT_NEAR(d.Hv / fit.Hv - 1.0, 0.0, 1e-2) << "v=" << v;
    worst_B = std::fmax(worst_B, std::fabs(d.Bv / fit.Bv - 1.0));
    worst_D = std::fmax(worst_D, std::fabs(d.Dv / fit.Dv - 1.0));
    worst_H = std::fmax(worst_H, std::fabs(d.Hv / fit.Hv - 1.0));

    // Huber and Herzberg (the Dunham file of the examples' data): Be = 0.154707, αe = 0.0008736,
    // De = 5.811e-7 cm-1. Their two-term Bv and constant Dv describe the low levels; the curve
    // is a modern fit, so the two differ by the handbook's neglected terms (γe(v+½)² and βe).
    const double hh_B = 0.154707 - 0.0008736 * (v + 0.5);
    const double hh_D = 5.811e-7;
    // Measured here (v = 0 / 10 / 30): Bv lies 3.2e-5 / 4.0e-3 / 6.1e-2 below the handbook's
    // Be − αe(v+½), Dv 1.0 % / 8.9 % / 38 % above its De: the handbook's constant Dv leaves out
    // βe, and its two-term Bv the γe(v+½)² that grows with v. Held at the lowest levels, where
    // the handbook's constants apply, with a margin of about two.
    if (v <= 2) {
      EXPECT_NEAR(d.Bv / hh_B - 1.0, 0.0, 3e-4) << "v=" << v;
    }
    if (v == 0) {
      EXPECT_NEAR(d.Dv / hh_D - 1.0, 0.0, 2e-2);
    }
    if (v == 0 || v == 10 || v == 30) {
      std::printf("v=%d: Bv %.9f, handbook %.9f (%+.2e); Dv %.6e, handbook %.6e (%+.2e)\n", v, d.Bv,
                  hh_B, d.Bv / hh_B - 1.0, d.Dv, hh_D, d.Dv / hh_D - 1.0);
    }
  }
  std::printf("largest relative difference to the fit: Bv %.2e, Dv %.2e, Hv %.2e\n", worst_B,
              worst_D, worst_H);
}

}  // namespace
}  // namespace velk::props
