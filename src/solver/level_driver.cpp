#include "solver/level_driver.h"

#include <cmath>
#include <optional>
#include <sstream>
#include <utility>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/output_file.h"
#include "pec/potential_header.h"
#include "solver/effective_potential.h"
#include "solver/landmarks.h"

namespace velk {
namespace {

constexpr int32_t kMaxPoints = 50000;
constexpr int32_t kMaxHeaderPoints = 500;
// Constants held in single precision, used with their exact double values.
constexpr double kWindowMargin = 9.999999974752427e-07;  // 1e-6
constexpr double kToaddWindow = 0.9990000128746033;      // 0.999
constexpr int32_t kToaddMaxit = 20;
constexpr double kToaddTol = 0.1;
constexpr int32_t kMaxBadLevels = 2;

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

}  // namespace

LevelDriver::LevelDriver(char revflag, NumericalFailureHandler on_failure)
    : revflag_(revflag),
      on_failure_(std::move(on_failure)),
      forward_(on_failure_),
      reversed_(on_failure_),
      Vgrid_(kMaxPoints + 1),
      Ueff_(kMaxPoints + 1),
      Vtoadd_(kMaxPoints + 1),
      Ueff_toadd_(kMaxPoints + 1) {
  results_.revflag = revflag;
}

void LevelDriver::compute_levels(const std::string& potential_file, double Rmin, double Rmax,
                                 int32_t N, double tol, int32_t maxit, int32_t vmin, int32_t vmax,
                                 int32_t Jmin, int32_t Jmax, int32_t pmin, int32_t pmax,
                                 const std::string& levelfile, int32_t mass_index) {
  const std::string name = trimmed_file_name(potential_file);
  if (N > kMaxPoints) throw StopRun("number of points must be less than 50000");
  if (N < 2) {
    throw StopRun("velk: " + name +
                  ": the radial grid needs at least 2 points, N = " + std::to_string(N));
  }
  if (!(Rmin > 0.0) || !(Rmax > Rmin)) {
    throw StopRun("velk: " + name + ": the radial grid needs 0 < Rmin < Rmax");
  }
  if (mass_index < 1 || mass_index > 5) {
    throw StopRun("velk: " + name + ": the mass index must lie in 1..5, found " +
                  std::to_string(mass_index));
  }
  if (revflag_ != 'n' && revflag_ != 'y') {
    throw StopRun(std::string("velk: velk.inf: the solver direction flag must be n or y, found '") +
                  revflag_ + "'");
  }

  console_line(FreeLine() << "OK");
  console_line(format_line("(A8,A12)", {std::string("reading"), padded_name(potential_file)}));
  const PotentialHeader header = read_checked_header(potential_file);
  require_positive_mass(name, header, mass_index);

  const double toadd = compute_toadd(potential_file, Rmin, Rmax, N);
  console_line(FreeLine() << "OK");
  console_line(FreeLine());

  const double h = (Rmax - Rmin) / (N - 1);
  const double R0 = Rmin - h;
  const double mu = header.masses[static_cast<std::size_t>(mass_index - 1)];
  const int32_t Lambda = header.Lambda;
  const float q1 = static_cast<float>(header.q1);
  const float q2 = static_cast<float>(header.q2);
  const double Uinf = builder_.build(potential_file, header.pectype, Vgrid_,
                                     RadialGrid(Rmin, Rmax, N), on_failure_);

  OutputFile out(levelfile);
  out.line(
      format_line("(I5,' !number of levels')", {level_count(vmin, vmax, Jmin, Jmax, pmin, pmax)}));
  out.line(FreeLine() << "Potential File:  " << padded_name(potential_file));
  out.line(FreeLine() << "Energ. data:     " << padded_name(levelfile));
  out.line(FreeLine() << std::string(45, '-'));
  out.line(FreeLine() << "iline,nv,Jline,Eout,Par,delE,ic,Ein,Dcor,kleft-krigth,kturn,node");
  out.line(format_line("(5I3,' !levels to be used')",
                       {int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}}));

