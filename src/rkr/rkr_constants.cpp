#include "rkr/rkr_constants.h"

#include <Eigen/QR>
#include <algorithm>
#include <cmath>

#include "io/errors.h"
#include "numlib/ipow.h"

namespace velk::rkr {
namespace {

// The residual a band-constant polynomial must reach to be taken: below the last digit tables
// usually give (1e-4 cm-1 for Tv, 1e-8 cm-1 for Bv).
constexpr double kTermTolerance = 1e-4;
constexpr double kRotationTolerance = 1e-8;

double horner(const std::vector<double>& c, double u) {
  double sum = 0.0;
  for (auto k = c.size(); k-- > 0;) sum = sum * u + c[k];
  return sum;
}

[[noreturn]] void refuse(const std::string& file, const std::string& what) {
  throw InputError("velk-rkr: " + file + ": " + what);
}

struct FittedPolynomial {
  std::vector<double> coefficients;  // of u^k
  PolynomialFit fit;
};

// Least squares in x = u/u_top (a well-conditioned basis on [0, 1]), then the coefficients of u^k.
FittedPolynomial fit_polynomial(const std::vector<double>& u, const std::vector<double>& y,
                                int degree) {
  const auto n = static_cast<Eigen::Index>(u.size());
  const double top = u.back();
  Eigen::MatrixXd basis(n, degree + 1);
  Eigen::VectorXd values(n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double x = u[static_cast<std::size_t>(i)] / top;
    for (int k = 0; k <= degree; ++k) basis(i, k) = ipow(x, k);
    values(i) = y[static_cast<std::size_t>(i)];
  }
  const Eigen::VectorXd scaled = basis.colPivHouseholderQr().solve(values);
  FittedPolynomial result;
  result.fit.degree = degree;
  for (int k = 0; k <= degree; ++k) result.coefficients.push_back(scaled(k) / ipow(top, k));
  double sum = 0.0;
  for (std::size_t i = 0; i < u.size(); ++i) {
    const double residual = y[i] - horner(result.coefficients, u[i]);
    sum += residual * residual;
    result.fit.worst = std::max(result.fit.worst, std::fabs(residual));
  }
  result.fit.rms = std::sqrt(sum / static_cast<double>(u.size()));
  return result;
}

// The lowest degree from `lowest` whose worst residual is within `tolerance`, else the highest.
FittedPolynomial smooth_fit(const std::vector<double>& u, const std::vector<double>& y, int lowest,
                            double tolerance) {
  const int highest = std::min(static_cast<int>(u.size()) - 1, kLargestBandDegree);
  FittedPolynomial best = fit_polynomial(u, y, std::min(lowest, highest));
  for (int degree = lowest + 1; degree <= highest && best.fit.worst > tolerance; ++degree) {
    best = fit_polynomial(u, y, degree);
  }
  return best;
}

void trim_zeros(std::vector<double>& c) {
  while (c.size() > 1 && c.back() == 0.0) c.pop_back();
}

}  // namespace

double RkrConstants::term(double u) const {
  return horner(G, u);
}

double RkrConstants::term_slope(double u) const {
  double sum = 0.0;
  for (auto k = G.size(); k-- > 1;) sum = sum * u + static_cast<double>(k) * G[k];
  return sum;
}

double RkrConstants::rotational_constant(double u) const {
  return horner(B, u);
}

RkrConstants rkr_constants(const DunhamCoefficients& c, const std::string& file) {
  RkrConstants out;
  const double rounded_lambda = std::round(c.dunham_lambda);
  if (!(std::fabs(c.dunham_lambda - rounded_lambda) < 1e-9) || std::fabs(rounded_lambda) > 1e4) {
    refuse(file, "Lambda must be a whole number for a potential curve, found " +
                     std::to_string(c.dunham_lambda));
  }
  out.Lambda = static_cast<int>(std::fabs(rounded_lambda));
  if (c.dunham_form()) {
    const double rho = c.mass_ratio;
    out.Y00 = c.Ytab[0][0];
    out.G.assign(DunhamCoefficients::kRows, 0.0);
    out.B.assign(DunhamCoefficients::kRows, 0.0);
    for (int k = 0; k < DunhamCoefficients::kRows; ++k) {
      const auto slot = static_cast<std::size_t>(k);
      if (k > 0) out.G[slot] = c.Ytab[slot][0] * ipow(rho, k);
      out.B[slot] = c.Ytab[slot][1] * ipow(rho, k + 2);
    }
  } else {
    int rows = 0;
    for (int v = 0; v < DunhamCoefficients::kRows; ++v) {
      const auto& row = c.Ytab[static_cast<std::size_t>(v)];
      if (row[0] != 0.0 || row[1] != 0.0) rows = v + 1;
    }
    for (int v = 0; v < rows; ++v) {
      const auto& row = c.Ytab[static_cast<std::size_t>(v)];
      if (row[0] == 0.0 && row[1] == 0.0) {
        refuse(file, "the band constants have no row v = " + std::to_string(v) +
                         " below the last (v = " + std::to_string(rows - 1) +
                         "); the inversion needs every row from v = 0");
      }
    }
    if (rows < 2) {
      refuse(file,
             "the inversion needs band constants of at least two levels (v = 0 and 1), found " +
                 std::to_string(rows));
    }
    std::vector<double> u, T, B;
    for (int v = 0; v < rows; ++v) {
      const auto& row = c.Ytab[static_cast<std::size_t>(v)];
      u.push_back(v + 0.5);
      T.push_back(row[0]);
      B.push_back(row[1]);
    }
    const FittedPolynomial Tfit = smooth_fit(u, T, 2, kTermTolerance);
    const FittedPolynomial Bfit = smooth_fit(u, B, 1, kRotationTolerance);
    out.Y00 = Tfit.coefficients[0];
    out.G = Tfit.coefficients;
    out.G[0] = 0.0;
    out.B = Bfit.coefficients;
    out.u_fitted = rows - 0.5;
    out.fit = BandFitReport{rows, Tfit.fit, Bfit.fit};
  }
  trim_zeros(out.G);
  trim_zeros(out.B);
  if (out.G.size() < 2) refuse(file, "no vibrational constant (Y(k,0), k >= 1) is given");
  if (out.B.empty() || (out.B.size() == 1 && out.B[0] == 0.0)) {
    refuse(file, "no rotational constant (Y(k,1)) is given");
  }
  return out;
}

}  // namespace velk::rkr
