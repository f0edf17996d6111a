// ∂U/∂p on the state's grid, in closed form for each parameter of the MLJ and analytic forms:
// what the Hellmann-Feynman theorem, ∂E/∂p = ⟨ψ|∂U/∂p|ψ⟩, needs to turn the wave functions of a
// solve into the derivatives of its levels. A wall or asymptote the analytic curve derives from
// continuity moves with the series and tail coefficients; its share is included.
#pragma once

#include <span>

#include "fit/fit_model.h"

namespace velk::fit {

// Fills dU[1..N] (grid.N of the state) for a curve parameter (curve_parameter(ref.kind)).
void tabulate_curve_derivative(const FitState& state, const ParameterRef& ref,
                               std::span<double> dU);

}  // namespace velk::fit
