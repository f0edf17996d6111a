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
#include "solver/effective_potential.h"
#include "solver/landmarks.h"
#include "solver/level_checks.h"
#include "solver/ordered_jobs.h"

namespace velk {
namespace {

constexpr int32_t kMaxHeaderPoints = 500;
// The two solves behind toadd need only a rough energy.
constexpr int32_t kToaddMaxit = 20;
constexpr double kToaddTol = 0.1;
// 46340² = 2147395600 is the last square below 2^31.
constexpr int32_t kLargestLambda = 46340;

// The header as the driver reads it: the point count is checked before the rest is read.
const PotentialHeader& checked_header(const CurveDefinition& curve) {
  return curve.checked_header(kMaxHeaderPoints);
}

// Stops the run unless reduced mass `index` (1..5) of the header is positive: the centrifugal term
// and the Numerov step divide by it or scale with it, and a mass of zero or below has no levels.
void require_positive_mass(const std::string& name, const PotentialHeader& header, int32_t index) {
  const double mu = header.masses[static_cast<std::size_t>(index - 1)];
  if (mu > 0.0) return;
  std::ostringstream text;
  text << "velk: " << name << ": reduced mass " << index << " must be positive, found " << mu;
  throw StopRun(text.str());
}

// Stops the run unless Lambda² fits a 32-bit integer: the centrifugal term forms J(J+1) - Lambda²
// in 32-bit integers, and a larger Lambda would wrap round to a term of the wrong size and sign.
void require_representable_Lambda(const std::string& name, const PotentialHeader& header) {
  if (header.Lambda >= -kLargestLambda && header.Lambda <= kLargestLambda) return;
  throw StopRun("velk: " + name + ": Lambda = " + std::to_string(header.Lambda) +
                " is too large; J(J+1) - Lambda^2 is formed in 32-bit integers, which hold "
                "Lambda = -46340 to 46340");
}

// "state A (na2x.pot)": how warnings name the state of a request.
std::string state_name(const LevelTableRequest& request) {
  std::string name = request.state.empty() ? "state" : "state " + request.state;
  return name + " (" + trimmed_file_name(request.curve.name) + ")";
}

std::string printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Index of the first grid point whose value is exactly `value`, or 0.
int index_of(const std::vector<double>& V, int N, double value) {
  for (int i = 1; i <= N; ++i) {
    if (V[static_cast<std::size_t>(i)] == value) return i;
  }
  return 0;
}

// Context for "Umin >  Umax", which names nothing: the state, the grid, J and what to look at.
void warn_no_well(const LevelTableRequest& request, int64_t J) {
  const RadialGrid& g = request.grid;
  warn(
      state_name(request) + ": \"Umin >  Umax\" at J=" + std::to_string(J) +
      ": the effective potential on the grid " + printed("%g", g.Rmin) + ".." +
      printed("%g", g.Rmax) + " Å (" + std::to_string(g.N) +
      " points) has no well below its barrier or its outer end; check that the grid covers the "
      "minimum of the curve, that the file gives radii in Å and energies in cm-1, and the J range");
}

// Thrown out of an attempt at a J that turns out to depend on what was computed before it.
struct AttemptDependsOnOrder {};

void abandon_on_failure(std::string_view) {
  throw AttemptDependsOnOrder();
}

}  // namespace

// A worker's own solver and arrays, made once for the run.
struct LevelDriver::Worker {
  explicit Worker(GridOrientation orientation)
      : solver(orientation, abandon_on_failure), Ueff(RadialGrid::kSlots) {}
  RadialSolver solver;
  std::vector<double> Ueff;
  IterationCache cache;
  SolveStatistics statistics;
  LaneIterations lanes;
  std::vector<SolveRequest> requests;
};

// The inputs of a request that every J shares.
struct LevelDriver::RequestInputs {
  const LevelTableRequest& request;
  double mu = 0.0;
  int32_t Lambda = 0;
  float q1 = 0.0f, q2 = 0.0f;
  double Uinf = kUinfUnset;
  // toadd, formed when first asked for: the fast search may never need it. In the default mode it
  // is formed before any J is attempted, so that the workers only read it.
  std::function<double()> toadd = [] { return 0.0; };
};

// Where the levels of a J go, in loop order: each solved level's tunnelling figure (a quasi-bound
// level is listed with the figure of the last solve that had one) and each listed level's record.
class LevelDriver::LevelOutput {
 public:
  virtual ~LevelOutput() = default;
  virtual void solved(const std::optional<double>& tunnel) = 0;
  virtual void listed(LevelRecord& record) = 0;
};

// The levels go to the sink at once, numbered and given their figure.
class LevelDriver::ImmediateOutput final : public LevelOutput {
 public:
  explicit ImmediateOutput(LevelSink& sink) : sink_(sink) {}
  void solved(const std::optional<double>& tunnel) override {
    if (tunnel) tunnel_ = tunnel;
  }
  void listed(LevelRecord& record) override {
    record.iline = iline_++;
    record.tunnel = tunnel_.value_or(0.0);
    sink_.level(record);
  }

