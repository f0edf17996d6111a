#include "numlib/bessel.h"

#include <cmath>
#include <limits>

#include "numlib/chebyshev.h"

namespace velk {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoOverPi = 0.6366197723675814;
// Relative convergence test of every fraction and series, and the argument below which the
// small-argument factors of Temme's series are taken as their limit 1.
constexpr double kTolerance = 1e-10;
// Keeps the Lentz recurrences off zero and starts the downward recurrence; the recurrences are
// homogeneous, so only the ratio of what they produce matters.
constexpr double kTiny = 1e-30;
constexpr int kMaxTerms = 10000;
// Below this Temme's series converges quickly; at and above it Steed's fraction does.
constexpr double kSwitchOver = 2.0;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Orders whose recurrence count would not fit an int count as bad arguments, as do an infinite
// or NaN x or nu (written with ! so that NaN fails the test).
bool bad_arguments(double x, double nu) {
  return !(x > 0.0 && x <= std::numeric_limits<double>::max()) || !(nu >= 0.0 && nu < 2147483647.0);
}

// The second solution at the reduced order mu and at mu + 1.
struct SecondSolution {
  double at_mu = 0.0;
  double at_mu1 = 0.0;
};

// K_mu and K_mu+1 by Temme's series, x < 2.
SecondSolution temme_k(double x, double mu, const NumericalFailureHandler& on_failure) {
  const double x2 = 0.5 * x;
  const double pimu = kPi * mu;
  const double fact = std::fabs(pimu) < kTolerance ? 1.0 : pimu / std::sin(pimu);
  double d = -std::log(x2);
  double e = mu * d;
  const double fact2 = std::fabs(e) < kTolerance ? 1.0 : std::sinh(e) / e;
  const GammaFactors g = gamma_factors(mu, on_failure);
  double ff = fact * (g.gam1 * std::cosh(e) + g.gam2 * fact2 * d);
  double sum = ff;
  e = std::exp(e);
  double p = 0.5 * e / g.gampl;
  double q = 0.5 / (e * g.gammi);
  double c = 1.0;
  d = x2 * x2;
  double sum1 = p;
  const double mu2 = mu * mu;
  bool converged = false;
  for (int i = 1; i <= kMaxTerms; ++i) {
    ff = (i * ff + p + q) / (i * i - mu2);
    c = c * d / i;
    p /= (i - mu);
    q /= (i + mu);
    const double del = c * ff;
    sum += del;
    const double del1 = c * (p - i * ff);
    sum1 += del1;
    if (std::fabs(del) < std::fabs(sum) * kTolerance) {
      converged = true;
      break;
    }
  }
  if (!converged) on_failure("bessk series failed to converge");
  return {sum, sum1 * (2.0 / x)};
}

// K_mu and K_mu+1 by Steed's second continued fraction, x >= 2: the fraction gives K_mu+1/K_mu
// and the accompanying sum S gives K_mu = sqrt(pi/(2x)) e^-x / S.
SecondSolution steed_k(double x, double mu, const NumericalFailureHandler& on_failure) {
  double b = 2.0 * (1.0 + x);
  double d = 1.0 / b;
  double delh = d;
  double h = d;
  double q1 = 0.0;
  double q2 = 1.0;
  const double a1 = 0.25 - mu * mu;
  double c = a1;
  double q = c;
  double a = -a1;
  double s = 1.0 + q * delh;
  bool converged = false;
  for (int i = 2; i <= kMaxTerms; ++i) {
    a -= 2 * (i - 1);
    c = -a * c / i;
    const double qnew = (q1 - b * q2) / a;
    q1 = q2;
    q2 = qnew;
    q += c * qnew;
    b += 2.0;
    d = 1.0 / (b + a * d);
    delh = (b * d - 1.0) * delh;
    h += delh;
    const double dels = q * delh;
    s += dels;
    if (std::fabs(dels / s) < kTolerance) {
      converged = true;
      break;
    }
  }
  if (!converged) on_failure("bessik: failure to converge in cf2");
  h = a1 * h;
  const double kmu = std::sqrt(kPi / (2.0 * x)) * std::exp(-x) / s;
  return {kmu, kmu * (mu + x + 0.5 - h) * (1.0 / x)};
}

// Y_mu and Y_mu+1 by Temme's series, x < 2. The caller forms J_mu from the Wronskian.
SecondSolution temme_y(double x, double mu, const NumericalFailureHandler& on_failure) {
  const double x2 = 0.5 * x;
  const double pimu = kPi * mu;
  const double fact = std::fabs(pimu) < kTolerance ? 1.0 : pimu / std::sin(pimu);
  double d = -std::log(x2);
  double e = mu * d;
  const double fact2 = std::fabs(e) < kTolerance ? 1.0 : std::sinh(e) / e;
  const GammaFactors g = gamma_factors(mu, on_failure);
  double ff = kTwoOverPi * fact * (g.gam1 * std::cosh(e) + g.gam2 * fact2 * d);
  e = std::exp(e);
  double p = e / (g.gampl * kPi);
  double q = 1.0 / (e * kPi * g.gammi);
  const double pimu2 = 0.5 * pimu;
  const double fact3 = std::fabs(pimu2) < kTolerance ? 1.0 : std::sin(pimu2) / pimu2;
  const double r = kPi * pimu2 * fact3 * fact3;
  double c = 1.0;
  d = -x2 * x2;
  double sum = ff + r * q;
  double sum1 = p;
  const double mu2 = mu * mu;
  bool converged = false;
  for (int i = 1; i <= kMaxTerms; ++i) {
    ff = (i * ff + p + q) / (i * i - mu2);
    c = c * d / i;
    p /= (i - mu);
    q /= (i + mu);
    const double del = c * (ff + r * q);
    sum += del;
    const double del1 = c * p - i * del;
    sum1 += del1;
    // Y's series alternates and its sum may pass through zero, hence the 1 + |sum|.
    if (std::fabs(del) < (1.0 + std::fabs(sum)) * kTolerance) {
      converged = true;
      break;
    }
  }
  if (!converged) on_failure("bessy series failed to converge");
  return {-sum, -sum1 * (2.0 / x)};
}

// Steed's complex fraction p + iq = (J'_mu + iY'_mu)/(J_mu + iY_mu), x >= 2, real and imaginary
// parts held apart.
struct SteedPQ {
  double p = 0.0;
  double q = 0.0;
};

SteedPQ steed_pq(double x, double mu, const NumericalFailureHandler& on_failure) {
  const double xi = 1.0 / x;
  double a = 0.25 - mu * mu;
  double p = -0.5 * xi;
  double q = 1.0;
  const double br = 2.0 * x;
  double bi = 2.0;
  double fact = a * xi / (p * p + q * q);
  double cr = br + q * fact;
  double ci = bi + p * fact;
  double den = br * br + bi * bi;
  double dr = br / den;
  double di = -bi / den;
  double dlr = cr * dr - ci * di;
  double dli = cr * di + ci * dr;
  double temp = p * dlr - q * dli;
  q = p * dli + q * dlr;
  p = temp;
  bool converged = false;
  for (int i = 2; i <= kMaxTerms; ++i) {
    a += 2 * (i - 1);
    bi += 2.0;
    dr = a * dr + br;
    di = a * di + bi;
    if (std::fabs(dr) + std::fabs(di) < kTiny) dr = kTiny;
    fact = a / (cr * cr + ci * ci);
    cr = br + cr * fact;
    ci = bi - ci * fact;
    if (std::fabs(cr) + std::fabs(ci) < kTiny) cr = kTiny;
    den = dr * dr + di * di;
    dr /= den;
    di /= -den;
    dlr = cr * dr - ci * di;
    dli = cr * di + ci * dr;
    temp = p * dlr - q * dli;
    q = p * dli + q * dlr;
    p = temp;
    if (std::fabs(dlr - 1.0) + std::fabs(dli) < kTolerance) {
      converged = true;
      break;
    }
  }
  if (!converged) on_failure("cf2 failed in bessjy");
  return {p, q};
}

}  // namespace

