// Levels and wave functions of a curve, as the Python module asks for them.
//
// Exact mode runs the program's level driver on the curve's file with a fresh driver, as a run of
// velk computes its level table: the same toadd, the same retry, the same listing rule, so the
// energies are those velk writes for the same request, bit for bit. Energies in cm-1, radii in Å,
// masses in u.
#pragma once

#include <optional>
#include <vector>

#include "curve.h"
#include "pec/radial_grid.h"
#include "solver/level_driver.h"
#include "solver/level_record.h"
#include "solver/level_table_request.h"

namespace velk::python {

struct LevelTableCall {
  RadialGrid grid;
  int32_t mass_index = 1;      // reduced mass of the header, 1..5
  std::optional<double> mass;  // instead: this reduced mass, as the header's first one
  QuantumRange v, J, Par;      // inclusive ranges, as a level table asks for them
  double tol = 1e-6;           // cm-1
  int32_t maxit = 60;
  bool reversed = false;                // the reversed-grid solver
  SearchMode mode = SearchMode::exact;  // mode="exact" or "fast"
};

// The listed levels of the request, in the order velk writes them (J outer, v, Par inner). The
// run's checks of the request come first, with its messages (StopRun).
std::vector<LevelRecord> compute_levels(const Curve& curve, const LevelTableCall& request);

struct WaveFunctionRequest {
  RadialGrid grid;
  double mass = 0.0;  // reduced mass (u)
  int32_t v = 0, J = 0;
  double tol = 1e-6;
  int32_t maxit = 60;
};

struct WaveFunction {
  std::vector<double> R, psi;  // grid points 1..N; ∫ψ² dR = 1 by the trapezoid sum h·Σψ²
  double E = 0.0;              // the level's energy before any Lambda-doubling term
};

// The wave function of level (v, J) on a forward grid: the level solved alone by the level service
// (the window, toadd and retry of velk's exact search), normalised, positive at the inner end.
WaveFunction compute_wavefunction(const Curve& curve, const WaveFunctionRequest& request);

}  // namespace velk::python
