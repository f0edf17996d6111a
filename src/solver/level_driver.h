// The level-calculation driver: term energies of one electronic state from its potential curve.
//
// compute_levels checks the header of the request's curve (read from its file by the caller),
// computes the energy offset toadd from the two
// lowest vibrational levels at J = 0, tabulates the curve on the radial grid and then, for each J
// (outer), v and parity index Par (inner), solves the radial equation (once more with a tenth of
// the window when the correction is still too large), adds the Lambda-doubling term and hands the
// level to a sink: the level file, or a test's recorder. Radii in Å, energies in cm-1, masses in u.
//
// The console receives "OK", the "reading" line naming the curve's file, the builders' lines, the
// E1 E2 " toadd " line, "OK" and an empty line, then per J the " J=" line with the effective
// potential's and the solver's lines. The two "OK" lines and the name "toadd" are the program's
// established progress report; they stay as they are.
//
// Stops: "number of points must be less than 500" for a header with more than 500 points, a
// reduced mass that is not positive, a Lambda whose square leaves 32 bits, the builders' own stops,
// and "Umin >  Umax" for a J whose effective potential has no well (the levels handed on before
// stay written).
//
// Warnings (standard error, through the io warning sink; the console and the level file stay as
// they are): a listed level that did not converge or lies beyond the last level of its J (with
// the count of levels; those beyond the last gathered per run of J, level_digest.h), a wave
// function that has not died out at a grid end, a well of the first J shallower than its
// zero-point energy, and the state, grid and J of "Umin >  Umax".
//
// One driver lives for the run: it owns the grid arrays (potential and effective potential,
// twice: once for the levels, once for toadd), the potential builders and the solvers, all
// allocated once for the grid of the run (again only for a larger grid). It reads and writes no
// file: the levels go to the sink (the run's writes the level file, run/level_file_writer.h) and
// each build's extension-fit report goes to DriverOptions::on_extension_report. toadd is always
// found on a forward grid, by the same solver that solves the levels of a forward run, so that the
// joint it remembers carries over as the run has it.
//
// In the fast mode the levels of a J are solved together by FastSearch, once the J's window is
// built; each level goes through the same Lambda term, listing rule, checks and sink. A level the
// fast search does not find is solved by the exact search exactly as in the default mode, so
// its row and its warning are the default mode's; toadd, which only that search uses, is formed
// (with its console lines) before the first such level, and never when there is none. A J whose
// levels the fast search cannot number (numbering_certain) is solved by the exact search whole,
// with a warning: its rows are the default mode's. The fast search of a J depends on nothing but
// the J, so on several threads workers search the J ahead, each with its own search; the levels
// they hand to the exact search are solved in turn on the calling thread, as on one thread.
//
// Attempts apart. The levels of each J are first attempted apart, on a worker's own solver, while
// the worker pool records what they print. An attempt reads only what is fixed before the pool
// starts: the request, the tabulated curve, its mass, Lambda, q1, q2, Uinf and toadd (a plain
// value, formed before the first J). The one thing a level takes from the levels before it is the
// joint that the run's solver remembers: a pass from the top that meets no maximum joins there. An
// attempt is therefore unusable, and its J computed again in turn by the run's solver (which
// reproduces the sequential run exactly, pauses and stops included), when
//   - a pass from the top missed its joint: the worker's solver does not remember the run's joint;
//   - a numerical failure occurred: the run pauses on it, in turn;
//   - the J stops the run ("Umin >  Umax"): the levels before it must be written first.
// A usable attempt is handed on as if it had been computed in turn, its recorded output replayed,
// and leaves the joint it ended with to the run's solver. Every other place that relies on this
// refers here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/output_recording.h"
#include "numlib/failure_policy.h"
#include "pec/potential_builder.h"
#include "solver/fast_search.h"
#include "solver/iteration_cache.h"
#include "solver/lane_iterations.h"
#include "solver/level_digest.h"
#include "solver/level_record.h"
#include "solver/level_table_request.h"
#include "solver/level_window.h"
#include "solver/radial_solver.h"
#include "solver/toadd.h"
#include "solver/wall_steps.h"

namespace velk {

// exact: the search whose history the level files document; fast: FastSearch, the same
// energies within the tolerance, with the fast search's own history.
enum class SearchMode { exact, fast };

struct DriverOptions {
  GridOrientation orientation = GridOrientation::forward;
  // Where the numerical routines report a failure (the run pauses).
  NumericalFailureHandler on_failure = throw_on_numerical_failure;
  // Receives the report of the extension fit of each build of a curve, toadd's included (the run
  // writes potext.out).
  ExtensionReportHandler on_extension_report = {};
  // Threads that compute the levels of successive J ahead while the calling thread writes them in
  // order; 1 computes everything on the calling thread. The output is the same for every count.
  int threads = 1;
  // Every J computed in turn by the run's solver, without attempts apart, vector lanes or threads:
  // the reference that the faster ways must equal byte for byte.
  bool in_turn_only = false;
  SearchMode mode = SearchMode::exact;
  // Every warning on a level beyond the last of its J, and every J that the fast search left to
  // the exact search, on a line of its own instead of one line per run of J (level_digest.h).
  bool verbose = false;
};

// Work done by the solvers since the driver was made: for timing the solver per grid point.
struct SolveStatistics {
  int64_t solves = 0;
  int64_t iterations = 0;        // energy iterations (kturn) summed over the solves
  int64_t point_iterations = 0;  // grid points integrated per iteration, summed
};

class LevelDriver {
 public:
  explicit LevelDriver(DriverOptions options);