BesselIK bessik(double x, double nu, const NumericalFailureHandler& on_failure) {
  if (bad_arguments(x, nu)) {
    on_failure("bad arguments in bessik");
    return {kNaN, kNaN, kNaN, kNaN};
  }
  const int n = static_cast<int>(nu + 0.5);
  const double mu = nu - n;
  const double xi = 1.0 / x;
  const double xi2 = 2.0 * xi;

  // First continued fraction: h -> I'_nu / I_nu. All its terms are positive, so no guards.
  double h = nu * xi;
  if (h < kTiny) h = kTiny;
  double b = xi2 * nu;
  double d = 0.0;
  double c = h;
  bool converged = false;
  for (int i = 1; i <= kMaxTerms; ++i) {
    b += xi2;
    d = 1.0 / (b + d);
    c = b + 1.0 / c;
    const double del = c * d;
    h = del * h;
    if (std::fabs(del - 1.0) < kTolerance) {
      converged = true;
      break;
    }
  }
  if (!converged) on_failure("x too large in bessik; try asymptotic expansion");

  // Downward recurrence of an unnormalised I from nu to mu.
  double il = kTiny;
  double ipl = h * il;
  const double il_start = il;
  const double ipl_start = ipl;
  double fact = nu * xi;
  for (int l = n; l >= 1; --l) {
    const double itemp = fact * il + ipl;
    fact -= xi;
    ipl = fact * itemp + il;
    il = itemp;
  }
  const double f = ipl / il;

  const SecondSolution k =
      x < kSwitchOver ? temme_k(x, mu, on_failure) : steed_k(x, mu, on_failure);
  double kmu = k.at_mu;
  double k1 = k.at_mu1;
  const double kmup = mu * xi * kmu - k1;
  // Wronskian I K' - I' K = -1/x fixes the scale of I.
  const double imu = xi / (f * kmu - kmup);

  // Product before quotient: imu / il alone would overflow (il starts at 1e-30) for x above
  // about 640, long before I itself does.
  BesselIK out;
  out.i = (imu * il_start) / il;
  out.i_prime = (imu * ipl_start) / il;
  for (int i = 1; i <= n; ++i) {
    const double ktemp = (mu + i) * xi2 * k1 + kmu;
    kmu = k1;
    k1 = ktemp;
  }
  out.k = kmu;
  out.k_prime = nu * xi * kmu - k1;
  return out;
}

