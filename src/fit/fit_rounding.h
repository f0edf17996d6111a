// Sequential rounding and refitting: the free parameters of the states are rounded one at a time,
// the one of largest relative uncertainty first, each to the fewest significant digits that keep
// σ̄ within the allowed rise, the others refitted after each step and the rounded one held from
// then on. A published parameter set then reproduces the data with the digits it needs and no
// more. Series energies are never rounded: they are the data's, not the states', and stay free.
//
// σ̄ keeps the degrees of freedom of the unrounded fit (N − P with all P free parameters): a
// rounded parameter is still one the data determined, and holding it must not lower σ̄. The rise
// is shared out evenly: after the k-th of K roundings χ² may exceed the unrounded χ² by at most
// k/K of ((1 + fraction)² − 1)·χ², so that the last one ends within σ̄·(1 + fraction).
#pragma once

#include <vector>

#include "fit/fit_model.h"
#include "fit/fit_solver.h"
#include "fit/line_model.h"
#include "fit/observed_lines.h"

namespace velk::fit {

struct RoundingOptions {
  double fraction = 0.001;  // allowed relative rise of σ̄
  FitOptions fit;           // of the refits (not robust: the rows' uncertainties are used as given)
  SolveLimits limits;
  int threads = 1;  // of the refits' level computations
};

struct RoundingStep {
  std::size_t parameter = 0;  // index into the free list
  int digits = 0;             // significant digits kept (17: not rounded)
  double unrounded = 0.0, rounded = 0.0;
  double sigma = 0.0;  // σ̄ after this step's refit
};

struct RoundingResult {
  std::vector<RoundingStep> steps;  // in the order they were taken
  double sigma_before = 0.0, sigma_after = 0.0;
  FitResult result;  // the final refit, over the whole free list (rounded ones with their values)
};

// `value` to `digits` significant decimal digits (the double nearest that decimal).
double round_to_digits(double value, int digits);

// Rounds the free parameters of `model`, which is at the converged fit `fitted` of `rows`; leaves
// the model at the rounded values and the final refit. A refit that does not converge refuses the
// digits it was tried with.
RoundingResult round_parameters(FitModel& model, const std::vector<ObservedLine>& rows,
                                const std::vector<ParameterRef>& free, const FitResult& fitted,
                                const RoundingOptions& options);

}  // namespace velk::fit
