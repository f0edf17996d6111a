#include "rkr/rkr_curve.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "numlib/constants.h"
#include "numlib/ipow.h"
#include "pec/curve_file_text.h"
#include "pec/radial_grid.h"

namespace velk::rkr {
namespace {

// The wall's points: this many, inside the top's inner turning point R_a at R_a(1 - j·share).
constexpr int kWallPoints = 4;
constexpr double kWallStepShare = 0.04;
// The step of the scan for the turnover of G(v), in u, and how far it looks.
constexpr double kTurnoverScanStep = 0.05;
constexpr double kTurnoverScanEnd = 2000.0;
// Grid points per local de Broglie wavelength at the top level, for the suggested grid: the
// Numerov error of the top level then stays near 1e-3 cm-1 (guide, section 9).
constexpr double kPointsPerWavelength = 60.0;
// Third differences of R- below this (Å) are rounding, not shape.
constexpr double kThirdDifferenceNoise = 1e-9;

[[noreturn]] void refuse(const RkrOptions& options, const std::string& what) {
  throw InputError("velk-rkr: " + options.source_name + ": " + what);
}

std::string figure(double value) {
  std::ostringstream out;
  out.precision(6);
  out << value;
  return out.str();
}

std::string v_text(double u) {
  return figure(u - 0.5);
}

// The first u > 0 where dG/du reaches zero, by a scan and bisection; none within the scan.
std::optional<double> turnover(const RkrConstants& c) {
  double previous = 0.0;
  for (double u = kTurnoverScanStep; u <= kTurnoverScanEnd; u += kTurnoverScanStep) {
    if (c.term_slope(u) > 0.0) {
      previous = u;
      continue;
    }
    double low = previous, high = u;
    for (int i = 0; i < 200 && high - low > 1e-13 * high; ++i) {
      const double mid = 0.5 * (low + high);
      (c.term_slope(mid) > 0.0 ? low : high) = mid;
    }
    return low;
  }
  return std::nullopt;
}

double choose_top(const RkrConstants& c, const RkrOptions& o, const std::optional<double>& u_turn) {
  const double first_slope = c.term_slope(0.0);
  if (o.v_max) {
    const double u = *o.v_max + 0.5;
    if (!(*o.v_max >= 0.0) || !std::isfinite(u)) {
      refuse(o, "--v-max must be a number >= 0, found " + figure(*o.v_max));
    }
    if (c.u_fitted && u > *c.u_fitted + 1e-12) {
      refuse(o, "--v-max " + figure(*o.v_max) + " lies beyond the band constants (rows v = 0 to " +
                    v_text(*c.u_fitted) + ")");
    }
    if (u_turn && u >= *u_turn) {
      refuse(o, "--v-max " + figure(*o.v_max) +
                    " lies beyond the constants: G(v) stops increasing at v = " + v_text(*u_turn));
    }
    return u;
  }
  if (c.u_fitted) {
    if (u_turn && *c.u_fitted >= *u_turn) {
      refuse(o, "G(v) of the fitted band constants stops increasing at v = " + v_text(*u_turn) +
                    ", below the last row: give --v-max");
    }
    return *c.u_fitted;
  }
  if (!u_turn) {
    refuse(o, "G(v) of the constants does not stop increasing (up to v = " +
                  figure(kTurnoverScanEnd) + "): give --v-max");
  }
  double top = std::floor(*u_turn - 0.5) + 0.5;
  while (top > 0.5 && !(c.term_slope(top) >= kTopSpacingShare * first_slope)) top -= 1.0;
  return top;
}

void check_constants(const RkrConstants& c, const RkrOptions& o) {
  if (!(o.mass1 > 0.0) || !(o.mass2 > 0.0) || !std::isfinite(o.mass1 + o.mass2)) {
    refuse(o, "--masses must be two positive atomic masses (u), found " + figure(o.mass1) + " " +
                  figure(o.mass2));
  }
  if (o.tail_power < 3 || o.tail_power > 20) {
    refuse(o, "--tail-power must lie in 3..20, found " + std::to_string(o.tail_power));
  }
  if (o.order < 2 || o.order > kLargestGaussOrder) {
    refuse(o, "--order must lie in 2.." + std::to_string(kLargestGaussOrder) + ", found " +
                  std::to_string(o.order));
  }
  if (!(c.term_slope(0.0) > 0.0)) {
    refuse(o, "G(v) does not increase from the minimum (dG/dv = " + figure(c.term_slope(0.0)) +
                  " cm-1 at v = -1/2)");
  }
}

int point_count(double u_max, double dv) {
  const double steps = std::floor(u_max / dv + 1e-9);
  const double mesh = steps + (u_max - steps * dv > 1e-9 * u_max ? 1.0 : 0.0);
  return static_cast<int>(std::min(mesh, 1e8)) * 2 + 1 + kWallPoints;
}

double choose_step(const RkrOptions& o, double u_max) {
  if (o.dv) {
    if (!(*o.dv > 0.0) || !std::isfinite(*o.dv)) {
      refuse(o, "--dv must be a positive number, found " + figure(*o.dv));
    }
    const int count = point_count(u_max, *o.dv);
    if (count > kLargestPointCount) {
      refuse(o, "--dv " + figure(*o.dv) + " gives " + std::to_string(count) +
                    " points; a potential file holds at most 500: choose --dv of at least " +
                    figure(u_max / ((kLargestPointCount - 1 - kWallPoints) / 2 - 1)));
    }
    return std::min(*o.dv, u_max);
  }
  for (const double step : kDefaultSteps) {
    if (point_count(u_max, step) <= kLargestPointCount) return std::min(step, u_max);
  }
  return u_max / ((kLargestPointCount - 1 - kWallPoints) / 2 - 1);
}

std::vector<double> mesh_of(double u_max, double dv) {
  std::vector<double> mesh;
  const auto steps = static_cast<int>(std::floor(u_max / dv + 1e-9));
  for (int i = 1; i <= steps; ++i) mesh.push_back(i * dv);
  if (mesh.empty() || u_max - mesh.back() > 1e-9 * u_max) mesh.push_back(u_max);
  mesh.back() = std::min(mesh.back(), u_max);
  return mesh;
}

void check_rotational_constant(const RkrConstants& c, const RkrOptions& o,
                               const std::vector<double>& mesh) {
  if (!(c.rotational_constant(0.0) > 0.0)) {
    refuse(o, "B(v) is not positive at the minimum (B = " + figure(c.rotational_constant(0.0)) +
                  " cm-1)");
  }
  for (const double u : mesh) {
    if (!(c.rotational_constant(u) > 0.0)) {
      refuse(o, "B(v) is not positive at v = " + v_text(u) +
                    " (B = " + figure(c.rotational_constant(u)) + " cm-1): lower --v-max");
    }
  }
}

// The literature's checks of the turning points, as warnings.
void judge_turning_points(RkrCurve& curve, const RkrConstants& c, const RkrOptions& o) {
  const auto& m = curve.mesh;
  int outward = 0;
  std::size_t first_outward = 0;
  for (std::size_t i = 1; i < m.size(); ++i) {
    if (m[i].R_inner > m[i - 1].R_inner) {
      if (outward++ == 0) first_outward = i;
    }
  }
  if (outward > 0) {
    curve.warnings.push_back("the inner wall bends outwards: R-(v) grows with v at " +
                             std::to_string(outward) +
                             " mesh point(s), first at v = " + v_text(m[first_outward].u) +
                             " (R- = " + figure(m[first_outward].R_inner) + " A after " +
                             figure(m[first_outward - 1].R_inner) +
                             " A); the constants are probably used beyond their range");
  }
  int inward = 0;
  std::size_t first_inward = 0;
  for (std::size_t i = 1; i < m.size(); ++i) {
    if (m[i].R_outer < m[i - 1].R_outer) {
      if (inward++ == 0) first_inward = i;
    }
  }
  if (inward > 0) {
    curve.warnings.push_back("the outer branch turns back: R+(v) falls with v at " +
                             std::to_string(inward) +
                             " mesh point(s), first at v = " + v_text(m[first_inward].u));
  }
  // A smooth wall has third differences of one sign; sign changes between differences above the
  // rounding level are wiggles that the levels of the curve will feel.
  int changes = 0;
  double first_change = 0.0, largest = 0.0;
  double last_sign = 0.0;
  for (std::size_t i = 3; i < m.size(); ++i) {
    if (std::fabs((m[i].u - m[i - 1].u) - (m[1].u - m[0].u)) > 1e-9) break;  // uneven last step
    const double third =
        m[i].R_inner - 3.0 * m[i - 1].R_inner + 3.0 * m[i - 2].R_inner - m[i - 3].R_inner;
    largest = std::max(largest, std::fabs(third));
    if (std::fabs(third) <= kThirdDifferenceNoise) continue;
    const double sign = third > 0.0 ? 1.0 : -1.0;
    if (last_sign != 0.0 && sign != last_sign) {
      if (changes++ == 0) first_change = m[i - 1].u;
    }
    last_sign = sign;
  }
  if (changes > 1) {
    curve.warnings.push_back("the inner wall is not smooth: its third difference changes sign " +
                             std::to_string(changes) + " times, first near v = " +
                             v_text(first_change) + " (largest " + figure(largest) + " A)");
  }
  const double top_slope = c.term_slope(curve.u_max);
  if (!c.u_fitted && !o.v_max.has_value()) return;
  if (!c.u_fitted && top_slope < kTopSpacingShare * c.term_slope(0.0)) {
    curve.warnings.push_back(
        "the constants are used where G(v) nearly turns over (dG/dv = " + figure(top_slope) +
        " cm-1 at v_max = " + v_text(curve.u_max) + ", " + figure(c.term_slope(0.0)) +
        " at the minimum): beyond the range they describe");
  }
}

// The wall A + B·exp(-C·R) through the three highest inner turning points, in the form
// U(R) = U_a + (S/C)·(exp(C·(R_a - R)) - 1) with the slope S = -dU/dR and C = U''/S at the top
// point a, taken from the parabola through the three points (energies from the minimum).
void add_wall(RkrCurve& curve, std::vector<double>& R, std::vector<double>& U) {
  const auto& m = curve.mesh;
  const std::size_t n = m.size();
  const double Ra = m[n - 1].R_inner, Ea = m[n - 1].E;
  const double Rb = n > 1 ? m[n - 2].R_inner : curve.Re, Eb = n > 1 ? m[n - 2].E : 0.0;
  const double Rc = n > 2 ? m[n - 3].R_inner : curve.Re, Ec = n > 2 ? m[n - 3].E : 0.0;
  const double ab = (Ea - Eb) / (Ra - Rb), bc = (Eb - Ec) / (Rb - Rc);
  const double second = 2.0 * (ab - bc) / (Ra - Rc);
  const double slope = -(ab + second * 0.5 * (Ra - Rb));  // -dU/dR at Ra
  double C = second / slope;
  if (!(slope > 0.0) || !std::isfinite(slope)) {
    curve.warnings.push_back("the inner wall does not rise at its top: no wall added");
    return;
  }
  if (!(C > 0.0) || !std::isfinite(C)) {
    curve.warnings.push_back("the inner wall is not convex at its top: the wall added is straight");
    C = 0.0;
  }
  const auto wall = [&](double r) {
    return C > 0.0 ? Ea + slope / C * std::expm1(C * (Ra - r)) : Ea + slope * (Ra - r);
  };
  for (int j = kWallPoints; j >= 1; --j) {
    const double r = Ra * (1.0 - kWallStepShare * j);
    R.push_back(r);
    U.push_back(wall(r));
  }
  curve.wall_points = kWallPoints;
  curve.y2first = C > 0.0 ? (U.front() - Ea) * C * C + slope * C : 0.0;
  // Inside the top's inner turning point, where the wall stands at three times its energy: the
  // wave functions of the highest levels have died away there.
  const double rise = 2.0 * Ea;
  const double inside = C > 0.0 ? std::log1p(rise * C / slope) / C : rise / slope;
  curve.grid.Rmin = std::max(Ra - inside, R.front());
}

void add_tail(RkrCurve& curve, const RkrOptions& o) {
  const auto& m = curve.mesh;
  const auto& last = m.back();
  const double R2 = last.R_outer, E2 = last.E;
  const double R1 = m.size() > 1 ? m[m.size() - 2].R_outer : curve.Re;
  const double E1 = m.size() > 1 ? m[m.size() - 2].E : 0.0;
  const int n = o.tail_power;
  const double r1n = ipow(R1, n), r2n = ipow(R2, n);
  const double D = E2 + (E2 - E1) * r1n / (r2n - r1n);
  LongRangeTail& tail = curve.tail;
  tail.power = n;
  tail.asymptote = D + curve.U_min;
  tail.C = (D - E2) * r2n;
  tail.Rfit1 = m.size() > 4 ? m[m.size() - 4].R_outer : R1;
  tail.Rfit2 = R2;
  curve.y2last = -static_cast<double>(n) * (n + 1) * tail.C / ipow(R2, n + 2);
}

void suggest_grid(RkrCurve& curve) {
  const auto& top = curve.mesh.back();
  const double Rmin =
      curve.wall_points > 0 ? curve.grid.Rmin : top.R_inner - 0.1 * (top.R_outer - top.R_inner);
  const double depth = curve.tail.asymptote - curve.U_min - top.E;
  const double kappa = std::sqrt(constants::kTwoUOverHbar2 * curve.mu * std::max(depth, 1e-6));
  const double beyond =
      std::min(std::max({1.0, 0.5 * (top.R_outer - curve.Re), 8.0 / kappa}), 50.0);
  const double Rmax = top.R_outer + beyond;
  const double k_top = std::sqrt(constants::kTwoUOverHbar2 * curve.mu * top.E);
  const double h = 2.0 * std::numbers::pi / k_top / kPointsPerWavelength;
  const double points = std::ceil((Rmax - Rmin) / h) + 1.0;
  // Rounded outwards to the four decimals the report prints, so that the grid a user copies is
  // the grid --check solves on.
  curve.grid = {std::floor(Rmin * 1e4) / 1e4, std::ceil(Rmax * 1e4) / 1e4,
                static_cast<int>(std::clamp(points, 1000.0, double(RadialGrid::kCapacity)))};
}

}  // namespace

RkrCurve build_rkr_curve(const RkrConstants& c, const RkrOptions& o) {
  check_constants(c, o);
  RkrCurve curve;
  curve.mu = o.mass1 * o.mass2 / (o.mass1 + o.mass2);
  curve.U_min = o.with_te ? c.Y00 : 0.0;
  curve.u_turnover = turnover(c);
  curve.u_max = choose_top(c, o, curve.u_turnover);
  if (!(curve.u_max > 0.0)) refuse(o, "the range of v is empty");
  curve.dv = choose_step(o, curve.u_max);
  const std::vector<double> mesh = mesh_of(curve.u_max, curve.dv);
  check_rotational_constant(c, o, mesh);
  curve.Re = equilibrium_radius(c, curve.mu);
  rkr_turning_points(c, curve.mu, mesh, gauss_legendre_unit(o.order), curve.mesh);
  judge_turning_points(curve, c, o);
  if (!o.with_te && std::fabs(c.Y00) > 0.25 * c.term_slope(0.0)) {
    curve.warnings.push_back("Y(0,0) = " + figure(c.Y00) +
                             " cm-1 is larger than a zero-point correction; if it is Te, give "
                             "--te (the curve's energies start at 0 at its minimum)");
  }

  std::vector<double> R, U;
  add_wall(curve, R, U);
  for (auto it = curve.mesh.rbegin(); it != curve.mesh.rend(); ++it) {
    R.push_back(it->R_inner);
    U.push_back(it->E);
  }
  R.push_back(curve.Re);
  U.push_back(0.0);
  for (const auto& point : curve.mesh) {
    R.push_back(point.R_outer);
    U.push_back(point.E);
  }
  for (std::size_t i = 0; i < R.size(); ++i) {
    const bool increasing = i == 0 || R[i] > R[i - 1];
    if (!(R[i] > 0.0) || !std::isfinite(R[i]) || !increasing) {
      throw StopRun("velk-rkr: " + o.source_name +
                    ": the turning points are not single-valued in R (point " +
                    std::to_string(i + 1) + " at R = " + figure(R[i]) +
                    " A): no potential file can hold them; lower --v-max");
    }
  }
  for (double& value : U) value += curve.U_min;
  curve.R = std::move(R);
  curve.U = std::move(U);
  add_tail(curve, o);
  suggest_grid(curve);
  return curve;
}

std::string rkr_file_text(const RkrCurve& curve, const RkrConstants& c, const RkrOptions& o) {
  HeaderFields header;
  header.masses[0] = curve.mu;
  header.Lambda = c.Lambda;
  header.description = "RKR curve of " + o.source_name + " (velk-rkr): v = -1/2 to " +
                       shortest_decimal(curve.u_max - 0.5) + " in steps of " +
                       shortest_decimal(curve.dv) + ", " + std::to_string(o.order) +
                       "-point quadrature";
  header.remark = o.with_te ? "energies with Y(0,0) = " + shortest_decimal(c.Y00) +
                                  " cm-1 as Te at the minimum; cm-1, A"
                            : "energies from the well's minimum; cm-1, A";
  std::vector<std::string> lines = header_lines(header, curve.R.size(), "PW");
  add_note(lines[0], "number of points");
  lines[1] += "  reduced mass (u) of masses " + shortest_decimal(o.mass1) + " and " +
              shortest_decimal(o.mass2);
  add_note(lines[2], "Lambda");
  add_note(lines[3], "q1");
  add_note(lines[4], "q2");
  lines[7] += "  pointwise table";

  const LongRangeTail& t = curve.tail;
  PointsCurve points{curve.R, curve.U, curve.y2first, curve.y2last, PointsExtension{}};
  PointsExtension& tail = *points.extension;
  tail.Rfit1 = t.Rfit1;
  tail.Rfit2 = t.Rfit2;
  tail.asymptote = {t.asymptote, false};
  tail.dispersion[t.power] = {t.C, true};
  const std::vector<std::string> body = pointwise_body_lines(points);
  const std::size_t first_point = lines.size() + 2, tail_start = first_point + curve.R.size();
  lines.insert(lines.end(), body.begin(), body.end());
  add_note(lines[first_point - 2], "second derivative at the first point (cm-1/A^2)");
  add_note(lines[first_point - 1], "second derivative at the last point");
  const std::string power = std::to_string(t.power);
  add_note(lines[tail_start], "long-range tail: D - C" + power + "/R^" + power);
  lines[tail_start + 1] += "  fit window (A), no damping";
  lines[tail_start + 2] += "  asymptote D, held";
  add_note(lines[tail_start + 3], "one dispersion term");
  lines[tail_start + 4] += "  C" + power + ", fitted to the outer points";
  add_note(lines[tail_start + 5], "no exchange term");
  return file_text(lines);
}

}  // namespace velk::rkr
