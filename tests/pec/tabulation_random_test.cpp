// Seeded randomized checks of the pure tabulations of the analytic and MLJ forms against a direct
// evaluation of their defining formulas in long double, written here apart from the builders:
// plain power sums instead of Horner's rule, std::pow instead of square-and-multiply.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "pec/analytic.h"
#include "pec/mlj.h"
#include "pec/radial_grid.h"

namespace velk {
namespace {

constexpr long double kEps = std::numeric_limits<double>::epsilon();

// MLJ: V = De (1 - t)^2 with t = u e^(-beta y). Every factor is formed with a relative error of a
// few eps, the exponential turns the rounding of its argument into a relative error of about
// eps·|beta y|, and 1 - t loses no more than |t| eps absolutely. So the error is a few eps times
// De·(1 + t)^2·(1 + |beta y|); 256 units leaves room (measured worst: 9), while a wrong sign,
// power or switching function is off by far more.
TEST(TabulationRandom, MljAgreesWithItsFormula) {
  std::mt19937_64 random(77);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 300; ++trial) {
    MljParameters p;
    p.Re = 2.0 + 2.0 * unit(random);
    p.K = static_cast<int32_t>(random() % 6);
    for (int k = 0; k <= p.K; ++k) p.betak[static_cast<std::size_t>(k)] = 2.0 * unit(random) - 1.0;
    p.betak[0] += 1.0;
    p.De = 1e3 + 9e3 * unit(random);
    p.pLR = (random() % 2) ? 6 : 4;
    const double binf = 0.5 + 1.5 * unit(random);
    p.Cp = 2.0 * p.De * std::pow(p.Re, p.pLR) * std::exp(-binf);
    p.delta = 0.5 + 2.5 * unit(random);
    p.Rx = p.Re * (1.0 + unit(random));
    const RadialGrid grid(0.6 * p.Re, 6.0 * p.Re, 50 + static_cast<int32_t>(random() % 400));
    std::vector<double> V(static_cast<std::size_t>(grid.N) + 1, 0.0);
    tabulate_mlj(p, grid, V);

    const long double Re = p.Re, De = p.De;
    const long double betainf =
        std::log(2.0L * De * std::pow(Re, static_cast<long double>(p.pLR)) / p.Cp);
    for (int i = 1; i <= grid.N; ++i) {
      const long double R = grid.R0 + static_cast<long double>(i) * grid.h;
      const long double y = (R - Re) / (R + Re);
      long double S = 0.0L;
      for (int k = 0; k <= p.K; ++k) {
        S += p.betak[static_cast<std::size_t>(k)] * std::pow(y, static_cast<long double>(k));
      }
      const long double f = 1.0L / (1.0L + std::exp(p.delta * (R - p.Rx)));
      const long double beta = (S - betainf) * f + betainf;
      const long double t = std::pow(Re / R, static_cast<long double>(p.pLR)) * std::exp(-beta * y);
      const long double want = De * (1.0L - t) * (1.0L - t);
      const long double unit_error =
          kEps * De * (1.0L + t) * (1.0L + t) * (1.0L + std::fabs(beta * y));
      ASSERT_LE(std::fabs(V[static_cast<std::size_t>(i)] - want), 256.0L * unit_error)
          << "trial " << trial << ", R = " << static_cast<double>(R);
    }
  }
}

// The analytic form, pieces and derived parts: P by a plain power sum, the derived wall and
// asymptote from the continuity conditions written out here. Horner's rule and the power sum
// differ by a few eps times the sum of |a_k xi^k|; the wall and the tail add the rounding of
// their own terms. Tolerance 256 eps times the sum of the magnitudes of all terms (measured
// worst: 33); a wrong branch, sign or matching condition is off by whole terms. The derived
// wall and tail carry the rounding of their derivation on top: 1e-12 of that sum (measured
// worst: 1.3e-15).
struct Reference {
  const AnalyticParameters& p;
  long double xi(long double R) const { return (R - p.Rm) / (R + p.bpar * p.Rm); }
  long double dxi(long double R) const {
    return (1.0L + p.bpar) * p.Rm / ((R + p.bpar * p.Rm) * (R + p.bpar * p.Rm));
  }
  long double P(long double R, long double* size = nullptr) const {
    long double s = 0.0L, m = 0.0L;
    for (int k = 0; k <= p.kmax; ++k) {
      const long double term = p.acoef[static_cast<std::size_t>(k)] * std::pow(xi(R), k);
      s += term;
      m += std::fabs(term);
    }
    if (size) *size = m;
    return s;
  }
  long double dP(long double R) const {
    long double s = 0.0L;
    for (int k = 1; k <= p.kmax; ++k) {
      s += k * p.acoef[static_cast<std::size_t>(k)] * std::pow(xi(R), k - 1);
    }
    return s * dxi(R);
  }
};

TEST(TabulationRandom, AnalyticAgreesWithItsFormulaAndContinuityConditions) {
  std::mt19937_64 random(2024);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < 300; ++trial) {
    AnalyticParameters p;
    p.Rm = 2.5 + unit(random);
    p.bpar = -0.3 + 0.6 * unit(random);
    p.kmax = static_cast<int32_t>(random() % 8);
    p.acoef[0] = -5000.0 * unit(random);
    for (int k = 1; k <= p.kmax; ++k) {
      p.acoef[static_cast<std::size_t>(k)] = 2e4 * (2.0 * unit(random) - 1.0);
    }
    p.srtype = (random() % 2) ? 1 : 2;
    const bool derive_wall = p.srtype == 1 && (random() % 2);
    if (!derive_wall) {
      p.Asr = 1e3 * unit(random);
      p.Bsr = p.srtype == 1 ? 1e4 * unit(random) : 3.0 * unit(random);
    }
    p.Nsr = 2.0 + 10.0 * unit(random);
    p.Ri = p.Rm * (0.7 + 0.2 * unit(random));
    p.Ro = p.Rm * (1.5 + unit(random));
    p.mlr = static_cast<int32_t>(random() % 11);
    for (int k = 1; k <= p.mlr; ++k) {
      p.Clr[static_cast<std::size_t>(k)] = std::pow(p.Ro, k) * 100.0 * unit(random);
    }
    p.Uinf = (random() % 2) ? 0.0 : 500.0 * unit(random);
    p.Aex = 100.0 * (2.0 * unit(random) - 1.0);
    p.gex = 3.0 * unit(random);
    p.bex = 0.5 + unit(random);
    const RadialGrid grid(0.5 * p.Rm, 5.0 * p.Rm, 50 + static_cast<int32_t>(random() % 400));
    const AnalyticCurve curve = derive_analytic(p);
    std::vector<double> V(static_cast<std::size_t>(grid.N) + 1, 0.0);
    tabulate_analytic(curve, grid, V);

    const Reference ref{p};
    // Continuity: the derived wall meets P in value and slope at Ri, the derived tail (without
    // the exchange term) at Ro.
    long double Asr = p.Asr, Bsr = p.Bsr;
    if (derive_wall) {
      ASSERT_TRUE(curve.derived_wall);
      const long double D = ref.dP(p.Ri);
      Bsr = -D * std::pow(static_cast<long double>(p.Ri), p.Nsr + 1.0L) / p.Nsr;
      Asr = ref.P(p.Ri) - Bsr / std::pow(static_cast<long double>(p.Ri), p.Nsr);
      EXPECT_NEAR(curve.p.Asr, Asr, 1e-12L * (std::fabs(Asr) + std::fabs(ref.P(p.Ri)) + 1.0L));
      EXPECT_NEAR(curve.p.Bsr, Bsr, 1e-12L * std::fabs(Bsr));
    }
    std::vector<long double> C(p.Clr.begin(), p.Clr.end());
    long double Uinf = p.Uinf;
    if (p.Uinf == 0.0) {
      ASSERT_TRUE(curve.derived_asymptote);
      const int m2 = p.mlr + 2;
      ASSERT_EQ(curve.m2, m2);
      // Value and slope at Ro: Uinf - sum C_k/Ro^k = P(Ro) and sum k C_k/Ro^(k+1) = P'(Ro),
      // solved for Uinf and C_(m+2).
      long double slope = 0.0L, value = 0.0L;
      for (int k = 1; k <= 20; ++k)
        slope +=
            k * C[static_cast<std::size_t>(k)] / std::pow(static_cast<long double>(p.Ro), k + 1);
      C[static_cast<std::size_t>(m2)] =
          (ref.dP(p.Ro) - slope) * std::pow(static_cast<long double>(p.Ro), m2 + 1) / m2;
      for (int k = 1; k <= 20; ++k)
        value += C[static_cast<std::size_t>(k)] / std::pow(static_cast<long double>(p.Ro), k);
      Uinf = ref.P(p.Ro) + value;
      EXPECT_NEAR(curve.p.Uinf, Uinf, 1e-12L * (std::fabs(Uinf) + std::fabs(value) + 1.0L));
    }
    for (int i = 1; i <= grid.N; ++i) {
      const long double R = grid.R0 + static_cast<long double>(i) * grid.h;
      long double want = 0.0L, size = 0.0L;
      if (R < p.Ri) {
        const long double term = p.srtype == 1 ? Bsr / std::pow(R, static_cast<long double>(p.Nsr))
                                               : std::exp(-Bsr * (R - p.Ri));
        want = p.srtype == 1 ? Asr + term : Asr * term;
        size = std::fabs(Asr) + std::fabs(term) * (p.srtype == 1 ? 1.0L : std::fabs(Asr));
      } else if (R > p.Ro) {
        const long double exchange =
            p.Aex * std::pow(R, static_cast<long double>(p.gex)) * std::exp(-p.bex * R);
        want = Uinf + exchange;
        size = std::fabs(Uinf) + std::fabs(exchange);
        for (int k = 1; k <= 20; ++k) {
          const long double term = C[static_cast<std::size_t>(k)] / std::pow(R, k);
          want -= term;
          size += std::fabs(term);
        }
      } else {
        want = ref.P(R, &size);
      }
      // A derived wall or tail carries the error of its derivation: 1e-9 relative, as above.
      const long double derived =
          (R < p.Ri && derive_wall) || (R > p.Ro && p.Uinf == 0.0) ? 1e-12L : 0.0L;
      ASSERT_LE(std::fabs(V[static_cast<std::size_t>(i)] - want),
                (256.0L * kEps + derived) * (size + 1.0L))
          << "trial " << trial << ", R = " << static_cast<double>(R) << ", Ri " << p.Ri << ", Ro "
          << p.Ro;
    }
  }
}

}  // namespace
}  // namespace velk
