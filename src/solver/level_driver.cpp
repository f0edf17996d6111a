#include "solver/level_driver.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <sstream>
#include <thread>
#include <utility>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/output_recording.h"
#include "io/warning.h"
#include "numlib/constants.h"
#include "pec/potential_header.h"
#include "solver/curve_checks.h"
#include "solver/effective_potential.h"
#include "solver/exact_level.h"
#include "solver/landmarks.h"
#include "solver/level_checks.h"
#include "solver/level_verdict.h"
#include "solver/ordered_jobs.h"

namespace velk {
namespace {

// "state A (na2x.pot)": how warnings name the state of a request.
std::string state_name(const LevelTableRequest& request) {
  std::string name = request.state.empty() ? "state" : "state " + request.state;
  return name + " (" + trimmed_file_name(request.curve.name) + ")";
}

// Thrown out of an attempt at a J that turns out to depend on what was computed before it (see
// "Attempts apart" in level_driver.h).
struct AttemptDependsOnOrder {};

void abandon_on_failure(std::string_view) {
  throw AttemptDependsOnOrder();
}

}  // namespace

// A worker's own solver and arrays, made once for the run.
struct LevelDriver::Worker {
  explicit Worker(GridOrientation orientation) : solver(orientation, abandon_on_failure) {}
  RadialSolver solver;
  std::vector<double> Ueff;
  IterationCache cache;
  SolveStatistics statistics;
  LaneIterations lanes;
  std::vector<SolveRequest> requests;
};

// What the first build of a request's curve gave: its asymptote, what it printed, its extension
// reports in order (none for the start of a fit) and whether it called the failure handler.
struct LevelDriver::BuildRecord {
  double Uinf = kUinfUnset;
  std::vector<OutputRecording::Entry> output;
  std::vector<std::optional<ExtensionReport>> reports;
  bool failure_seen = false;
  bool replayable = false;
};

struct LevelDriver::KeptBuild {
  CurveDefinition curve;
  RadialGrid grid;
  BuildRecord record;
  ToaddSearch search;
  bool holds(const CurveDefinition& other, const RadialGrid& other_grid) const {
    return same_curve(curve, other) && grid.Rmin == other_grid.Rmin &&
           grid.Rmax == other_grid.Rmax && grid.N == other_grid.N;
  }
};

// The inputs of a request that every J shares.
struct LevelDriver::RequestInputs {
  const LevelTableRequest& request;
  double mu = 0.0;
  int32_t Lambda = 0;
  float q1 = 0.0f, q2 = 0.0f;
  double Uinf = kUinfUnset;
  // Formed before the first J in the default mode; in the fast mode, which hands levels to the
  // exact search only on the calling thread, left to the run's workspace (ToaddOnDemand) until a
  // level needs it.
  std::optional<double> toadd = std::nullopt;
};

// toadd of the fast mode, with its console line where the first level that needs it is solved.
struct LevelDriver::ToaddOnDemand {
  RadialSolver& forward;
  std::span<const double> Ueff;
  const RadialGrid& grid;
  ToaddSearch search;
  std::optional<double> toadd = std::nullopt;
  double value() {
    if (!toadd) toadd = solve_toadd(forward, Ueff, grid, search);
    return *toadd;
  }
};

// Where the levels of a J go, in loop order: each solved level's tunnelling figure (a quasi-bound
// level is listed with the figure of the last solve that had one) and each listed level's record.
// The warnings that go to the state's digest travel the same way, so that the digest receives them
// in the order of J whichever thread computed them.
class LevelDriver::LevelOutput {
 public:
  virtual ~LevelOutput() = default;
  virtual void solved(const std::optional<double>& tunnel) = 0;
  virtual void listed(LevelRecord& record) = 0;
  virtual void beyond_last(LevelBeyondLast level) = 0;
  virtual void fast_set_aside(int32_t J) = 0;
  virtual void too_broad(BroadLevel level) = 0;
  // The run stops at this J: what is held goes out before the stop's own warning.
  virtual void before_stop() = 0;
};

// The levels go to the sink at once, numbered and given their figure.
class LevelDriver::ImmediateOutput final : public LevelOutput {
 public:
  ImmediateOutput(LevelSink& sink, LevelWarningDigest& digest) : sink_(sink), digest_(digest) {}
  void solved(const std::optional<double>& tunnel) override {
    if (tunnel) tunnel_ = tunnel;
  }
  void listed(LevelRecord& record) override {
    record.iline = iline_++;
    record.tunnel = tunnel_.value_or(0.0);
    sink_.level(record);
  }
  void beyond_last(LevelBeyondLast level) override { digest_.beyond_last(std::move(level)); }
  void fast_set_aside(int32_t J) override { digest_.fast_set_aside(J); }
  void too_broad(BroadLevel level) override { digest_.too_broad(std::move(level)); }
  void before_stop() override { digest_.flush(); }

