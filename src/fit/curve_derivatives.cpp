#include "fit/curve_derivatives.h"

#include <cmath>
#include <stdexcept>

#include "numlib/ipow.h"

namespace velk::fit {
namespace {

void mlj_derivative(const MljParameters& p, const RadialGrid& grid, const ParameterRef& ref,
                    std::span<double> dU) {
  const double betainf = mlj_betainf(p);
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    const double y = (R - p.Re) / (R + p.Re);
    const double f = 1.0 / (1.0 + std::exp(p.delta * (R - p.Rx)));
    double S = 0.0, dS = 0.0;
    for (int k = 0; k <= p.K; ++k) {
      const double bk = p.betak[static_cast<std::size_t>(k)];
      S += bk * ipow(y, k);
      if (k > 0) dS += static_cast<double>(k) * bk * ipow(y, k - 1);
    }
    const double beta = (S - betainf) * f + betainf;
    const double u = ipow(p.Re / R, p.pLR) * std::exp(-beta * y);
    const double t = 1.0 - u;
    // U = De t², t = 1 - u: a parameter that enters through beta alone moves U by
    // 2 De t u y ∂beta/∂q.
    const double through_beta = 2.0 * p.De * t * u * y;
    double value = 0.0;
    switch (ref.kind) {
      case ParameterKind::mlj_beta:
        value = through_beta * f * ipow(y, ref.k);
        break;
      case ParameterKind::mlj_de:
        value = t * t + through_beta * (1.0 - f) / p.De;
        break;
      case ParameterKind::mlj_cp:
        value = -through_beta * (1.0 - f) / p.Cp;
        break;
      case ParameterKind::mlj_delta:
        value = through_beta * (S - betainf) * (-f * (1.0 - f) * (R - p.Rx));
        break;
      case ParameterKind::mlj_rx:
        value = through_beta * (S - betainf) * (f * (1.0 - f) * p.delta);
        break;
      case ParameterKind::mlj_re: {
        const double dy = -2.0 * R / ((R + p.Re) * (R + p.Re));
        const double dbeta = f * dS * dy + (1.0 - f) * p.pLR / p.Re;
        const double dlog_u = p.pLR / p.Re - (dbeta * y + beta * dy);
        value = -2.0 * p.De * t * u * dlog_u;
        break;
      }
      default:
        throw std::logic_error("not an MLJ parameter");
    }
    dU[static_cast<std::size_t>(i)] = value;
  }
}

struct Series {
  const AnalyticParameters& p;
  double xi(double R) const { return (R - p.Rm) / (R + p.bpar * p.Rm); }
  double dxi_dR(double R) const {
    const double d = R + p.bpar * p.Rm;
    return p.Rm * (1.0 + p.bpar) / (d * d);
  }
  double dP_dxi(double x) const {
    double sum = 0.0;
    for (int k = 1; k <= p.kmax; ++k) {
      sum += static_cast<double>(k) * p.acoef[static_cast<std::size_t>(k)] * ipow(x, k - 1);
    }
    return sum;
  }
};

// ∂P(R)/∂q and ∂P'(R)/∂q for a coefficient a_k; zero for the other parameters.
struct SeriesShare {
  double value = 0.0, slope = 0.0;
};
SeriesShare series_share(const Series& s, const ParameterRef& ref, double R) {
  if (ref.kind != ParameterKind::an_a) return {};
  const double x = s.xi(R);
  return {ipow(x, ref.k),
          ref.k == 0 ? 0.0 : static_cast<double>(ref.k) * ipow(x, ref.k - 1) * s.dxi_dR(R)};
}

void analytic_derivative(const AnalyticParameters& p, const RadialGrid& grid,
                         const ParameterRef& ref, std::span<double> dU) {
  const Series s{p};
  const bool derived_wall = p.srtype == 1 && p.Asr == 0.0 && p.Bsr == 0.0;
  const bool derived_asymptote = p.Uinf == 0.0;
  const int32_t m2 = p.mlr + 2;
  // The derived wall A + B/R^N meets the series in value and slope at Ri.
  double dA = 0.0, dB = 0.0;
  if (derived_wall) {
    const SeriesShare at_ri = series_share(s, ref, p.Ri);
    dA = at_ri.value + at_ri.slope * p.Ri / p.Nsr;
    dB = -at_ri.slope * std::pow(p.Ri, p.Nsr + 1.0) / p.Nsr;
  }
  // The derived asymptote and C(m+2) meet the series in value and slope at Ro.
  double dUinf = 0.0, dCm2 = 0.0;
  if (derived_asymptote) {
    SeriesShare at_ro = series_share(s, ref, p.Ro);
    if (ref.kind == ParameterKind::an_c) {
      at_ro.value += 1.0 / ipow(p.Ro, ref.k);
      at_ro.slope -= static_cast<double>(ref.k) / ipow(p.Ro, ref.k + 1);
    }
    dCm2 = at_ro.slope * ipow(p.Ro, p.mlr + 3) / static_cast<double>(m2);
    dUinf = at_ro.value + at_ro.slope * p.Ro / static_cast<double>(m2);
  }
  for (int i = 1; i <= grid.N; ++i) {
    const double R = grid.R(i);
    double value = 0.0;
    if (R < p.Ri) {
      if (derived_wall) {
        value = dA + dB / std::pow(R, p.Nsr);
      } else if (p.srtype == 1) {
        if (ref.kind == ParameterKind::an_wall_a) value = 1.0;
        if (ref.kind == ParameterKind::an_wall_b) value = 1.0 / std::pow(R, p.Nsr);
      } else {
        const double e = std::exp(-p.Bsr * (R - p.Ri));
        if (ref.kind == ParameterKind::an_wall_a) value = e;
        if (ref.kind == ParameterKind::an_wall_b) value = -p.Asr * (R - p.Ri) * e;
      }
    } else if (R > p.Ro) {
      if (derived_asymptote) value = dUinf - dCm2 / ipow(R, m2);
      if (ref.kind == ParameterKind::an_uinf) value = 1.0;
      if (ref.kind == ParameterKind::an_c) value += -1.0 / ipow(R, ref.k);
      if (ref.kind == ParameterKind::an_aex) value = std::pow(R, p.gex) * std::exp(-p.bex * R);
    } else {
      const double x = s.xi(R);
      const double d = R + p.bpar * p.Rm;
      switch (ref.kind) {
        case ParameterKind::an_a:
          value = ipow(x, ref.k);
          break;
        case ParameterKind::an_rm:
          value = s.dP_dxi(x) * (-R * (1.0 + p.bpar) / (d * d));
          break;
        case ParameterKind::an_b:
          value = s.dP_dxi(x) * (-(R - p.Rm) * p.Rm / (d * d));
          break;
        default:
          break;
      }
    }
    dU[static_cast<std::size_t>(i)] = value;
  }
}

}  // namespace

void tabulate_curve_derivative(const FitState& state, const ParameterRef& ref,
                               std::span<double> dU) {
  if (state.form == StateForm::mlj) {
    mlj_derivative(std::get<MljParameters>(state.curve.parameters), state.grid, ref, dU);
  } else if (state.form == StateForm::analytic) {
    analytic_derivative(std::get<AnalyticParameters>(state.curve.parameters), state.grid, ref, dU);
  } else {
    throw std::logic_error("a curve parameter of a state without an analytic curve");
  }
}

}  // namespace velk::fit
