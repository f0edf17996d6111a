#include "pec/mlj.h"

#include <cmath>
#include <sstream>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "numlib/ipow.h"
#include "pec/potential_header.h"

namespace velk {

namespace {

void read_body(FreeFormatReader& in, MljParameters& p) {
  in.read(p.Re);
  if (!read_indexed_lines(in, p.Npts, p.betak, 0, p.K, p.bad_index)) return;
  in.read(p.De);
  in.read(p.pLR, p.Cp);
  in.read(p.delta);
  in.read(p.Rx);
}

}  // namespace

MljParameters read_mlj(const InputText& text) {
  return read_builder_file<MljParameters>(text, kMljCapacity, read_body);
}

double mlj_betainf(const MljParameters& p) {
  return std::log(2.0 * p.De * ipow(p.Re, p.pLR) / p.Cp);
}

void check_mlj(const MljParameters& p, const RadialGrid& grid, const std::string& potential_file) {
  check_builder_count(potential_file, p.Npts, kMljCapacity,
                      "number of parameters must be less than 51", "coefficient lines");
  if (p.bad_index) {
    throw StopRun(
        line_message(potential_file, p.bad_index->line,
                     "coefficient index " + std::to_string(p.bad_index->k) + " outside 0..50"));
  }
  throw_read_failure(p.read_failure);
  if (!(p.De > 0.0))
    throw StopRun(input_message(potential_file, "the well depth De must be positive"));
  if (!(p.Cp > 0.0)) {
    throw StopRun(input_message(potential_file, "the long-range coefficient Cp must be positive"));
  }
  if (!(p.Re > 0.0)) {
    throw StopRun(input_message(potential_file, "the equilibrium radius Re must be positive"));
  }
  if (!std::isfinite(mlj_betainf(p))) {
    throw StopRun(input_message(potential_file, "ln(2*De*Re^p/Cp) is not a finite number"));
  }
  require_positive_grid(potential_file, grid, "MLJ");
}

void tabulate_mlj(const MljParameters& p, const RadialGrid& grid, std::span<double> Vgrid) {
  require_grid_slots(Vgrid, grid.N, "pec_mlj");
  const double betainf = mlj_betainf(p);
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    const double y = (R - p.Re) / (R + p.Re);
    const double f = 1.0 / (1.0 + std::exp(p.delta * (R - p.Rx)));
    double S = 0.0;
    for (int k = 0; k <= p.K; ++k) S += p.betak[static_cast<std::size_t>(k)] * ipow(y, k);
    const double beta = (S - betainf) * f + betainf;
    const double u = ipow(p.Re / R, p.pLR);
    const double t = 1.0 - u * std::exp(-beta * y);
    Vgrid[i] = p.De * (t * t);
  }
}

void require_well_on_grid(const MljParameters& p, const RadialGrid& grid,
                          std::span<const double> Vgrid, const std::string& potential_file) {
  if (!(p.Re > grid.R(grid.N))) return;
  for (int i = 2; i <= grid.N - 1; ++i) {
    if (!(Vgrid[i] < Vgrid[i - 1] && Vgrid[i] < Vgrid[i + 1])) continue;
    std::ostringstream what;
    what << "the well bottom Re = " << p.Re << " lies beyond the last grid radius "
         << grid.R(grid.N) << ": the local minimum at grid point " << i << ", R = " << grid.R(i)
         << ", is not the well; extend the grid beyond Re";
    throw StopRun(input_message(potential_file, what.str()));
  }
}

double pec_mlj(const MljParameters& p, const std::string& potential_file, std::span<double> Vgrid,
               const RadialGrid& grid) {
  require_grid_slots(Vgrid, grid.N, "pec_mlj");
  console_line(FreeLine() << "MLJ PEC (Le Roy)");
  check_mlj(p, grid, potential_file);
  tabulate_mlj(p, grid, Vgrid);
  require_well_on_grid(p, grid, Vgrid, potential_file);
  return p.De;
}

}  // namespace velk
