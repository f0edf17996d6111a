#include "numlib/bessel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>

#include "support/failure_recorder.h"

namespace velk {
namespace {

using test::FailureRecorder;
using Messages = std::vector<std::string>;

struct BesselRow {
  double x, nu, first, second, first_prime, second_prime;
};
struct GammaRow {
  double mu, gam1, gam2, gampl, gammi;
};

// Reference values from python3 mpmath 1.3.0 at 40 digits, rounded to the nearest double:
// besseli/besselk (kIK) and besselj/bessely (kJY) at the exact double order shown; derivatives
// from the order recurrences I' = (I[nu-1] + I[nu+1])/2, K' = -(K[nu-1] + K[nu+1])/2,
// J' = (J[nu-1] - J[nu+1])/2, Y' = (Y[nu-1] - Y[nu+1])/2. Orders 1/3 and 2/3 (those of the Airy
// functions) on both sides of the switch-over at x = 2; order 0 (reduced order exactly 0, where
// the small-argument factors are 1); 2.5 and 7.3 below 2 (downward steps to a reduced order);
// 3.7 at x = 2.5 (the continued-fraction branch with two downward steps); x = 100.
constexpr BesselRow kIK[] = {
    {0.1, 0.3333333333333333, 0.41332894106579188, 2.8998279809345773, 1.3932505309468441,
     -14.419055947402743},
    {1.0, 0.3333333333333333, 1.0646313978895294, 0.43843063344153438, 0.7252625457798223,
     -0.6406186065847197},
    {1.999, 0.3333333333333333, 2.1571653065273928, 0.11668932038807722, 1.6165704000189138,
     -0.14445514341526194},
    {2.0, 0.3333333333333333, 2.1587825813728632, 0.11654496129616525, 1.6179795079258157,
     -0.14426308770415586},
    {2.001, 0.3333333333333333, 2.160401265977435, 0.11640079411815878, 1.6193899184053917,
     -0.14407131552359231},
    {5.0, 0.3333333333333333, 26.897553069268366, 0.0037288750960535882, 24.111259920984509,
     -0.0040930163075670609},
    {30.0, 0.3333333333333333, 780201111830.30103, 2.1363664736611192e-14, 767135442255.46741,
     -2.1718129698206733e-14},
    {0.1, 0.6666666666666666, 0.15056800479912708, 4.75296267762082, 1.0083012000468108,
     -34.586245831740044},
    {1.0, 0.6666666666666666, 0.80752128860613026, 0.49447506210420827, 0.76800334900650713,
     -0.76808067484433984},
    {1.999, 0.6666666666666666, 1.90736323970303, 0.12499719437606281, 1.5853937011770607,
     -0.15837589513413786},
    {2.0, 0.6666666666666666, 1.9089492968236219, 0.1248389274881283, 1.5867207538767127,
     -0.15815793712554135},
    {2.001, 0.6666666666666666, 1.9105366816387002, 0.12468087838913308, 1.5880490903270343,
     -0.15794031715301904},
    {5.0, 0.6666666666666666, 25.902310583215129, 0.0038444246344968213, 23.445967494760886,
     -0.004241465047319831},
    {30.0, 0.6666666666666666, 775804343498.02625, 2.148075564557772e-14, 762961015308.12268,
     -2.1841014862068474e-14},
    {0.5, 0.0, 1.0634833707413236, 0.92441907122766587, 0.25789430539089631, -1.6564411200033009},
    {3.0, 0.0, 4.8807925858650245, 0.034739504386279249, 3.9533702174026093, -0.040156431128194184},
    {1.5, 2.5, 0.17166202218829632, 0.98945189298915026, 0.32164647879376357, -2.0296449086956931},
    {2.5, 3.7, 0.20445041395879621, 0.54515945241283881, 0.35407356519644856, -1.0123405723470669},
    {0.8, 7.3, 1.3670615965206354e-07, 497987.98838708107, 1.2540183502078359e-06,
     -4575608.9262659037},
    {100.0, 0.4, 1.0728887116312377e+42, 4.6603365748219588e-45, 1.0675193910435166e+42,
     -4.6836174927669256e-45},
};
constexpr BesselRow kJY[] = {
    {0.1, 0.3333333333333333, 0.41178185966121822, -2.0682565649661906, 1.3571519565521903,
     8.6435553105916672},
    {1.0, 0.3333333333333333, 0.73087640216944805, -0.27880164127599216, -0.055285175267421924,
     0.89212535530624582},
    {1.999, 0.3333333333333333, 0.44339585571367074, 0.34283450496060469, -0.45593614239146996,
     0.36571942877709607},
    {2.0, 0.3333333333333333, 0.44293981814857619, 0.34319996626034438, -0.45613891806586748,
     0.36520316816334281},
    {2.001, 0.3333333333333333, 0.4424835780170101, 0.34356491129187894, -0.45634127532726582,
     0.36468689239256502},
    {5.0, 0.3333333333333333, -0.30642046380026416, -0.18192321129343839, 0.21289098026261127,
     -0.28912606746291869},
    {30.0, 0.3333333333333333, -0.13334053387426162, -0.058645772316705085, 0.060872290244257707,
     -0.13237352582900774},
    {0.1, 0.6666666666666666, 0.15011697759461518, -3.2387232891361797, 0.99627380600450255,
     20.913973863042312},
    {1.0, 0.6666666666666666, 0.59794997367362857, -0.56270321497463305, 0.20825418926411032,
     0.86869218731707332},
    {1.999, 0.6666666666666666, 0.55723090122007513, 0.11937803891817673, -0.26104201474894351,
     0.51559674152872226},
    {2.0, 0.6666666666666666, 0.55696967691913768, 0.11989345361903536, -0.26140653925817825,
     0.51523263345482029},
    {2.001, 0.6666666666666666, 0.55670808823733042, 0.12040850413161835, -0.2617707764527693,
     0.51486836497722543},
    {5.0, 0.6666666666666666, -0.35712533549168862, -0.016050662643389675, 0.051956602016921469,
     -0.35418942318470598},
    {30.0, 0.6666666666666666, -0.14489851974205059, 0.015078692908077517, -0.012661571180927129,
     -0.14513425791226653},
    {0.5, 0.0, 0.93846980724081286, -0.44451873350670656, -0.2422684576748739, 1.4714723926702431},
    {3.0, 0.0, -0.26005195490193345, 0.37685001001279039, -0.33905895852593648,
     -0.32467442479179998},
    {1.5, 2.5, 0.1244463597983876, -1.3150372048051937, 0.17973161761208811, 1.5111684893261772},
    {2.5, 3.7, 0.10501875574055598, -1.1462533389912535, 0.12568611405257707, 1.0529526870668022},
    {0.8, 7.3, 1.3153585627854787e-07, -333548.35961973766, 1.1939124220456386e-06,
     3022348.4060092121},
    {100.0, 0.4, -0.029174894665138999, -0.074263009645128039, 0.074409216938678899,
     -0.02880371422476475},
};

// Temme's series (x < 2) uses five-term Chebyshev expansions of the gamma factors, good to about
// 2.4e-10; K's series near x = 2 magnifies that: 1.9e-9 for K_1/3 at 1.999, and at most 5.5e-9
// (K_0.48 at 1.995) over a survey of orders 0..2 and x < 2 against seven-term factors. Hence 8e-9
// for I and K below 2. The continued-fraction branch (x >= 2) keeps within 1.7e-10: 5e-10. J and
// Y are held to 1e-9 of their envelope sqrt(J^2 + Y^2) (observed at most 5.2e-10 here, 8e-10 in
// the survey), since a relative error means nothing near their zeros.
double ik_tolerance(double x) {
  return x < 2.0 ? 8e-9 : 5e-10;
}
constexpr double kJYTolerance = 1e-9;

void expect_close(double got, double want, double scale, double tol, const char* what, double x,
                  double nu) {
  EXPECT_LE(std::fabs(got - want), tol * std::fabs(scale))
      << what << " at x = " << x << ", nu = " << nu << ": got " << got << ", want " << want;
}

TEST(Bessik, AgreesWithMpmath) {
  for (const BesselRow& r : kIK) {
    FailureRecorder failures;
    const BesselIK v = bessik(r.x, r.nu, failures.handler());
    EXPECT_EQ(failures.messages(), Messages{});
    const double tol = ik_tolerance(r.x);
    expect_close(v.i, r.first, r.first, tol, "I", r.x, r.nu);
    expect_close(v.k, r.second, r.second, tol, "K", r.x, r.nu);
    expect_close(v.i_prime, r.first_prime, r.first_prime, tol, "I'", r.x, r.nu);
    expect_close(v.k_prime, r.second_prime, r.second_prime, tol, "K'", r.x, r.nu);
  }
}

TEST(Bessjy, AgreesWithMpmath) {
  for (const BesselRow& r : kJY) {
    FailureRecorder failures;
    const BesselJY v = bessjy(r.x, r.nu, failures.handler());
    EXPECT_EQ(failures.messages(), Messages{});
    const double m = std::hypot(r.first, r.second);
    const double n = std::hypot(r.first_prime, r.second_prime);
    expect_close(v.j, r.first, m, kJYTolerance, "J", r.x, r.nu);
    expect_close(v.y, r.second, m, kJYTolerance, "Y", r.x, r.nu);
    expect_close(v.j_prime, r.first_prime, n, kJYTolerance, "J'", r.x, r.nu);
    expect_close(v.y_prime, r.second_prime, n, kJYTolerance, "Y'", r.x, r.nu);
  }
}

// Order 1/2 has closed forms; its reduced order is -1/2 for I, K (and for J, Y below 2), the far
// end of the range Temme's series must cover.
TEST(Bessel, HalfOrderMatchesClosedForms) {
  constexpr double kPi = 3.141592653589793;
  for (const double x : {0.3, 1.0, 1.9, 2.0, 7.5, 40.0}) {
    const double a = std::sqrt(2.0 / (kPi * x));
    const double kk = std::sqrt(kPi / (2.0 * x)) * std::exp(-x);
    const BesselIK ik = bessik(x, 0.5, throw_on_numerical_failure);
    const double tol = ik_tolerance(x);
    expect_close(ik.i, a * std::sinh(x), a * std::sinh(x), tol, "I", x, 0.5);
    expect_close(ik.k, kk, kk, tol, "K", x, 0.5);
    const double ip = a * (std::cosh(x) - std::sinh(x) / (2.0 * x));
    expect_close(ik.i_prime, ip, ip, tol, "I'", x, 0.5);
    const double kp = -kk * (1.0 + 1.0 / (2.0 * x));
    expect_close(ik.k_prime, kp, kp, tol, "K'", x, 0.5);

    const BesselJY jy = bessjy(x, 0.5, throw_on_numerical_failure);
    const double j = a * std::sin(x);
    const double y = -a * std::cos(x);
    const double jp = a * (std::cos(x) - std::sin(x) / (2.0 * x));
    const double yp = a * (std::sin(x) + std::cos(x) / (2.0 * x));
    const double m = std::hypot(j, y);
    const double n = std::hypot(jp, yp);
    expect_close(jy.j, j, m, kJYTolerance, "J", x, 0.5);
    expect_close(jy.y, y, m, kJYTolerance, "Y", x, 0.5);
    expect_close(jy.j_prime, jp, n, kJYTolerance, "J'", x, 0.5);
    expect_close(jy.y_prime, yp, n, kJYTolerance, "Y'", x, 0.5);
  }
}

// x = 2.0 itself belongs to the continued fraction. There K_1/3 is good to 1.7e-10 and J_1/3, Y_1/3
// to 1.9e-11 of their envelope, whereas Temme's series would give 1.9e-9 and 1.5e-10 (the
// five-term gamma factors): the tight bounds below tell the branches apart.
TEST(Bessel, SwitchOverAtTwoTakesTheContinuedFraction) {
  const BesselIK ik = bessik(2.0, 0.3333333333333333, throw_on_numerical_failure);
  expect_close(ik.k, 0.11654496129616525, 0.11654496129616525, 5e-10, "K", 2.0, 1.0 / 3);
  expect_close(ik.k_prime, -0.14426308770415586, 0.14426308770415586, 5e-10, "K'", 2.0, 1.0 / 3);
  const BesselJY jy = bessjy(2.0, 0.3333333333333333, throw_on_numerical_failure);
  const double m = std::hypot(0.44293981814857619, 0.34319996626034438);
  const double n = std::hypot(-0.45613891806586748, 0.36520316816334281);
  expect_close(jy.j, 0.44293981814857619, m, 8e-11, "J", 2.0, 1.0 / 3);
  expect_close(jy.j_prime, -0.45613891806586748, n, 8e-11, "J'", 2.0, 1.0 / 3);
  expect_close(jy.y_prime, 0.36520316816334281, n, 8e-11, "Y'", 2.0, 1.0 / 3);
}

// The Wronskians J Y' - J' Y = 2/(pi x) and I K' - I' K = -1/x over a grid of orders and
// arguments: they tie the derivatives and both recurrences together at every order, not only at
// the tabulated points. The branch tolerances above bound them.
TEST(Bessel, WronskiansHoldOverAGrid) {
  constexpr double kPi = 3.141592653589793;
  for (const double nu : {0.0, 0.3333333333333333, 0.5, 0.6666666666666666, 1.7, 4.2}) {
    for (const double x : {0.05, 0.3, 1.0, 1.7, 1.9999, 2.0, 2.5, 4.0, 9.0, 25.0, 80.0}) {
      const BesselIK ik = bessik(x, nu, throw_on_numerical_failure);
      const double wik = ik.i * ik.k_prime - ik.i_prime * ik.k;
      EXPECT_NEAR(wik * x, -1.0, 2.0 * ik_tolerance(x)) << "x = " << x << ", nu = " << nu;
      const BesselJY jy = bessjy(x, nu, throw_on_numerical_failure);
      const double wjy = jy.j * jy.y_prime - jy.j_prime * jy.y;
      EXPECT_NEAR(wjy * (kPi * x / 2.0), 1.0, 2.0 * kJYTolerance) << "x = " << x << ", nu = " << nu;
    }
  }
}

// No usable value exists for these arguments (an order of 3e9 would need 3e9 recurrence steps
// and does not fit the step count): the failure is reported and all outputs are NaN.
TEST(Bessel, BadArgumentsAreReportedAndGiveNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double cases[][2] = {{0.0, 0.3}, {-1.0, 0.3}, {1.0, -0.25}, {nan, 0.3},
                             {1.0, nan}, {inf, 0.3},  {1.0, inf},   {1.0, 3e9}};
  for (const auto& c : cases) {
    {
      FailureRecorder failures;
      const BesselIK v = bessik(c[0], c[1], failures.handler());
      EXPECT_EQ(failures.messages(), Messages{"bad arguments in bessik"});
      EXPECT_TRUE(std::isnan(v.i) && std::isnan(v.k) && std::isnan(v.i_prime) &&
                  std::isnan(v.k_prime));
    }
    {
      FailureRecorder failures;
      const BesselJY v = bessjy(c[0], c[1], failures.handler());
      EXPECT_EQ(failures.messages(), Messages{"bad arguments in bessjy"});
      EXPECT_TRUE(std::isnan(v.j) && std::isnan(v.y) && std::isnan(v.j_prime) &&
                  std::isnan(v.y_prime));
    }
  }
}

// The first continued fraction runs out of its 10000 terms beyond about x = 1e4 for J and 1e7
// for I; the routine reports it and goes on with the last value.
TEST(Bessel, FirstFractionExhaustedIsReportedAndTheRoutineGoesOn) {
  {
    FailureRecorder failures;
    bessik(1e8, 0.3333333333333333, failures.handler());
    EXPECT_EQ(failures.messages(), Messages{"x too large in bessik; try asymptotic expansion"});
  }
  {
    FailureRecorder failures;
    const BesselJY v = bessjy(20000.0, 0.3333333333333333, failures.handler());
    EXPECT_EQ(failures.messages(), Messages{"x too large in bessjy; try asymptotic expansion"});
    // The second fraction alone still fixes the envelope: J^2 + Y^2 = 2/(pi x) to leading order.
    EXPECT_NEAR((v.j * v.j + v.y * v.y) * (3.141592653589793 * 20000.0 / 2.0), 1.0, 1e-3);
  }
}

}  // namespace
}  // namespace velk
