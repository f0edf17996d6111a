// The levels of one state solved again from its potential curve, with velk's own builders and
// searches. The curve is read from the state's file once, when the levels are made (or handed
// over already read); nothing is written, potext.out included.
//
// The curve is built by the program's own builders on the state's grid, and the levels of each J
// are found together by the fast search (the search of velk --fast), converged to the run's
// tolerance: the energy agrees with the level file's within that tolerance, whether the file
// comes from a plain or a fast run. A level the fast search does not find is searched as the
// plain run searches it (the same offset toadd, first trial energy, window, iteration limit and
// retry), so that it is found or missed as the run found or missed it; toadd is formed only when
// such a level first needs it. The wave function and the effective potential are handed back in
// forward order (point 1 the smallest radius, slot 0 unused), the wave function normalised.
//
// Radii in Å, energies in cm-1, masses in u. A state given by Dunham coefficients has no curve:
// the constructor refuses it with an InputError, as it does a grid that cannot be served. The
// builders' own stops on a bad potential file are StopRun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/state_records.h"
#include "pec/curve_definition.h"
#include "pec/potential_builder.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"
#include "props/level_properties.h"
#include "solver/fast_search.h"
#include "solver/grid_orientation.h"
#include "solver/level_window.h"
#include "solver/radial_solver.h"
#include "solver/solver_results.h"
#include "solver/toadd.h"

namespace velk::props {

struct SolveSettings {
  int32_t maxit = 0;
  double tol = 0.0;  // cm-1
  GridOrientation orientation = GridOrientation::forward;
};

// A level line of a level file: what is asked for.
struct LevelKey {
  int32_t v = 0, J = 0, p = 0;
};

struct SolvedLevel {
  int32_t v = 0, J = 0, p = 0;
  // Converged within the tolerance with v nodes, and not a state of the box the grid ends make.
  bool found = false;
  bool fast = false;         // found by the fast search; otherwise by the plain run's search
  double E = 0.0;            // as the level file lists it: eigenvalue plus the Lambda-doubling term
  double E_curve = 0.0;      // the eigenvalue of the effective potential
  bool quasi_bound = false;  // above the limit of the effective potential, behind its barrier
  std::optional<double> tunnel;
  SolverResults results;
  // Valid until the next solve of the same StateWaveFunctions (for solve_listed_levels: during the
  // call of `use` only).
  std::span<const double> psi;   // normalised, h·Σψ² = 1, innermost lobe positive
  std::span<const double> Ueff;  // the level's effective potential
  // psi is zero outside these points: those of the fast search's last pass, the whole grid for a
  // level of the plain search.
  LivePoints live;
};

// The v of `keys` (not empty) that the fast search solves together: from the smallest v up to
// where the v asked for thin out, so that the work follows the number of keys rather than the
// largest v; the v above are left to the plain search.
QuantumRange fast_search_range(std::span<const LevelKey> keys);

// The state's grid of velk.inf; a grid that cannot be served is an InputError naming the state.
RadialGrid state_grid(const StateInput& state, char letter);

class StateWaveFunctions {
 public:
  // Reads the state's potential file.
  StateWaveFunctions(const StateInput& state, char letter, const SolveSettings& settings,
                     const RadialGrid& grid);
  // The curve as read; the reduced mass `mass_index` (1..5) of its header.
  StateWaveFunctions(CurveDefinition curve, int32_t mass_index, const SolveSettings& settings,
                     const RadialGrid& grid);

  // The same state on another curve of the same header (masses, Lambda): the levels solved from
  // now on are the new curve's. The work space is kept, so that a fit that moves a curve's
  // parameters allocates nothing per step.
  void use_curve(const CurveDefinition& curve);

  // Receives each level solved, with the index of its key.
  using LevelUse = std::function<void(std::size_t index, const SolvedLevel& level)>;

  // Solves the levels of `keys` J by J, the J in increasing order, all v of one J (those of
  // fast_search_range) in one fast search, and hands each key's level to
  // `use`: those the fast search found in order of v, then the others. Keys that differ only in
  // p share one solve.
  void solve_listed_levels(std::span<const LevelKey> keys, const LevelUse& use);
  // The same with the v of the fast search given: a caller that hands the J of one list to
  // several objects passes the range of the whole list, so that each level is searched as the
  // whole list would search it.
  void solve_listed_levels(std::span<const LevelKey> keys, const QuantumRange& fast_range,
                           const LevelUse& use);
  // One level, by the same route.
  SolvedLevel solve_listed_level(int32_t v, int32_t J, int32_t p);
  // One level by the plain run's search alone. Its wave function has a buffer of its own: a level
  // of the same J handed to `use` stays whole while this is called for a second opinion.
  SolvedLevel solve_plain_level(int32_t v, int32_t J, int32_t p);

  // The levels of J below the limit of its effective potential (below the top of its barrier
  // when that lies lower), by the node count of a solution at that energy; 0 without a well.
  int32_t bound_level_count(int32_t J);
  // The quasi-bound levels of J: those between the limit and the top of a barrier above it, by
  // the same node count; 0 without such a barrier.
  int32_t quasi_bound_level_count(int32_t J);

  const RadialGrid& grid() const { return grid_; }
  double mu() const { return mu_; }
  int32_t Lambda() const { return header_.Lambda; }
  const std::string& potential_file() const { return curve_.name; }

 private:
  void prepare_J(int32_t J);
  // The grid point of the barrier's top when it lies above the limit, else N.
  int barrier_end() const;
  // The curve's potential on the grid and what depends on it alone.
  void build_curve();
  // The offset of the plain run's search window, formed when first needed.
  double toadd();
  // The energy of parity p (the Lambda-doubling term), the level's kind and its wave function.
  void finish_level(SolvedLevel& level, std::span<const double> psi, LivePoints live);
  // The fast search's wave function Y (zero outside `live`) normalised into the buffer of its
  // scale's sign; false, and Y as it is, when it has no norm.
  bool normalise_fast(std::span<const double> Y, LivePoints live, std::span<const double>& psi);

  CurveDefinition curve_;
  SolveSettings settings_;
  RadialGrid grid_;
  PotentialHeader header_;
  double mu_ = 0.0;
  double Uinf_ = 0.0;
  // toadd is found on a forward grid by a solver of its own, as velk finds it.
  ToaddSearch toadd_search_;
  std::optional<double> toadd_;
  RadialSolver toadd_solver_;
  RadialSolver solver_;
  FastSearch fast_;
  std::vector<double> V_, Ueff_, Ueff_forward_, Ueff_toadd_, plain_psi_;
  // The wave functions of the fast search, copied and scaled only where they live. Outside, the
  // whole-grid product left a zero with the sign of the scale: one buffer for each sign, each
  // with the points its last level wrote, keeps those zeros (a table of wave functions prints
  // them) without clearing the grid for every level.
  struct LiveBuffer {
    std::vector<double> psi;
    LivePoints written;
  };
  LiveBuffer fast_psi_[2];
  std::optional<int32_t> prepared_J_;
  LevelWindow window_;
};

}  // namespace velk::props
