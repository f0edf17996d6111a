#include "numlib/airy.h"

#include <cmath>

#include "numlib/bessel.h"
#include "numlib/constants.h"

namespace velk {

namespace {

constexpr double kThird = 0.3333333333333333;
constexpr double kTwoThirds = 0.6666666666666666;
// Eight-digit 1/sqrt(3) and pi (constants::kPiAiry): the quasi-bound start values, and the
// energies printed from them, depend on these digits, so full-precision values would change the
// printed results.
constexpr double kRootThirdInverse = 0.57735027;     // 1/sqrt(3)
constexpr double kTwoRootThirdInverse = 1.15470054;  // 2/sqrt(3), exactly twice the above
constexpr double kAiryPi = constants::kPiAiry;

// Values at x = 0; Bi(0) and Bi'(0) are the stored Ai(0) and -Ai'(0) divided by the stored
// 1/sqrt(3).
constexpr double kAi0 = 0.35502805;
constexpr double kAiPrime0 = -0.2588194;
constexpr double kStoredValuesBelow = 1e-15;

}  // namespace

AiryValues airy_functions(double x, const NumericalFailureHandler& on_failure) {
  const double absx = std::fabs(x);
  const double rootx = std::sqrt(absx);
  const double z = kTwoThirds * absx * rootx;
  AiryValues v;
  // Below |x| = 1e-15 the stored values at 0 stand for the functions: they differ from them by
  // about 0.26|x|, far below the stored constants' eight digits, whereas the Bessel route loses
  // the order-2/3 pair there (the Wronskian step for I and J cancels completely below
  // |x| ~ 3e-17 and Ai', Bi' come out infinite; z itself underflows below |x| ~ 1e-216).
  if (absx < kStoredValuesBelow) {
    v.ai = kAi0;
    v.bi = kAi0 / kRootThirdInverse;
    v.ai_prime = kAiPrime0;
    v.bi_prime = -kAiPrime0 / kRootThirdInverse;
    return v;
  }
  if (x > 0.0) {
    const BesselIK third = bessik(z, kThird, on_failure);
    v.ai = rootx * kRootThirdInverse * third.k / kAiryPi;
    v.bi = rootx * (third.k / kAiryPi + kTwoRootThirdInverse * third.i);
    const BesselIK two_thirds = bessik(z, kTwoThirds, on_failure);
    v.ai_prime = -x * kRootThirdInverse * two_thirds.k / kAiryPi;
    v.bi_prime = x * (two_thirds.k / kAiryPi + kTwoRootThirdInverse * two_thirds.i);
  } else {
    const BesselJY third = bessjy(z, kThird, on_failure);
    v.ai = 0.5 * rootx * (third.j - kRootThirdInverse * third.y);
    v.bi = -0.5 * rootx * (third.y + kRootThirdInverse * third.j);
    const BesselJY two_thirds = bessjy(z, kTwoThirds, on_failure);
    v.ai_prime = 0.5 * absx * (kRootThirdInverse * two_thirds.y + two_thirds.j);
    v.bi_prime = 0.5 * absx * (kRootThirdInverse * two_thirds.j - two_thirds.y);
  }
  return v;
}

}  // namespace velk