 private:
  LevelSink& sink_;
  LevelWarningDigest& digest_;
  int64_t iline_ = 1;
  std::optional<double> tunnel_;
};

// What an attempt at one J produced, held back until its turn.
struct LevelDriver::Attempt {
  bool usable = false;
  struct Event {
    enum class Kind { solved, listed, beyond_last, too_broad } kind = Kind::solved;
    std::optional<double> tunnel;
    LevelRecord record;
    LevelBeyondLast beyond;
    BroadLevel broad;
  };
  std::vector<Event> events;  // the marks of the recorded output index these
  bool solved_any = false;
  int32_t kmatch = 0;  // the joint the attempt's solver ended with
  SolveStatistics statistics;
  // The fast mode's: the J's effective potential made ahead, in the pool's slot of the job, and
  // its window; the recorded output is what making it printed.
  std::optional<LevelWindow> prepared;
};

// The effective potential of a J made ahead on a worker, for the calling thread to take over at
// the place where it would have made it, with the lines making it printed.
struct LevelDriver::PreparedJ {
  std::vector<double>& Ueff;
  LevelWindow window;
  std::span<const OutputRecording::Entry> output;
  // The J's levels by the fast search, unless a failure left them to be searched in turn.
  std::optional<std::span<const FastLevel>> fast_levels;
};

// What a worker made ahead for one J of the fast mode.
struct LevelDriver::AheadSlot {
  std::vector<double> Ueff;
  std::vector<FastLevel> levels;
  bool searched = false;
};

// The levels are kept, each at a mark among the recorded lines.
class LevelDriver::RecordedOutput final : public LevelOutput {
 public:
  RecordedOutput(OutputRecording& recording, Attempt& attempt)
      : recording_(recording), attempt_(attempt) {}
  void solved(const std::optional<double>& tunnel) override {
    push({Attempt::Event::Kind::solved, tunnel, LevelRecord{}, {}, {}});
  }
  void listed(LevelRecord& record) override {
    push({Attempt::Event::Kind::listed, std::nullopt, record, {}, {}});
  }
  void beyond_last(LevelBeyondLast level) override {
    push({Attempt::Event::Kind::beyond_last, std::nullopt, LevelRecord{}, std::move(level), {}});
  }
  void too_broad(BroadLevel level) override {
    push({Attempt::Event::Kind::too_broad, std::nullopt, LevelRecord{}, {}, std::move(level)});
  }
  // Only the fast mode sets a J aside, and it computes every J in turn.
  void fast_set_aside(int32_t) override { throw AttemptDependsOnOrder(); }
  // A stop is computed again in turn.
  void before_stop() override {}