 private:
  LevelSink& sink_;
  int64_t iline_ = 1;
  std::optional<double> tunnel_;
};

// What an attempt at one J produced, held back until its turn.
struct LevelDriver::Attempt {
  bool usable = false;
  std::vector<OutputRecording::Entry> output;
  struct Event {
    bool listed = false;
    std::optional<double> tunnel;
    LevelRecord record;
  };
  std::vector<Event> events;  // the marks of `output` index these
  bool solved_any = false;
  int32_t kmatch = 0;  // the joint the attempt's solver ended with
  SolveStatistics statistics;
};

// The levels are kept, each at a mark among the recorded lines.
class LevelDriver::RecordedOutput final : public LevelOutput {
 public:
  RecordedOutput(OutputRecording& recording, Attempt& attempt)
      : recording_(recording), attempt_(attempt) {}
  void solved(const std::optional<double>& tunnel) override {
    push({false, tunnel, LevelRecord{}});
  }
  void listed(LevelRecord& record) override { push({true, std::nullopt, record}); }

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
      reversed_(GridOrientation::reversed, options_.on_failure),
      Vgrid_(RadialGrid::kSlots),
      Ueff_(RadialGrid::kSlots),
      Vtoadd_(RadialGrid::kSlots),
      Ueff_toadd_(RadialGrid::kSlots) {
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
  console_line(FreeLine() << "OK");
  console_line(format_line("(A8,A12)", {std::string("reading"), padded_name(definition.name)}));
  const PotentialHeader& header = checked_header(definition);
  require_positive_mass(trimmed_file_name(definition.name), header, request.mass_index);
  require_representable_Lambda(trimmed_file_name(definition.name), header);

  RequestInputs in{request};
  // toadd places the exact search's window. Its curve is built (and checked) here in both
  // modes; the fast search needs toadd itself only for a level it hands to the exact search.
  ToaddCurve curve;
  std::optional<double> toadd;
  try {
    curve = toadd_curve(definition, grid);
    if (!fast_) toadd = toadd_of(curve, grid);
  } catch (const StopRun& stop) {
    if (std::string_view(stop.what()) == "Umin >  Umax") warn_no_well(request, 0);
    throw;
  }
  in.toadd = [&]() -> double {
    if (!toadd) toadd = toadd_of(curve, grid);
    return *toadd;
  };
  console_line(FreeLine() << "OK");
  console_line(FreeLine());

  in.mu = header.masses[static_cast<std::size_t>(request.mass_index - 1)];
  in.Lambda = header.Lambda;
  in.q1 = static_cast<float>(header.q1);
  in.q2 = static_cast<float>(header.q2);
  in.Uinf = build_curve(definition, Vgrid_, grid);

  sink.begin(request);
  ImmediateOutput out(sink);
  Workspace run = run_workspace();
  if (fast_) {
    fast_->begin(grid, request.v);
    run.fast = &*fast_;
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
  // Workers are made when first needed, each once for the run.
  while (!in_turn && workers_.size() < static_cast<std::size_t>(threads)) {
    workers_.push_back(std::make_unique<Worker>(options_.orientation));
  }
  run_in_order<Attempt>(
      count, helpers > 0 ? 1 : threads, 4 * threads,
      [&](int k, int worker) {
        if (in_turn) return Attempt{};
        return attempt_J(in, request.J.first + k, *workers_[static_cast<std::size_t>(worker)],
                         helpers);
      },
      [&](int k, Attempt& attempt) {
        const int64_t J = request.J.first + k;
        if (in_turn || !attempt.usable) {
          levels_of_J(in, J, run, out);
          return;
        }
        for (const OutputRecording::Entry& entry : attempt.output) {
          switch (entry.kind) {
            case OutputRecording::Kind::console:
              console_line(entry.text);
              break;
            case OutputRecording::Kind::warning:
              warn(entry.text);
              break;
            case OutputRecording::Kind::mark: {
              Attempt::Event& event = attempt.events[static_cast<std::size_t>(entry.mark)];
              if (event.listed) {
                out.listed(event.record);
              } else {
                out.solved(event.tunnel);
              }
              break;
            }
          }
        }
        if (attempt.solved_any) run.solver.set_kmatch(attempt.kmatch);
        statistics_.solves += attempt.statistics.solves;
        statistics_.iterations += attempt.statistics.iterations;
        statistics_.point_iterations += attempt.statistics.point_iterations;
      });
  sink.end();
}

LevelDriver::Attempt LevelDriver::attempt_J(const RequestInputs& in, int64_t J, Worker& worker,
                                            int helpers) const {
  Attempt attempt;
  worker.statistics = SolveStatistics{};
  Workspace ws{worker.solver, worker.Ueff,   worker.cache,     worker.statistics,
               true,          &worker.lanes, &worker.requests, helpers};
  try {
    OutputRecording recording;
    RecordedOutput out(recording, attempt);
    levels_of_J(in, J, ws, out);
    attempt.output = recording.take();
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

void LevelDriver::levels_of_J(const RequestInputs& in, int64_t J, Workspace& ws,
                              LevelOutput& out) const {
  const LevelTableRequest& request = in.request;
  const RadialGrid& grid = request.grid;
  const bool forward = options_.orientation == GridOrientation::forward;
  console_line(format_line("(A3,I5)", {std::string("J="), J}));
  PoorLevelCount poor(request.tol);
  ws.cache.clear();
  // The effective potential and its window are built once per J, before its first level.
  std::optional<Window> window;
  // The fast search solves all v of the J at once, when the first level is due.
  std::span<const FastLevel> fast_levels;
  for (int64_t v = request.v.first; v <= request.v.last; ++v) {
    for (int64_t Par = request.Par.first; Par <= request.Par.last; ++Par) {
      if (!window) {
        effective_potential(Vgrid_, ws.Ueff, grid, in.mu, static_cast<int>(J), in.Lambda,
                            options_.orientation);
        Window w;
        w.Ulim = forward ? ws.Ueff[static_cast<std::size_t>(grid.N)] : ws.Ueff[1];
        if (in.Uinf != kUinfUnset) w.Ulim = in.Uinf;
        w.Umax = highest_barrier(ws.Ueff, grid.N, w.Ulim).Umax;
        w.Umin = lowest_minimum(ws.Ueff, grid.N);
        if (w.Umax < w.Umin) {
          warn_no_well(request, J);
          throw StopRun("Umin >  Umax");
        }
        window = w;
        if (J == request.J.first) check_well_depth(request, in.mu, w, ws.Ueff);
        if (ws.lanes) prefetch_levels(in, w, ws);
        if (ws.fast) {
          fast_levels =
              ws.fast->solve_J(ws.Ueff, {static_cast<int32_t>(J), request.v, in.mu, request.tol,
                                         request.maxit, w.Umin, w.Umax, w.Ulim});
        }
      }
      const FastLevel* fast_level =
          ws.fast ? &fast_levels[static_cast<std::size_t>(v - request.v.first)] : nullptr;
      const bool fast_found = fast_level != nullptr && fast_level->found;
      std::optional<double> tunnel;
      LevelRecord level = fast_found ? fast_record(*fast_level, ws, tunnel)
                                     : solve_level(request, in.mu, *window, in.toadd(),
                                                   static_cast<int32_t>(v), ws, tunnel);
      out.solved(tunnel);
      if (in.Lambda == 1) {
        const double q = static_cast<double>(Par == 1 ? in.q1 : in.q2);
        level.E = level.E + q * static_cast<double>(J) * static_cast<double>(J + 1);
      }
      if (!poor.admit(level.results)) continue;
      level.J = static_cast<int32_t>(J);
      level.Par = static_cast<int32_t>(Par);
      level.quasi_bound = level.E > window->Ulim;
      level.Umax = window->Umax;
      level.Ulim = window->Ulim;
      check_level(request, level, in.mu, *window,
                  fast_found ? fast_level->ends : undecayed_ends(ws.solver.Ygrid(), grid.N),
                  ws.Ueff);
      out.listed(level);
    }
  }
}

SolveRequest LevelDriver::first_solve(const LevelTableRequest& request, const Window& window,
                                      double toadd, int32_t v) {
  // The window [Umin + toadd + 1e-6, Umax - 1e-6], entered at its middle.
  const double Ein = (window.Umin + window.Umax + toadd) * 0.5;
  const double delE = (window.Umax - window.Umin - toadd) * 0.5 - constants::kWindowMargin;
  return SolveRequest{v, Ein, delE, request.maxit, request.tol};
}

void LevelDriver::prefetch_levels(const RequestInputs& in, const Window& window,
                                  Workspace& ws) const {
  const LevelTableRequest& request = in.request;
  // Level v goes to part (v - first) mod parts, so that each part holds deep and high levels.
  const int parts = 1 + ws.helpers;
  const auto share = [&](std::vector<SolveRequest>& requests, int part) {
    requests.clear();
    for (int64_t v = request.v.first + part; v <= request.v.last; v += parts) {
      requests.push_back(first_solve(request, window, in.toadd(), static_cast<int32_t>(v)));
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
                                     std::optional<double>& tunnel) {
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

LevelRecord LevelDriver::solve_level(const LevelTableRequest& request, double mu,
                                     const Window& window, double toadd, int32_t v, Workspace& ws,
                                     std::optional<double>& tunnel) const {
  LevelRecord level;
  level.v = v;
  SolveRequest solve = first_solve(request, window, toadd, v);
  level.Ein = solve.E;
  level.delE = solve.dE;
  auto run = [&] {
    const LevelSolution solution = ws.solver.solve(ws.Ueff, request.grid, mu, solve, &ws.cache);
    // An attempt apart cannot know the joint the run's solver remembers.
    if (solution.joint_missed && ws.attempt) throw AttemptDependsOnOrder();
    if (solution.tunnel) tunnel = solution.tunnel;
    level.E = solution.E;
    level.results = solution.results;
    ++ws.statistics.solves;
    ws.statistics.iterations += solution.results.kturn;
    ws.statistics.point_iterations += int64_t{solution.results.kturn} * request.grid.N;
  };
  run();
  if (!(std::fabs(level.results.Dcor) <= request.tol)) {
    console_line(format_line("('Epr-',F13.5,'   Dcor-',E10.2,'  iter-',I3)",
                             {level.E, level.results.Dcor, int64_t{level.results.kturn}}));
    console_line(FreeLine() << "perhaps better...");
    // Once more from where the first solve ended, in a tenth of its window; delE keeps the first.
    solve.E = level.E;
    solve.dE = level.delE / 10.0;
    run();
  }
  return level;
}

void LevelDriver::check_well_depth(const LevelTableRequest& request, double mu,
                                   const Window& window, const std::vector<double>& Ueff) const {
  const RadialGrid& grid = request.grid;
  const int i = index_of(Ueff, grid.N, window.Umin);
  if (i < 2 || i >= grid.N) return;
  const auto U = [&](int k) { return Ueff[static_cast<std::size_t>(k)]; };
  // Half the harmonic quantum of the curvature at the minimum.
  const double k = (U(i - 1) - 2 * U(i) + U(i + 1)) / (grid.h * grid.h);
  const double zero_point = 0.5 * std::sqrt(2 * k / (mu * constants::kTwoUOverHbar2));
  const double depth = window.Umax - window.Umin;
  if (!(depth < zero_point)) return;
  warn(state_name(request) + ": the well is " + printed("%.4g", depth) +
       " cm-1 deep, shallower than the zero-point energy of its first level (about " +
       printed("%.4g", zero_point) +
       " cm-1); the potential file must give radii in Å and energies in cm-1 (energies in "
       "hartree or eV, or radii in bohr, give such a well)");
}

void LevelDriver::check_level(const LevelTableRequest& request, const LevelRecord& level, double mu,
                              const Window& window, const GridEnds& ends,
                              const std::vector<double>& Ueff) const {
  const RadialGrid& grid = request.grid;
  const bool forward = options_.orientation == GridOrientation::forward;
  const std::string name =
      state_name(request) + ": v=" + std::to_string(level.v) + " J=" + std::to_string(level.J);

  // The wave function is that of the level's last solve.
  const bool inner = forward ? ends.first : ends.last;
  // A quasi-bound level is a continuum function beyond its barrier: large at the outer end.
  const bool outer = (forward ? ends.last : ends.first) && !level.quasi_bound;
  if (inner || outer) {
    std::string where = inner && outer ? "either end" : inner ? "the inner end" : "the outer end";
    std::string radius = inner && outer
                             ? printed("%g", grid.Rmin) + " and " + printed("%g", grid.Rmax)
                             : printed("%g", inner ? grid.Rmin : grid.Rmax);
    warn(name + ": the wave function has not died out at " + where + " of the grid (R = " + radius +
         " Å): its density there exceeds " + printed("%g", kDecayShare) +
         " of its peak; widen the grid, or extend the curve to cover it");
  }

  // Above the window's limit a converged level is either behind a barrier (quasi-bound, a level
  // of the molecule) or, without a barrier, a state of the box the grid ends make.
  const bool converged = std::fabs(level.results.Dcor) <= request.tol;
  const bool behind_barrier = window.Umax > window.Ulim;
  const bool in_box = level.quasi_bound && !behind_barrier;
  if (converged && level.results.node == level.v && !in_box) return;
  // The levels below the top of the window: up to the barrier, or over the whole grid.
  const int wall = forward ? 1 : grid.N;
  const int barrier = behind_barrier ? index_of(Ueff, grid.N, window.Umax) : 0;
  const int end = barrier > 0 ? barrier : forward ? grid.N : 1;
  const int32_t count = count_levels_below(Ueff, wall, end, grid.h, mu, window.Umax);
  if (converged && level.v < count) return;
  std::string text = name + (converged ? " lies above the last level" : " not found");
  if (!converged) {
    text += ": " + std::to_string(level.results.kturn) + " iterations, Dcor " +
            printed("%.1E", level.results.Dcor);
  }
  text += "; the state has ";
  if (count == 0) {
    text += "no level";
  } else if (count == 1) {
    text += "1 level v=0";
  } else {
    text += std::to_string(count) + " levels v=0.." + std::to_string(count - 1);
  }
  warn(text + " at J=" + std::to_string(level.J));
}

double LevelDriver::compute_toadd(const CurveDefinition& definition, const RadialGrid& grid) {
  return toadd_of(toadd_curve(definition, grid), grid);
}

void LevelDriver::check_toadd_curve(const CurveDefinition& definition, const RadialGrid& grid) {
  toadd_curve(definition, grid);
}

double LevelDriver::build_curve(const CurveDefinition& definition, std::vector<double>& V,
                                const RadialGrid& grid) {
  return builder_.build(definition, V, grid, {options_.on_failure, options_.on_extension_report});
}

LevelDriver::ToaddCurve LevelDriver::toadd_curve(const CurveDefinition& definition,
                                                 const RadialGrid& grid) {
  const PotentialHeader& header = checked_header(definition);
  require_positive_mass(trimmed_file_name(definition.name), header, 1);
  require_representable_Lambda(trimmed_file_name(definition.name), header);
  ToaddCurve curve;
  curve.mu1 = header.masses[0];
  build_curve(definition, Vtoadd_, grid);

  effective_potential(Vtoadd_, Ueff_toadd_, grid, curve.mu1, 0, header.Lambda,
                      GridOrientation::forward);
  const double limit = Ueff_toadd_[static_cast<std::size_t>(grid.N)];
  const double Umax = highest_barrier(Ueff_toadd_, grid.N, limit).Umax;
  const double Umin = lowest_minimum(Ueff_toadd_, grid.N);
  // The solver's own stop, raised here so that a fast run, which may never solve for toadd,
  // stops where the default run does.
  if (Umax < Umin || grid.N < 3) throw StopRun("Umin >  Umax");
  curve.E0 = (Umin + Umax) * 0.5;
  curve.dE = (Umax - Umin) * constants::kToaddWindow * 0.5;
  return curve;
}

double LevelDriver::toadd_of(const ToaddCurve& curve, const RadialGrid& grid) {
  const double mu1 = curve.mu1;
  const double E1 =
      forward_.solve(Ueff_toadd_, grid, mu1, {1, curve.E0, curve.dE, kToaddMaxit, kToaddTol}).E;
  const double E2 =
      forward_.solve(Ueff_toadd_, grid, mu1, {2, curve.E0, curve.dE, kToaddMaxit, kToaddTol}).E;
  const double toadd = (E2 - E1) / 3.0;
  console_line(FreeLine() << E1 << E2 << " toadd ");
  return toadd;
}

}  // namespace velk
