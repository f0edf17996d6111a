#include "pec/analytic.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

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
  double Rm = 0.0;
  double bpar = 0.0;
  std::array<double, kAnalyticCapacity> acoef{};  // a_0 .. a_100
  int32_t kmax = 0;

  double xi(double R) const { return (R - Rm) / (R + bpar * Rm); }

  double P(double R) const {
    const double x = xi(R);
    double p = acoef[kmax];
    for (int k = kmax - 1; k >= 0; --k) p = p * x + acoef[k];
    return p;
  }

  double dP(double R) const {
    const double x = xi(R);
    double S = static_cast<double>(kmax) * acoef[kmax];
    for (int k = kmax - 1; k >= 1; --k) S = S * x + static_cast<double>(k) * acoef[k];
    return (bpar + 1.0) * Rm * S / ipow(R + bpar * Rm, 2);
  }
};

}  // namespace

double pec_analytic(const std::string& potential_file, std::span<double> Vgrid, double R0, double h,
                    int N) {
  require_grid_slots(Vgrid, N, "pec_analytic");
  console_line(FreeLine() << "Analytic PEC (Tiemann)");

  Expansion P;
  std::array<double, kLongRangeCapacity + 1> Clr{};  // C_1 .. C_20, slot 0 unused
  int32_t mlr = 0;
  int32_t srtype = 0;
  double Asr = 0.0, Bsr = 0.0, Nsr = 0.0;
  double Uinf_read = 0.0;
  double Aex = 0.0, gex = 0.0, bex = 0.0;
  double Ri = 0.0, Ro = 0.0;
  {
    FreeFormatReader in(potential_file);
    const auto bad_index = [&](int32_t k, std::string_view range) {
      return StopRun(input_message(potential_file, "line " + std::to_string(in.line_number()) +
                                                       ": index " + std::to_string(k) +
                                                       " outside " + std::string(range)));
    };
    const int32_t Npts = skip_potential_header(
        in, kAnalyticCapacity, "number of points must be less than 101", "coefficient lines");
    in.read(P.Rm);
    in.read(P.bpar);
    for (int32_t line = 1; line <= Npts; ++line) {
      int32_t k = -1;
      // A read ended by a slash after k leaves the coefficient as it was.
      double a = std::numeric_limits<double>::quiet_NaN();
      in.read(k, a);
      if (k < 0 || k >= kAnalyticCapacity) throw bad_index(k, "0..100");
      if (!std::isnan(a)) P.acoef[k] = a;
      if (k > P.kmax) P.kmax = k;
    }
    in.read(srtype);
    if (srtype == 1) {
      in.read(Asr, Bsr, Nsr);
      console_line(FreeLine() << "Polynomial extension at short range.");
    } else if (srtype == 2) {
      in.read(Asr, Bsr);
      console_line(FreeLine() << "Exponential extension at short range.");
    } else {
      throw StopRun("Specify the short range type!");
    }
    in.read(Uinf_read);
    int32_t L = 0;
    in.read(L);
    if (L < 0) {
      const std::string where = "line " + std::to_string(in.line_number());
      throw StopRun(input_message(
          potential_file,
          where + ": the number of long-range lines is negative (" + std::to_string(L) + ")"));
    }
    for (int32_t line = 1; line <= L; ++line) {
      int32_t k = 0;
      double C = std::numeric_limits<double>::quiet_NaN();
      in.read(k, C);
      if (k < 1 || k > kLongRangeCapacity) throw bad_index(k, "1..20");
      if (!std::isnan(C)) Clr[k] = C;
      if (k > mlr) mlr = k;
    }
    in.read(Aex, gex, bex);
    in.read(Ri, Ro);
  }

  if (!(Ri < Ro)) {
    throw StopRun(input_message(
        potential_file, "the inner connection radius Ri must be smaller than the outer one Ro"));
  }
  // xi has a pole at R = -b*Rm; it must not lie between the connection radii, where P is used.
  const double inner_denominator = Ri + P.bpar * P.Rm;
  const double outer_denominator = Ro + P.bpar * P.Rm;
  if (!((inner_denominator > 0.0 && outer_denominator > 0.0) ||
        (inner_denominator < 0.0 && outer_denominator < 0.0))) {
    throw StopRun(input_message(potential_file, "R + b*Rm vanishes between Ri and Ro"));
  }
  require_positive_grid(potential_file, R0, h, N, "analytic");
  const bool derive_wall = srtype == 1 && Asr == 0.0 && Bsr == 0.0;
  if (derive_wall && (Nsr == 0.0 || !(Ri > 0.0))) {
    throw StopRun(input_message(potential_file,
                                "the short-range wall derived at Ri needs Nsr /= 0 and Ri > 0"));
  }
  const bool derive_asymptote = Uinf_read == 0.0;
  const int32_t m2 = mlr + 2;
  if (derive_asymptote && m2 > kLongRangeCapacity) {
    throw StopRun(input_message(potential_file, "the derived long-range coefficient C" +
                                                    std::to_string(m2) +
                                                    " exceeds C20 (largest index above 18)"));
  }
  if (derive_asymptote && !(Ro > 0.0)) {
    throw StopRun(input_message(potential_file, "the asymptote derived at Ro needs Ro > 0"));
  }

  if (derive_wall) {
    const double D = P.dP(Ri);
    Asr = P.P(Ri) + D * Ri / Nsr;
    Bsr = -D * std::pow(Ri, Nsr + 1.0) / Nsr;
    console_line(FreeLine() << Asr << Bsr);
  }
  double Uinf = Uinf_read;
  if (derive_asymptote) {
    double value_sum = 0.0;
    double slope_sum = 0.0;
    for (int k = 1; k <= kLongRangeCapacity; ++k) {
      value_sum += Clr[k] / ipow(Ro, k);
      slope_sum += static_cast<double>(k) * Clr[k] / ipow(Ro, k + 1);
    }
    const double U1 = P.P(Ro) + value_sum;
    const double D1 = P.dP(Ro) - slope_sum;
    Clr[m2] = D1 * ipow(Ro, mlr + 3) / static_cast<double>(m2);
    Uinf = U1 + D1 * Ro / static_cast<double>(m2);
    console_line(FreeLine() << Uinf << m2 << Clr[m2]);
  }

  for (int i = 1; i <= N; ++i) {
    const double R = grid_radius(R0, h, static_cast<double>(i));
    if (R < Ri) {
      Vgrid[i] = srtype == 1 ? Asr + Bsr / std::pow(R, Nsr) : Asr * std::exp(-Bsr * (R - Ri));
    }
    if (R > Ro) {
      double dispersion = 0.0;
      for (int k = 1; k <= kLongRangeCapacity; ++k) dispersion += Clr[k] / ipow(R, k);
      Vgrid[i] = Uinf - dispersion + Aex * std::pow(R, gex) * std::exp(-bex * R);
    }
    if (R >= Ri && R <= Ro) Vgrid[i] = P.P(R);
  }
  return Uinf_read;
}

}  // namespace velk
