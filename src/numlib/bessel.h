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
// Every fraction and series is converged to 1e-10 relative. Below x = 2 the gamma factors of
// Temme's series, five-term Chebyshev sums good to 2.4e-10, limit the accuracy: K and I are off by
// up to 5.5e-9 relative close to x = 2 (1.9e-9 for orders 1/3 and 2/3), J and Y by up to 8e-10 of
// their envelope sqrt(J^2 + Y^2). From x = 2 on the values are good to a few parts in 1e10 (of the
// envelope for J and Y, which is what counts near their zeros). Each step is limited to 10000
// terms: a fraction or series not converged by then is reported to on_failure with its message and
// the routine goes on with the values at hand. That happens only for very large x: the first
// continued fraction needs about x terms for J (so beyond x = 1e4) and runs out for I beyond about
// x = 1e7.
//
// Bad arguments (x <= 0, nu < 0, either of them infinite or NaN, or nu so large that its number
// of recurrence steps would not fit an int) are reported as "bad arguments in bessik" /
// "bad arguments in bessjy"; since the routines have no value to give there, all four outputs
// are then NaN rather than numbers that could pass for a result.
//
// Orders with a fractional part of 1/2 or more recur down to a negative reduced order, where the
// Wronskian step for I and J cancels as x -> 0: I, J and their derivatives keep about 1e-9
// relative at x = 1e-10, 1e-7 at 1e-14, and overflow below about 1e-24 (K, Y and their
// derivatives are unaffected).
#pragma once

#include "numlib/failure_policy.h"

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
BesselIK bessik(double x, double nu, const NumericalFailureHandler& on_failure);

// Ordinary Bessel functions J_nu(x), Y_nu(x).
BesselJY bessjy(double x, double nu, const NumericalFailureHandler& on_failure);

}  // namespace velk
