#include "solver/level_driver.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <utility>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/warning.h"
#include "numlib/constants.h"
#include "pec/potential_header.h"
#include "solver/effective_potential.h"
#include "solver/landmarks.h"
#include "solver/level_checks.h"
#include "solver/level_file_writer.h"

namespace velk {
namespace {

constexpr int32_t kMaxHeaderPoints = 500;
// The two solves behind toadd need only a rough energy.
constexpr int32_t kToaddMaxit = 20;
constexpr double kToaddTol = 0.1;
// 46340² = 2147395600 is the last square below 2^31.
constexpr int32_t kLargestLambda = 46340;

// The header as the driver reads it: the point count is checked before the rest is read.
PotentialHeader read_checked_header(const std::string& potential_file) {
  FreeFormatReader in(potential_file);
  return read_potential_header(in, kMaxHeaderPoints);
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
std::string state_name(const LevelRequest& request) {
  std::string name = request.state.empty() ? "state" : "state " + request.state;
  return name + " (" + trimmed_file_name(request.potential_file) + ")";
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
void warn_no_well(const LevelRequest& request, int64_t J) {
  const RadialGrid& g = request.grid;
  warn(
      state_name(request) + ": \"Umin >  Umax\" at J=" + std::to_string(J) +
      ": the effective potential on the grid " + printed("%g", g.Rmin) + ".." +
      printed("%g", g.Rmax) + " Å (" + std::to_string(g.N) +
      " points) has no well below its barrier or its outer end; check that the grid covers the "
      "minimum of the curve, that the file gives radii in Å and energies in cm-1, and the J range");
}

}  // namespace

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

void LevelDriver::compute_levels(const LevelRequest& request) {
  LevelFileWriter file;
  compute_levels(request, file);
}

void LevelDriver::compute_levels(const LevelRequest& request, LevelSink& sink) {
  const std::string& potential_file = request.potential_file;
  const RadialGrid& grid = request.grid;
  console_line(FreeLine() << "OK");
  console_line(format_line("(A8,A12)", {std::string("reading"), padded_name(potential_file)}));
  const PotentialHeader header = read_checked_header(potential_file);
  require_positive_mass(trimmed_file_name(potential_file), header, request.mass_index);
  require_representable_Lambda(trimmed_file_name(potential_file), header);

  // toadd places the specified search's window. Its curve is built (and checked) here in both
  // modes; the fast search needs toadd itself only for a level it hands to the specified search,
  // and solves for it when the first such level comes.
  ToaddCurve curve;
  std::optional<double> toadd;
  try {
    curve = toadd_curve(potential_file, grid);
    if (!fast_) toadd = toadd_of(curve, grid);
  } catch (const StopRun& stop) {
    if (std::string_view(stop.what()) == "Umin >  Umax") warn_no_well(request, 0);
    throw;
  }
  const auto toadd_of_run = [&]() -> double {
    if (!toadd) toadd = toadd_of(curve, grid);
    return *toadd;
  };
  console_line(FreeLine() << "OK");
  console_line(FreeLine());

  const double mu = header.masses[static_cast<std::size_t>(request.mass_index - 1)];
  const int32_t Lambda = header.Lambda;
  const float q1 = static_cast<float>(header.q1);
  const float q2 = static_cast<float>(header.q2);
  const double Uinf =
      builder_.build(potential_file, header.pectype, Vgrid_, grid, options_.on_failure);
  const bool forward = options_.orientation == GridOrientation::forward;

  sink.begin(request);
  int64_t iline = 1;
  // A quasi-bound level is listed with the tunnelling figure of the last solve that had one.
  std::optional<double> tunnel;
  PoorLevelCount poor(request.tol);
  if (fast_) fast_->begin(grid, request.v);
  for (int64_t J = request.J.first; J <= request.J.last; ++J) {
    console_line(format_line("(A3,I5)", {std::string("J="), J}));
    poor.start_J();
    // The effective potential and its window are built once per J, before its first level.
    std::optional<Window> window;
    // The fast search solves all v of the J at once, when the first level is due.
    std::span<const FastLevel> fast_levels;
    for (int64_t v = request.v.first; v <= request.v.last; ++v) {
      for (int64_t Par = request.Par.first; Par <= request.Par.last; ++Par) {
        if (!window) {
          effective_potential(Vgrid_, Ueff_, grid, mu, static_cast<int>(J), Lambda,
                              options_.orientation);
          Window w;
          w.Ulim = forward ? Ueff_[static_cast<std::size_t>(grid.N)] : Ueff_[1];
          if (Uinf != kUinfUnset) w.Ulim = Uinf;
          w.Umax = highest_barrier(Ueff_, grid.N, w.Ulim).Umax;
          w.Umin = lowest_minimum(Ueff_, grid.N);
          if (w.Umax < w.Umin) {
            warn_no_well(request, J);
            throw StopRun("Umin >  Umax");
          }
          window = w;
          if (J == request.J.first) check_well_depth(request, mu, w);
        }
        const FastLevel* fast_level = nullptr;
        if (fast_) {
          if (fast_levels.empty()) {
            fast_levels =
                fast_->solve_J(Ueff_, {static_cast<int32_t>(J), request.v, mu, request.tol,
                                       request.maxit, window->Umin, window->Umax, window->Ulim});
          }
          fast_level = &fast_levels[static_cast<std::size_t>(v - request.v.first)];
        }
        LevelRecord level = fast_level != nullptr && fast_level->found
                                ? fast_record(*fast_level, tunnel)
                                : solve_level(request, mu, *window, toadd_of_run(),
                                              static_cast<int32_t>(v), tunnel);
        if (Lambda == 1) {
          const double q = static_cast<double>(Par == 1 ? q1 : q2);
          level.E = level.E + q * static_cast<double>(J) * static_cast<double>(J + 1);
        }
        if (!poor.admit(level.results)) continue;
        level.iline = iline++;
        level.J = static_cast<int32_t>(J);
        level.Par = static_cast<int32_t>(Par);
        level.quasi_bound = level.E > window->Ulim;
        level.tunnel = tunnel.value_or(0.0);
        level.Umax = window->Umax;
        level.Ulim = window->Ulim;
        const bool fast_found = fast_level != nullptr && fast_level->found;
        const RadialSolver& solver = forward ? forward_ : reversed_;
        check_level(request, level, mu, *window,
                    fast_found ? fast_level->ends : undecayed_ends(solver.Ygrid(), grid.N));
        sink.level(level);
      }
    }
  }
  sink.end();
}

LevelRecord LevelDriver::solve_level(const LevelRequest& request, double mu, const Window& window,
                                     double toadd, int32_t v, std::optional<double>& tunnel) {
  RadialSolver& solver = options_.orientation == GridOrientation::forward ? forward_ : reversed_;
  LevelRecord level;
  level.v = v;
  // The window [Umin + toadd + 1e-6, Umax - 1e-6], entered at its middle.
  level.Ein = (window.Umin + window.Umax + toadd) * 0.5;
  level.delE = (window.Umax - window.Umin - toadd) * 0.5 - constants::kWindowMargin;
  SolveRequest solve{v, level.Ein, level.delE, request.maxit, request.tol};
  auto run = [&] {
    const LevelSolution solution = solver.solve(Ueff_, request.grid, mu, solve);
    if (solution.tunnel) tunnel = solution.tunnel;
    level.E = solution.E;
    level.results = solution.results;
    ++statistics_.solves;
    statistics_.iterations += solution.results.kturn;
    statistics_.point_iterations += int64_t{solution.results.kturn} * request.grid.N;
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

LevelRecord LevelDriver::fast_record(const FastLevel& fast, std::optional<double>& tunnel) {
  LevelRecord level;
  level.v = fast.v;
  level.E = fast.E;
  level.Ein = fast.Ein;
  level.delE = fast.delE;
  level.results = fast.results;
  if (fast.tunnel) tunnel = fast.tunnel;
  ++statistics_.solves;
  statistics_.iterations += fast.results.kturn;
  statistics_.point_iterations += fast.points_integrated;
  return level;
}

void LevelDriver::check_well_depth(const LevelRequest& request, double mu,
                                   const Window& window) const {
  const RadialGrid& grid = request.grid;
  const int i = index_of(Ueff_, grid.N, window.Umin);
  if (i < 2 || i >= grid.N) return;
  const auto U = [&](int k) { return Ueff_[static_cast<std::size_t>(k)]; };
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

void LevelDriver::check_level(const LevelRequest& request, const LevelRecord& level, double mu,
                              const Window& window, const GridEnds& ends) const {
  const RadialGrid& grid = request.grid;
  const bool forward = options_.orientation == GridOrientation::forward;
  const std::string name =
      state_name(request) + ": v=" + std::to_string(level.v) + " J=" + std::to_string(level.J);

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
  const int barrier = behind_barrier ? index_of(Ueff_, grid.N, window.Umax) : 0;
  const int end = barrier > 0 ? barrier : forward ? grid.N : 1;
  const int32_t count = count_levels_below(Ueff_, wall, end, grid.h, mu, window.Umax);
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

double LevelDriver::compute_toadd(const std::string& potential_file, const RadialGrid& grid) {
  return toadd_of(toadd_curve(potential_file, grid), grid);
}

LevelDriver::ToaddCurve LevelDriver::toadd_curve(const std::string& potential_file,
                                                 const RadialGrid& grid) {
  const PotentialHeader header = read_checked_header(potential_file);
  require_positive_mass(trimmed_file_name(potential_file), header, 1);
  require_representable_Lambda(trimmed_file_name(potential_file), header);
  ToaddCurve curve;
  curve.mu1 = header.masses[0];
  builder_.build(potential_file, header.pectype, Vtoadd_, grid, options_.on_failure);

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