  // Computes the levels of `request` and hands them to `sink`.
  void compute_levels(const LevelTableRequest& request, LevelSink& sink);

  // (E2 - E1)/3 of the levels v = 1 and 2 at J = 0 with the first reduced mass, on a forward grid.
  double compute_toadd(const CurveDefinition& curve, const RadialGrid& grid);
  // The stops of compute_toadd (the header, the first mass, Lambda, no well at J = 0) without its
  // two solves: a caller that forms toadd only when a level needs it stops where one that forms
  // it at once does.
  void check_toadd_curve(const CurveDefinition& curve, const RadialGrid& grid);

  const SolveStatistics& statistics() const { return statistics_; }

  ~LevelDriver();
  LevelDriver(const LevelDriver&) = delete;
  LevelDriver& operator=(const LevelDriver&) = delete;

 private:
  struct ToaddOnDemand;
  // What one J's levels are computed with: a solver, the effective potential's array, the cache of
  // its iterations and the statistics they add to.
  struct Workspace {
    RadialSolver& solver;
    std::vector<double>& Ueff;
    IterationCache& cache;
    SolveStatistics& statistics;
    // An attempt apart (see "Attempts apart" above): abandoned as soon as it depends on what came
    // before it. Its searches are followed together first, their iterations computed in lanes.
    bool attempt = false;
    LaneIterations* lanes = nullptr;
    std::vector<SolveRequest>* requests = nullptr;
    // Workers 1 .. helpers share the following of the searches on threads of their own, for a
    // request of a single J, whose levels would otherwise leave them idle.
    int helpers = 0;
    // The fast search, in the fast mode (the run's own workspace only).
    FastSearch* fast = nullptr;
    // In the fast mode toadd is formed when a level first needs it (the run's own workspace only).
    ToaddOnDemand* toadd_on_demand = nullptr;
  };
  struct Worker;
  struct RequestInputs;
  class LevelOutput;
  class ImmediateOutput;
  class RecordedOutput;
  struct Attempt;
  struct PreparedJ;
  struct AheadSlot;

  // The levels of one J: the J line, the effective potential, then each level with its console
  // lines and warnings, handed to `out` in loop order.
  // `prepared`: the J's effective potential, made ahead (the fast mode on several threads).
  void levels_of_J(const RequestInputs& in, int64_t J, Workspace& ws, LevelOutput& out,
                   const PreparedJ* prepared = nullptr) const;
  Attempt attempt_J(const RequestInputs& in, int64_t J, Worker& worker, int helpers,
                    OutputRecording& recording) const;

  // Follows the first solves of a J's levels together, so that their iterations are cached before
  // the levels are solved in turn.
  void prefetch_levels(const RequestInputs& in, const LevelWindow& window, Workspace& ws) const;

  // One level by the exact search; the record's listing fields are left to the caller.
  // `ends` receives the grid ends of its wave function that have not died out.
  static LevelRecord exact_record(const RequestInputs& in, const LevelWindow& window, double toadd,
                                  int32_t v, Workspace& ws, std::optional<double>& tunnel,
                                  GridEnds& ends);
  static FastJRequest fast_request(const RequestInputs& in, int32_t J, const LevelWindow& window);
  // A level the fast search found; the record's listing fields are left to the caller.
  static LevelRecord fast_record(const FastLevel& fast, Workspace& ws,
                                 std::optional<double>& tunnel, GridEnds& ends);

  // The curve behind toadd (mass 1, J = 0, forward) in Vtoadd_ and Ueff_toadd_, and the first
  // window of its two solves.
  // With a record, the build is kept for replay_build.
  struct BuildRecord;
  ToaddSearch toadd_curve(const CurveDefinition& curve, const RadialGrid& grid,
                          BuildRecord* record = nullptr);
  void record_build(const CurveDefinition& curve, const RadialGrid& grid, BuildRecord& record);
  // The curve of the levels is the curve behind toadd: the same definition on the same grid gives
  // the same values, lines and reports, so it is taken over rather than built again, and what its
  // build printed and reported is given again at the place of the second build.
  double replay_build(const BuildRecord& record, const RadialGrid& grid);
  // What a build printed and reported, given again in its place.
  void give_again(const BuildRecord& record);
  double build_curve(const CurveDefinition& curve, std::vector<double>& V, const RadialGrid& grid);

  Workspace run_workspace();
  // The grid arrays are sized to the grids the run uses (pec/radial_grid.h, fit_grid_slots).
  void fit_grid(int32_t N);

  DriverOptions options_;
  PotentialBuilder builder_;
  RadialSolver forward_;
  RadialSolver reversed_;
  IterationCache cache_;
  std::optional<FastSearch> fast_;  // made for the fast mode only
  SolveStatistics statistics_;
  std::vector<double> Vgrid_, Ueff_, Vtoadd_, Ueff_toadd_;
  // The last curve behind toadd, while Vtoadd_ and Ueff_toadd_ hold it: a later request of the
  // same curve on the same grid (a transition run asks for a state's level files one after
  // another) takes it over, with its record given again, instead of building it anew.
  struct KeptBuild;
  std::unique_ptr<KeptBuild> kept_build_;
  // The grids already judged too deep in the wall, by state.
  WallStepCheck wall_steps_;
  std::vector<std::unique_ptr<Worker>> workers_;
  // The fast mode's J searched ahead: one slot more than the pool may run ahead of the J being
  // taken up, so that no slot is filled while its J is taken up; a search per worker.
  std::vector<AheadSlot> ahead_;
  std::vector<std::unique_ptr<FastSearch>> fast_searches_;
};

}  // namespace velk
