// velk-props' figures for curves of the Python module: the properties of levels (turning points,
// expectation values, Bv, Dv, Hv) and the overlaps of level pairs of two curves (Franck-Condon
// factors, r-centroids, transition-moment matrix elements).
//
// Each curve's definition, read in memory, goes to velk-props' StateWaveFunctions, which builds
// the curve with the program's builders and searches the levels as
// velk-props does (the fast search, J by J); the figures come from the routines velk-props writes
// its tables with (level_figures, common_grid, overlap_figures). The numbers are therefore those
// of `velk-props A` and `velk-props transitions` for the same curves, grids and levels, bit for
// bit.
// Radii in Å, energies in cm-1, masses in u, transition moments in debye.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "curve.h"
#include "pec/radial_grid.h"
#include "props/level_figures.h"
#include "props/moment_table.h"
#include "props/state_wave_functions.h"
#include "props/transition_overlaps.h"

namespace velk::python {

struct LevelKey {
  int32_t v = 0, J = 0, p = 1;
};

// How the levels of one curve are searched: the curve's grid, its reduced mass and the search
// settings of velk.inf (records 11 to 13).
struct StateSearch {
  RadialGrid grid;
  int32_t mass_index = 1;      // reduced mass of the header, 1..5
  std::optional<double> mass;  // instead: this reduced mass, as the header's first one
  props::SolveSettings settings;
};

struct LevelPropertiesRow {
  LevelKey level;
  bool found = false;
  double E = 0.0;  // as a level file lists it (with the Lambda-doubling term)
  props::LevelFigures figures;
  std::optional<double> tunnel;
};

// The levels in the order given. A level the search does not find has found = false.
std::vector<LevelPropertiesRow> level_properties(const Curve& curve, const StateSearch& search,
                                                 const std::vector<LevelKey>& levels);

struct OverlapRequest {
  StateSearch upper, lower;                          // the two grids are joined into the common one
  std::vector<std::pair<LevelKey, LevelKey>> pairs;  // (upper, lower)
  const props::MomentTable* moment = nullptr;
};

struct OverlapRow {
  LevelKey upper, lower;
  bool found = false;  // both levels found on the common grid
  props::OverlapFigures figures;
  double upper_E = 0.0, lower_E = 0.0;
};

std::vector<OverlapRow> level_overlaps(const Curve& upper, const Curve& lower,
                                       const OverlapRequest& request);

// The checks a level table makes on a level, on a mass index and on the reduced mass it picks,
// with the level table's messages (StopRun).
void check_level(const Curve& curve, const LevelKey& level);
void check_search(const Curve& curve, const StateSearch& search);

}  // namespace velk::python