BesselJY bessjy(double x, double nu, const NumericalFailureHandler& on_failure) {
  if (bad_arguments(x, nu)) {
    on_failure("bad arguments in bessjy");
    return {kNaN, kNaN, kNaN, kNaN};
  }
  // For x >= 2 Steed's fraction works at any order below about x, so only orders well above x
  // are brought down: n = max(0, int(nu - x + 1.5)), formed without converting a large negative
  // double to int.
  const double steps = x < kSwitchOver ? nu + 0.5 : nu - x + 1.5;
  const int n = steps < 1.0 ? 0 : static_cast<int>(steps);
  const double mu = nu - n;
  const double xi = 1.0 / x;
  const double xi2 = 2.0 * xi;
  const double w = xi2 / kPi;

  // First continued fraction: h -> J'_nu / J_nu. Its denominators change sign past the zeros of
  // J, which also gives the sign of J_nu.
  int sign = 1;
  double h = nu * xi;
  if (h < kTiny) h = kTiny;
  double b = xi2 * nu;
  double d = 0.0;
  double c = h;
  bool converged = false;
  for (int i = 1; i <= kMaxTerms; ++i) {
    b += xi2;
    d = b - d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b - 1.0 / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1.0 / d;
    const double del = c * d;
    h = del * h;
    if (d < 0.0) sign = -sign;
    if (std::fabs(del - 1.0) < kTolerance) {
      converged = true;
      break;
    }
  }
  if (!converged) on_failure("x too large in bessjy; try asymptotic expansion");

  // Downward recurrence of an unnormalised J, with the sign of J_nu, from nu to mu.
  double jl = sign * kTiny;
  double jpl = h * jl;
  const double jl_start = jl;
  const double jpl_start = jpl;
  double fact = nu * xi;
  for (int l = n; l >= 1; --l) {
    const double jtemp = fact * jl + jpl;
    fact -= xi;
    jpl = fact * jtemp - jl;
    jl = jtemp;
  }
  if (jl == 0.0) jl = kTolerance;
  const double f = jpl / jl;

  double jmu = 0.0;
  double ymu = 0.0;
  double y1 = 0.0;
  if (x < kSwitchOver) {
    const SecondSolution y = temme_y(x, mu, on_failure);
    ymu = y.at_mu;
    y1 = y.at_mu1;
    const double ymup = mu * xi * ymu - y1;
    // Wronskian J Y' - J' Y = 2/(pi x).
    jmu = w / (ymup - f * ymu);
  } else {
    const SteedPQ pq = steed_pq(x, mu, on_failure);
    const double gam = (pq.p - f) / pq.q;
    // The recurrence value carries the sign of J_mu: the sign found by the first fraction,
    // brought down unchanged or through the recurrence's own sign changes.
    jmu = std::copysign(std::sqrt(w / ((pq.p - f) * gam + pq.q)), jl);
    ymu = jmu * gam;
    const double ymup = ymu * (pq.p + pq.q / gam);
    y1 = mu * xi * ymu - ymup;
  }

  const double scale = jmu / jl;
  BesselJY out;
  out.j = jl_start * scale;
  out.j_prime = jpl_start * scale;
  for (int i = 1; i <= n; ++i) {
    const double ytemp = (mu + i) * xi2 * y1 - ymu;
    ymu = y1;
    y1 = ytemp;
  }
  out.y = ymu;
  out.y_prime = nu * xi * ymu - y1;
  return out;
}

}  // namespace velk
