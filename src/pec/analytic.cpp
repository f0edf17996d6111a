#include "pec/analytic.h"

#include <cmath>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "numlib/ipow.h"
#include "pec/potential_header.h"

namespace velk {
namespace {

// The expansion between the connection radii.
struct Expansion {
  const AnalyticParameters& p;

  double xi(double R) const { return (R - p.Rm) / (R + p.bpar * p.Rm); }

  double P(double R) const {
    const double x = xi(R);
    double v = p.acoef[static_cast<std::size_t>(p.kmax)];
    for (int k = p.kmax - 1; k >= 0; --k) v = v * x + p.acoef[static_cast<std::size_t>(k)];
    return v;
  }

  double dP(double R) const {
    const double x = xi(R);
    double S = static_cast<double>(p.kmax) * p.acoef[static_cast<std::size_t>(p.kmax)];
    for (int k = p.kmax - 1; k >= 1; --k) {
      S = S * x + static_cast<double>(k) * p.acoef[static_cast<std::size_t>(k)];
    }
    return (p.bpar + 1.0) * p.Rm * S / ipow(R + p.bpar * p.Rm, 2);
  }
};

StopRun bad_index(const std::string& potential_file, const BadIndex& bad, std::string_view range) {
  return StopRun(line_message(potential_file, bad.line,
                              "index " + std::to_string(bad.k) + " outside " + std::string(range)));
}

void read_body(FreeFormatReader& in, AnalyticParameters& p) {
  in.read(p.Rm);
  in.read(p.bpar);
  if (!read_indexed_lines(in, p.Npts, p.acoef, 0, p.kmax, p.bad_coefficient)) return;
  in.read(p.srtype);
  p.srtype_line = in.line_number();
  if (p.srtype == 1) {
    in.read(p.Asr, p.Bsr, p.Nsr);
  } else if (p.srtype == 2) {
    in.read(p.Asr, p.Bsr);
  } else {
    return;  // the layout of the rest is unknown
  }
  p.wall_line = in.line_number();
  in.read(p.Uinf);
  in.read(p.L);
  p.L_line = in.line_number();
  // Clr holds C_1 .. C_20; its slot 0 is no index.
  if (!read_indexed_lines(in, p.L, p.Clr, 1, p.mlr, p.bad_long_range)) return;
  in.read(p.Aex, p.gex, p.bex);
  in.read(p.Ri, p.Ro);
}

}  // namespace

void check_analytic_wall(const AnalyticParameters& p, const std::string& potential_file) {
  check_builder_count(potential_file, p.Npts, kAnalyticCapacity,
                      "number of points must be less than 101", "coefficient lines");
  if (p.bad_coefficient) throw bad_index(potential_file, *p.bad_coefficient, "0..100");
  if (p.srtype_line == 0) throw_read_failure(p.read_failure);
  if (p.srtype != 1 && p.srtype != 2) throw StopRun("Specify the short range type!");
  if (p.wall_line == 0) throw_read_failure(p.read_failure);
}

void check_analytic(const AnalyticParameters& p, const RadialGrid& grid,
                    const std::string& potential_file) {
  if (p.L_line > 0 && p.L < 0) {
    throw StopRun(
        line_message(potential_file, p.L_line,
                     "the number of long-range lines is negative (" + std::to_string(p.L) + ")"));
  }
  if (p.bad_long_range) throw bad_index(potential_file, *p.bad_long_range, "1..20");
  throw_read_failure(p.read_failure);

  if (!(p.Ri < p.Ro)) {
    throw StopRun(input_message(
        potential_file, "the inner connection radius Ri must be smaller than the outer one Ro"));
  }
  // xi has a pole at R = -b*Rm; it must not lie between the connection radii, where P is used.
  const double inner_denominator = p.Ri + p.bpar * p.Rm;
  const double outer_denominator = p.Ro + p.bpar * p.Rm;
  if (!((inner_denominator > 0.0 && outer_denominator > 0.0) ||
        (inner_denominator < 0.0 && outer_denominator < 0.0))) {
    throw StopRun(input_message(potential_file, "R + b*Rm vanishes between Ri and Ro"));
  }
  require_positive_grid(potential_file, grid, "analytic");
  const bool derive_wall = p.srtype == 1 && p.Asr == 0.0 && p.Bsr == 0.0;
  if (derive_wall && (p.Nsr == 0.0 || !(p.Ri > 0.0))) {
    throw StopRun(input_message(potential_file,
                                "the short-range wall derived at Ri needs Nsr /= 0 and Ri > 0"));
  }
  const bool derive_asymptote = p.Uinf == 0.0;
  const int32_t m2 = p.mlr + 2;
  if (derive_asymptote && m2 > kLongRangeCapacity) {
    throw StopRun(input_message(potential_file, "the derived long-range coefficient C" +
                                                    std::to_string(m2) +
                                                    " exceeds C20 (largest index above 18)"));
  }
  if (derive_asymptote && !(p.Ro > 0.0)) {
    throw StopRun(input_message(potential_file, "the asymptote derived at Ro needs Ro > 0"));
  }
}

AnalyticParameters read_analytic(const InputText& text) {
  return read_builder_file<AnalyticParameters>(text, kAnalyticCapacity, read_body);
}

AnalyticCurve derive_analytic(const AnalyticParameters& checked) {
  AnalyticCurve curve{checked};
  AnalyticParameters& p = curve.p;
  const Expansion P{p};
  curve.derived_wall = p.srtype == 1 && p.Asr == 0.0 && p.Bsr == 0.0;
  if (curve.derived_wall) {
    const double D = P.dP(p.Ri);
    p.Asr = P.P(p.Ri) + D * p.Ri / p.Nsr;
    p.Bsr = -D * std::pow(p.Ri, p.Nsr + 1.0) / p.Nsr;
  }
  curve.derived_asymptote = p.Uinf == 0.0;
  curve.m2 = p.mlr + 2;
  if (curve.derived_asymptote) {
    double value_sum = 0.0;
    double slope_sum = 0.0;
    for (int k = 1; k <= kLongRangeCapacity; ++k) {
      value_sum += p.Clr[static_cast<std::size_t>(k)] / ipow(p.Ro, k);
      slope_sum += static_cast<double>(k) * p.Clr[static_cast<std::size_t>(k)] / ipow(p.Ro, k + 1);
    }
    const double U1 = P.P(p.Ro) + value_sum;
    const double D1 = P.dP(p.Ro) - slope_sum;
    p.Clr[static_cast<std::size_t>(curve.m2)] =
        D1 * ipow(p.Ro, p.mlr + 3) / static_cast<double>(curve.m2);
    p.Uinf = U1 + D1 * p.Ro / static_cast<double>(curve.m2);
  }
  return curve;
}

void tabulate_analytic(const AnalyticCurve& curve, const RadialGrid& grid,
                       std::span<double> Vgrid) {
  require_grid_slots(Vgrid, grid.N, "pec_analytic");
  const AnalyticParameters& p = curve.p;
  const Expansion P{p};
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    if (R < p.Ri) {
      Vgrid[i] = p.srtype == 1 ? p.Asr + p.Bsr / std::pow(R, p.Nsr)
                               : p.Asr * std::exp(-p.Bsr * (R - p.Ri));
    }
    if (R > p.Ro) {
      double dispersion = 0.0;
      for (int k = 1; k <= kLongRangeCapacity; ++k) {
        dispersion += p.Clr[static_cast<std::size_t>(k)] / ipow(R, k);
      }
      Vgrid[i] = p.Uinf - dispersion + p.Aex * std::pow(R, p.gex) * std::exp(-p.bex * R);
    }
    if (R >= p.Ri && R <= p.Ro) Vgrid[i] = P.P(R);
  }
}

double pec_analytic(const AnalyticParameters& p, const std::string& potential_file,
                    std::span<double> Vgrid, const RadialGrid& grid) {
  require_grid_slots(Vgrid, grid.N, "pec_analytic");
  console_line(FreeLine() << "Analytic PEC (Tiemann)");
  check_analytic_wall(p, potential_file);
  console_line(FreeLine() << (p.srtype == 1 ? "Polynomial extension at short range."
                                            : "Exponential extension at short range."));
  check_analytic(p, grid, potential_file);
  const AnalyticCurve curve = derive_analytic(p);
  if (curve.derived_wall) console_line(FreeLine() << curve.p.Asr << curve.p.Bsr);
  if (curve.derived_asymptote) {
    console_line(FreeLine() << curve.p.Uinf << curve.m2
                            << curve.p.Clr[static_cast<std::size_t>(curve.m2)]);
  }
  tabulate_analytic(curve, grid, Vgrid);
  return p.Uinf;
}

}  // namespace velk