  int64_t iline = 1;
  double tunnel = 0.0;
  // The J for which Ueff and the window were built; none at the start of a call.
  std::optional<int64_t> lastJ;
  double Ulim = 0.0, Umin = 0.0, Umax = 0.0;
  const bool forward = revflag_ == 'n';
  for (int64_t J = Jmin; J <= Jmax; ++J) {
    console_line(format_line("(A3,I5)", {std::string("J="), J}));
    int32_t badcount = 0;
    for (int64_t v = vmin; v <= vmax; ++v) {
      for (int64_t Par = pmin; Par <= pmax; ++Par) {
        if (lastJ != J) {
          lastJ = J;
          effective_potential(Vgrid_, Ueff_, mu, R0, h, N, static_cast<int>(J), Lambda, revflag_);
          Ulim = forward ? Ueff_[static_cast<std::size_t>(N)] : Ueff_[1];
          if (Uinf != kUinfUnset) Ulim = Uinf;
          Umax = highest_barrier(Ueff_, N, Ulim).Umax;
          Umin = lowest_minimum(Ueff_, N);
          if (Umax < Umin) throw StopRun("Umin >  Umax");
        }
        double E = (Umin + Umax + toadd) * 0.5;
        const double Ein = E;
        const double delE = (Umax - Umin - toadd) * 0.5 - kWindowMargin;
        auto solve = [&](double half_width) {
          if (forward) {
            forward_.solve(Ueff_, R0, h, mu, static_cast<int>(v), E, tunnel, half_width, N, maxit,
                           tol, results_);
          } else {
            reversed_.solve(Ueff_, R0, h, mu, static_cast<int>(v), E, tunnel, half_width, N, maxit,
                            tol, results_);
          }
          ++statistics_.solves;
          statistics_.iterations += results_.kturn;
          statistics_.point_iterations += int64_t{results_.kturn} * N;
        };
        solve(delE);
        if (!(std::fabs(results_.Dcor) <= tol)) {
          console_line(format_line("('Epr-',F13.5,'   Dcor-',E10.2,'  iter-',I3)",
                                   {E, results_.Dcor, int64_t{results_.kturn}}));
          console_line(FreeLine() << "perhaps better...");
          const double narrower = delE / 10.0;
          solve(narrower);
        }
        if (Lambda == 1) {
          const double q = static_cast<double>(Par == 1 ? q1 : q2);
          E = E + q * static_cast<double>(J) * static_cast<double>(J + 1);
        }
        if (!(std::fabs(results_.Dcor) <= 10.0 * tol)) ++badcount;
        if (badcount > kMaxBadLevels) continue;
        if (E <= Ulim) {
          out.line(format_line("(I5,I4,I4,F13.5,I2,F11.4,I3,F13.5,E10.2,I5,I7,I3,I4)",
                               {iline, v, J, E, Par, delE, int64_t{10} * mass_index, Ein,
                                results_.Dcor, int64_t{results_.kleft}, int64_t{results_.krigth},
                                int64_t{results_.kturn}, int64_t{results_.node}}));
        } else {
          out.line(format_line(
              "(I5,I4,I4,F13.5,I2,F11.4,I3,F13.5,E10.2,I5,'   res.',I3,I4,E10.2,F13.5,F13.5)",
              {iline, v, J, E, Par, delE, int64_t{10} * mass_index, Ein, results_.Dcor,
               int64_t{results_.kleft}, int64_t{results_.kturn}, int64_t{results_.node}, tunnel,
               Umax, Ulim}));
        }
        ++iline;
      }
    }
  }
  out.close();
}

double LevelDriver::compute_toadd(const std::string& potential_file, double Rmin, double Rmax,
                                  int32_t N) {
  const PotentialHeader header = read_checked_header(potential_file);
  require_positive_mass(trimmed_file_name(potential_file), header, 1);
  const double mu1 = header.masses[0];
  const double h = (Rmax - Rmin) / (N - 1);
  const double R0 = Rmin - h;
  builder_.build(potential_file, header.pectype, Vtoadd_, RadialGrid(Rmin, Rmax, N), on_failure_);

  // toadd is always found on the forward grid, whatever the run's direction flag.
  SolverResults forward_results = results_;
  forward_results.revflag = 'n';
  effective_potential(Vtoadd_, Ueff_toadd_, mu1, R0, h, N, 0, header.Lambda, 'n');
  const double limit = Ueff_toadd_[static_cast<std::size_t>(N)];
  const double Umax = highest_barrier(Ueff_toadd_, N, limit).Umax;
  const double Umin = lowest_minimum(Ueff_toadd_, N);
  const double E0 = (Umin + Umax) * 0.5;
  const double dE = (Umax - Umin) * kToaddWindow * 0.5;
  double tunnel = 0.0;
  double E1 = E0;
  forward_.solve(Ueff_toadd_, R0, h, mu1, 1, E1, tunnel, dE, N, kToaddMaxit, kToaddTol,
                 forward_results);
  double E2 = E0;
  forward_.solve(Ueff_toadd_, R0, h, mu1, 2, E2, tunnel, dE, N, kToaddMaxit, kToaddTol,
                 forward_results);
  const double toadd = (E2 - E1) / 3.0;
  console_line(FreeLine() << E1 << E2 << " toadd ");
  forward_results.revflag = results_.revflag;
  results_ = forward_results;
  return toadd;
}

}  // namespace velk
