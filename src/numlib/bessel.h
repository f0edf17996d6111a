// Bessel functions of real argument x > 0 and fractional order nu >= 0, with their derivatives
// with respect to x.
//
// Both routines take the same road: the first continued fraction (modified Lentz) gives the
// logarithmic derivative of the first solution (I or J) at order nu; a downward recurrence
// carries it to the reduced order mu = nu - n; at mu the second solution (K or Y) comes from
// Temme's series for x < 2 and from Steed's second continued fraction for x >= 2 (x == 2 takes
// the continued fraction); the Wronskian fixes the scale of the first solution, and an upward
// recurrence carries the second solution back to nu.
//
// Convergence is to a relative 1e-10 at every step, so the values are good to about 1e-10 relative
// (1e-10 of the envelope sqrt(J^2 + Y^2) for the oscillating pair near a zero). Each step is
// limited to 10000 terms: a continued fraction or series that has not converged by then pauses
// with its message and the routine goes on with the values at hand, which happens only for very
// large x (the first continued fraction needs about x terms).
//
// Bad arguments (x <= 0, nu < 0, or either NaN) pause with "bad arguments in bessik" /
// "bad arguments in bessjy"; since no value of the function exists there, all four outputs are
// then NaN rather than numbers that could pass for a result.
#pragma once

namespace velk {

struct BesselIK {
  double i = 0.0;        // I_nu(x)
  double k = 0.0;        // K_nu(x)
  double i_prime = 0.0;  // dI_nu/dx
  double k_prime = 0.0;  // dK_nu/dx
};

struct BesselJY {
  double j = 0.0;        // J_nu(x)
  double y = 0.0;        // Y_nu(x)
  double j_prime = 0.0;  // dJ_nu/dx
  double y_prime = 0.0;  // dY_nu/dx
};

// Modified Bessel functions I_nu(x), K_nu(x). K underflows to 0 (and I overflows) once x passes
// about 700.
BesselIK bessik(double x, double nu);

// Ordinary Bessel functions J_nu(x), Y_nu(x).
BesselJY bessjy(double x, double nu);

}  // namespace velk