 private:
  void push(Attempt::Event event) {
    recording_.mark(static_cast<int>(attempt_.events.size()));
    attempt_.events.push_back(std::move(event));
  }
  OutputRecording& recording_;
  Attempt& attempt_;
};

LevelDriver::LevelDriver(DriverOptions options)
    : options_(std::move(options)),
      forward_(GridOrientation::forward, options_.on_failure),
      reversed_(GridOrientation::reversed, options_.on_failure) {
  if (options_.mode == SearchMode::fast) fast_.emplace(options_.orientation, options_.on_failure);
}

LevelDriver::~LevelDriver() = default;

LevelDriver::Workspace LevelDriver::run_workspace() {
  RadialSolver& solver = options_.orientation == GridOrientation::forward ? forward_ : reversed_;
  return Workspace{solver, Ueff_, cache_, statistics_, false};
}

void LevelDriver::compute_levels(const LevelTableRequest& request, LevelSink& sink) {
  const CurveDefinition& definition = request.curve;
  const RadialGrid& grid = request.grid;
  fit_grid(grid.N);
  console_line(FreeLine() << "OK");
  console_line(format_line("(A8,A12)", {std::string("reading"), padded_name(definition.name)}));
  const PotentialHeader& header = checked_header(definition);
  require_positive_mass(trimmed_file_name(definition.name), header, request.mass_index);
  require_representable_Lambda(trimmed_file_name(definition.name), header);

  RequestInputs in{request};
  BuildRecord first_build;
  // toadd places the exact search's window. Its curve is built (and checked) here in both
  // modes; the fast search needs toadd itself only for a level it hands to the exact search.
  ToaddSearch toadd_window;
  try {
    toadd_window = toadd_curve(definition, grid, &first_build);
    if (!fast_) in.toadd = solve_toadd(forward_, Ueff_toadd_, grid, toadd_window);
  } catch (const StopRun& stop) {
    if (std::string_view(stop.what()) == "Umin >  Umax") warn_no_well(state_name(request), grid, 0);
    throw;
  }
  ToaddOnDemand toadd_on_demand{forward_, Ueff_toadd_, grid, toadd_window, std::nullopt};
  console_line(FreeLine() << "OK");
  console_line(FreeLine());

  in.mu = header.masses[static_cast<std::size_t>(request.mass_index - 1)];
  in.Lambda = header.Lambda;
  in.q1 = static_cast<float>(header.q1);
  in.q2 = static_cast<float>(header.q2);
  in.Uinf = first_build.replayable ? replay_build(first_build, grid)
                                   : build_curve(definition, Vgrid_, grid);
  wall_steps_.check(request, Vgrid_, in.mu, in.Lambda, state_name(request));

  sink.begin(request);
  LevelWarningDigest digest(state_name(request), options_.verbose);
  ImmediateOutput out(sink, digest);
  Workspace run = run_workspace();
  if (fast_) {
    fast_->begin(grid, request.v);
    run.fast = &*fast_;
    run.toadd_on_demand = &toadd_on_demand;
  }
  const int count = request.J.last >= request.J.first
                        ? static_cast<int>(int64_t{request.J.last} - request.J.first + 1)
                        : 0;
  const bool in_turn = options_.in_turn_only || fast_;
  // No more threads than J, except that a single J (a transition run asks for one J at a time)
  // has its levels shared out among them.
  const int threads =
      in_turn ? 1 : std::max(1, count == 1 ? options_.threads : std::min(options_.threads, count));
  const int helpers = count == 1 ? threads - 1 : 0;
  // The fast search of a J depends on that J alone, so its J are searched on separate threads,
  // each with a search and an effective potential of its own; the calling thread takes them up in
  // order of J, and solves in turn whatever they hand to the exact search, whose solver remembers
  // its joint from level to level. Each J made ahead waits in a slot of its own.
  const int fast_workers = fast_ && !options_.in_turn_only && count > 1 && options_.threads > 1 &&
                                   request.v.first <= request.v.last &&
                                   request.Par.first <= request.Par.last
                               ? std::min(options_.threads, count)
                               : 0;
  const int fast_ahead = 2 * fast_workers;
  if (fast_workers > 0) {
    const std::size_t slots = static_cast<std::size_t>(fast_ahead + 1);
    if (ahead_.size() < slots) ahead_.resize(slots);
    for (AheadSlot& slot : ahead_) fit_grid_slots(slot.Ueff, grid.N);
    while (fast_searches_.size() < static_cast<std::size_t>(fast_workers)) {
      fast_searches_.push_back(
          std::make_unique<FastSearch>(options_.orientation, abandon_on_failure));
    }
    for (const std::unique_ptr<FastSearch>& search : fast_searches_) search->begin(grid, request.v);
  }
  const auto ahead_slot = [&](int k) -> AheadSlot& {
    return ahead_[static_cast<std::size_t>(k % (fast_ahead + 1))];
  };
  // Workers are made when first needed, each once for the run.
  while (!in_turn && workers_.size() < static_cast<std::size_t>(threads)) {
    workers_.push_back(std::make_unique<Worker>(options_.orientation));
  }
  for (const std::unique_ptr<Worker>& worker : workers_) fit_grid_slots(worker->Ueff, grid.N);
  // The warnings held by the digest are given when the run ends otherwise, too.
  struct FlushAtEnd {
    LevelWarningDigest& digest;
    ~FlushAtEnd() { digest.flush(); }
  } flush_at_end{digest};
  run_in_order<Attempt>(
      count,
      fast_workers > 0 ? fast_workers
      : helpers > 0    ? 1
                       : threads,
      fast_workers > 0 ? fast_ahead : 4 * threads,
      [&](int k, int worker, OutputRecording& recording) {
        if (fast_workers > 0) {
          Attempt attempt;
          AheadSlot& slot = ahead_slot(k);
          const int64_t J = request.J.first + k;
          effective_potential(Vgrid_, slot.Ueff, grid, in.mu, static_cast<int>(J), in.Lambda,
                              options_.orientation);
          const LevelWindow w = level_window(slot.Ueff, grid.N, options_.orientation, in.Uinf);
          attempt.prepared = w;
          slot.searched = false;
          if (!w.has_well()) return attempt;
          try {
            FastSearch& search = *fast_searches_[static_cast<std::size_t>(worker)];
            const std::span<const FastLevel> levels =
                search.solve_J(slot.Ueff, fast_request(in, static_cast<int32_t>(J), w));
            slot.levels.assign(levels.begin(), levels.end());
            slot.searched = true;
          } catch (...) {
            // A numerical failure pauses the run: the J is searched again in turn, where the
            // failure takes its course.
          }
          return attempt;
        }
        if (in_turn) return Attempt{};
        return attempt_J(in, request.J.first + k, *workers_[static_cast<std::size_t>(worker)],
                         helpers, recording);
      },
      [&](int k, RecordedJob<Attempt>& job) {
        const int64_t J = request.J.first + k;
        Attempt& attempt = job.result;
        if (attempt.prepared) {
          AheadSlot& slot = ahead_slot(k);
          const PreparedJ prepared{slot.Ueff, *attempt.prepared, job.output,
                                   slot.searched
                                       ? std::optional<std::span<const FastLevel>>(slot.levels)
                                       : std::nullopt};
          levels_of_J(in, J, run, out, &prepared);
          return;
        }
        if (in_turn || !attempt.usable) {
          levels_of_J(in, J, run, out);
          return;
        }
        replay_output(job.output, [&](int mark) {
          Attempt::Event& event = attempt.events[static_cast<std::size_t>(mark)];
          switch (event.kind) {
            case Attempt::Event::Kind::listed:
              out.listed(event.record);
              break;
            case Attempt::Event::Kind::solved:
              out.solved(event.tunnel);
              break;
            case Attempt::Event::Kind::beyond_last:
              out.beyond_last(std::move(event.beyond));
              break;
            case Attempt::Event::Kind::too_broad:
              out.too_broad(std::move(event.broad));
              break;
          }
        });
        if (attempt.solved_any) run.solver.set_kmatch(attempt.kmatch);
        statistics_.solves += attempt.statistics.solves;
        statistics_.iterations += attempt.statistics.iterations;
        statistics_.point_iterations += attempt.statistics.point_iterations;
      });
  sink.end();
}

LevelDriver::Attempt LevelDriver::attempt_J(const RequestInputs& in, int64_t J, Worker& worker,
                                            int helpers, OutputRecording& recording) const {
  Attempt attempt;
  worker.statistics = SolveStatistics{};
  Workspace ws{worker.solver, worker.Ueff,   worker.cache,     worker.statistics,
               true,          &worker.lanes, &worker.requests, helpers};
  try {
    RecordedOutput out(recording, attempt);
    levels_of_J(in, J, ws, out);
  } catch (...) {
    // Computed again in turn, where the failure or stop takes its course.
    return Attempt{};
  }
  attempt.usable = true;
  attempt.solved_any = worker.statistics.solves > 0;
  attempt.kmatch = worker.solver.kmatch();
  attempt.statistics = worker.statistics;
  return attempt;
}

void LevelDriver::levels_of_J(const RequestInputs& in, int64_t J, Workspace& ws, LevelOutput& out,
                              const PreparedJ* prepared) const {
  const LevelTableRequest& request = in.request;
  const RadialGrid& grid = request.grid;
  const std::string state = state_name(request);
  const LevelCheckSetting checks{state, grid, in.mu, options_.orientation};
  console_line(format_line("(A3,I5)", {std::string("J="), J}));
  PoorLevelCount poor(request.tol);
  ws.cache.clear();
  // The effective potential and its window are built once per J, before its first level.
  std::optional<LevelWindow> window;
  // The fast search solves all v of the J at once, when the first level is due; a J whose levels
  // it cannot number goes to the exact search whole.
  std::span<const FastLevel> fast_levels;
  // One more than the highest v found below the window's top.
  int32_t levels_found = 0;
  for (int64_t v = request.v.first; v <= request.v.last; ++v) {
    for (int64_t Par = request.Par.first; Par <= request.Par.last; ++Par) {
      if (!window) {
        LevelWindow w;
        if (prepared != nullptr) {
          // The slot keeps the buffer given for it, to be filled again for a later J.
          ws.Ueff.swap(prepared->Ueff);
          replay_output(prepared->output, [](int) {});
          w = prepared->window;
        } else {
          effective_potential(Vgrid_, ws.Ueff, grid, in.mu, static_cast<int>(J), in.Lambda,
                              options_.orientation);
          w = level_window(ws.Ueff, grid.N, options_.orientation, in.Uinf);
        }
        if (!w.has_well()) {
          out.before_stop();
          warn_no_well(state, grid, J);
          throw StopRun("Umin >  Umax");
        }
        window = w;
        if (J == request.J.first) warn_about_well_depth(checks, w, ws.Ueff);
        if (ws.lanes) prefetch_levels(in, w, ws);
        if (ws.fast) {
          fast_levels =
              prepared != nullptr && prepared->fast_levels
                  ? *prepared->fast_levels
                  : ws.fast->solve_J(ws.Ueff, fast_request(in, static_cast<int32_t>(J), w));
          if (!numbering_certain(fast_levels)) {
            fast_levels = {};
            out.fast_set_aside(static_cast<int32_t>(J));
          }
        }
      }
      const FastLevel* fast_level =
          fast_levels.empty() ? nullptr
                              : &fast_levels[static_cast<std::size_t>(v - request.v.first)];
      const bool fast_found = fast_level != nullptr && fast_level->found;
      std::optional<double> tunnel;
      GridEnds ends;
      LevelRecord level;
      if (fast_found) {
        level = fast_record(*fast_level, ws, tunnel, ends);
      } else {
        const double toadd = in.toadd ? *in.toadd : ws.toadd_on_demand->value();
        level = exact_record(in, *window, toadd, static_cast<int32_t>(v), ws, tunnel, ends);
      }
      out.solved(tunnel);
      level.E = listed_energy(level.E, in.Lambda, in.q1, in.q2, J, Par);
      if (!poor.admit(level.results)) continue;
      level.J = static_cast<int32_t>(J);
      level.Par = static_cast<int32_t>(Par);
      const LevelVerdict verdict =
          judge_level(level.E, level.v, level.results, *window, request.tol);
      level.quasi_bound = verdict.quasi_bound;
      level.Umax = window->Umax;
      level.Ulim = window->Ulim;
      if (verdict.found && level.E < window->Umax)
        levels_found = std::max(levels_found, level.v + 1);
      warn_about_ends(checks, level.v, level.J, verdict, ends);
      if (std::optional<MissingLevel> missing = missing_level(
              checks, level.v, level.J, level.results, verdict, *window, ws.Ueff, levels_found)) {
        if (missing->beyond_last) {
          out.beyond_last({level.v, level.J, missing->count, std::move(missing->text)});
        } else {
          warn(missing->text);
        }
      }
      warn_if_never_joined(state_name(request), level, request.tol);
      if (verdict.found) {
        if (std::optional<BroadLevel> broad = too_broad(state, level, tunnel, request.tol)) {
          out.too_broad(std::move(*broad));
        }
      }
      out.listed(level);
    }
  }
}

FastJRequest LevelDriver::fast_request(const RequestInputs& in, int32_t J,
                                       const LevelWindow& window) {
  const LevelTableRequest& request = in.request;
  return {J, request.v, in.mu, request.tol, request.maxit, window.Umin, window.Umax, window.Ulim};
}

void LevelDriver::prefetch_levels(const RequestInputs& in, const LevelWindow& window,
                                  Workspace& ws) const {
  const LevelTableRequest& request = in.request;
  const SearchLimits limits{request.tol, request.maxit};
  // Level v goes to part (v - first) mod parts, so that each part holds deep and high levels.
  const int parts = 1 + ws.helpers;
  const auto share = [&](std::vector<SolveRequest>& requests, int part) {
    requests.clear();
    for (int64_t v = request.v.first + part; v <= request.v.last; v += parts) {
      requests.push_back(first_solve(window, *in.toadd, static_cast<int32_t>(v), limits));
    }
  };
  std::atomic<bool> failed = false;
  {
    std::vector<std::jthread> threads;
    {
      const SignalsKeptFromNewThreads interrupts_stay_here;
      for (int part = 1; part < parts; ++part) {
        Worker& helper = *workers_[static_cast<std::size_t>(part)];
        share(helper.requests, part);
        threads.emplace_back([&, &helper = helper] {
          try {
            // What a helper would print belongs to an attempt that is abandoned anyway.
            OutputRecording discarded;
            helper.cache.clear();
            if (!helper.solver.prefetch(ws.Ueff, request.grid, in.mu, helper.requests, helper.cache,
                                        helper.lanes)) {
              failed = true;
            }
          } catch (...) {
            failed = true;
          }
        });
      }
    }
    share(*ws.requests, 0);
    if (!ws.solver.prefetch(ws.Ueff, request.grid, in.mu, *ws.requests, ws.cache, *ws.lanes)) {
      failed = true;
    }
  }
  if (failed) throw AttemptDependsOnOrder();
  for (int part = 1; part < parts; ++part) {
    ws.cache.merge(workers_[static_cast<std::size_t>(part)]->cache);
  }
}

LevelRecord LevelDriver::fast_record(const FastLevel& fast, Workspace& ws,
                                     std::optional<double>& tunnel, GridEnds& ends) {
  ends = fast.ends;
  LevelRecord level;
  level.v = fast.v;
  level.E = fast.E;
  level.Ein = fast.Ein;
  level.delE = fast.delE;
  level.results = fast.results;
  if (fast.tunnel) tunnel = fast.tunnel;
  ++ws.statistics.solves;
  ws.statistics.iterations += fast.results.kturn;
  ws.statistics.point_iterations += fast.points_integrated;
  return level;
}

LevelRecord LevelDriver::exact_record(const RequestInputs& in, const LevelWindow& window,
                                      double toadd, int32_t v, Workspace& ws,
                                      std::optional<double>& tunnel, GridEnds& ends) {
  const LevelTableRequest& request = in.request;
  ExactLevelOptions options;
  options.cache = &ws.cache;
  options.stop_at_missed_joint = ws.attempt;
  const ExactLevel exact =
      solve_exact_level(ws.solver, ws.Ueff, request.grid, in.mu,
                        first_solve(window, toadd, v, {request.tol, request.maxit}), options);
  if (exact.joint_missed && ws.attempt) throw AttemptDependsOnOrder();
  LevelRecord level;
  level.v = v;
  level.E = exact.E;
  level.Ein = exact.Ein;
  level.delE = exact.delE;
  level.results = exact.results;
  level.never_joined = exact.never_joined;
  ends = exact.ends;
  if (exact.tunnel) tunnel = exact.tunnel;
  ws.statistics.solves += exact.solves;
  ws.statistics.iterations += exact.iterations;
  ws.statistics.point_iterations += exact.iterations * request.grid.N;
  return level;
}

void LevelDriver::fit_grid(int32_t N) {
  for (std::vector<double>* array : {&Vgrid_, &Ueff_, &Vtoadd_, &Ueff_toadd_})
    fit_grid_slots(*array, N);
}

double LevelDriver::compute_toadd(const CurveDefinition& definition, const RadialGrid& grid) {
  fit_grid(grid.N);
  return solve_toadd(forward_, Ueff_toadd_, grid, toadd_curve(definition, grid));
}

void LevelDriver::check_toadd_curve(const CurveDefinition& definition, const RadialGrid& grid) {
  fit_grid(grid.N);
  toadd_curve(definition, grid);
}

double LevelDriver::build_curve(const CurveDefinition& definition, std::vector<double>& V,
                                const RadialGrid& grid) {
  return builder_.build(definition, V, grid, {options_.on_failure, options_.on_extension_report});
}

ToaddSearch LevelDriver::toadd_curve(const CurveDefinition& definition, const RadialGrid& grid,
                                     BuildRecord* record) {
  const PotentialHeader& header = checked_header(definition);
  require_positive_mass(trimmed_file_name(definition.name), header, 1);
  require_representable_Lambda(trimmed_file_name(definition.name), header);
  if (record != nullptr && kept_build_ && kept_build_->holds(definition, grid)) {
    *record = kept_build_->record;
    give_again(*record);
    // toadd's J = 0 curve from the same build is in Ueff_toadd_ still.
    print_effective_potential_line();
    return kept_build_->search;
  }
  kept_build_.reset();
  if (record == nullptr) {
    build_curve(definition, Vtoadd_, grid);
    return toadd_search(Vtoadd_, Ueff_toadd_, grid, header.masses[0], header.Lambda);
  }
  record_build(definition, grid, *record);
  const ToaddSearch search =
      toadd_search(Vtoadd_, Ueff_toadd_, grid, header.masses[0], header.Lambda);
  if (record->replayable && !definition.source.empty()) {
    kept_build_ = std::make_unique<KeptBuild>(KeptBuild{definition, grid, *record, search});
  }
  return search;
}

void LevelDriver::record_build(const CurveDefinition& definition, const RadialGrid& grid,
                               BuildRecord& record) {
  std::optional<OutputRecording> recording(std::in_place);
  // What the build printed so far goes out before a pause, which writes and reads the console
  // itself; such a build is not repeated from its record, since the pause may act on its own.
  const auto release = [&] {
    if (!recording) return;
    record.output = recording->take();
    recording.reset();
    replay_output(record.output, [](int) {});
  };
  const NumericalFailureHandler on_failure = [&](std::string_view message) {
    release();
    record.failure_seen = true;
    options_.on_failure(message);
  };
  ExtensionReportHandler on_report;
  on_report.fit_starts = [&] {
    record.reports.emplace_back(std::nullopt);
    options_.on_extension_report.fit_starts();
  };
  on_report.report = [&](const ExtensionReport& report) {
    record.reports.emplace_back(report);
    options_.on_extension_report.report(report);
  };
  try {
    record.Uinf = builder_.build(definition, Vtoadd_, grid, {on_failure, on_report});
  } catch (...) {
    release();
    throw;
  }
  release();
  record.replayable = !record.failure_seen;
}

double LevelDriver::replay_build(const BuildRecord& record, const RadialGrid& grid) {
  give_again(record);
  std::copy_n(Vtoadd_.begin(), grid.N + 1, Vgrid_.begin());
  return record.Uinf;
}

void LevelDriver::give_again(const BuildRecord& record) {
  replay_output(record.output, [](int) {});
  for (const std::optional<ExtensionReport>& event : record.reports) {
    if (event) {
      options_.on_extension_report.report(*event);
    } else {
      options_.on_extension_report.fit_starts();
    }
  }
}

}  // namespace velk
