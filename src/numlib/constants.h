// The constants on which printed digits depend, each defined once.
//
// Several are held in single precision: the literal is the exact double value of the float, and
// that value is what the arithmetic uses, so that level tables are reproducible to the last digit.
#pragma once

// The build refuses these flags when it configures; this stops a compilation that received them
// some other way (a toolchain file, a per-file option).
#if defined(__FAST_MATH__)
#error \
    "velk must not be compiled with -ffast-math: the printed energies would depend on the compiler"
#endif

namespace velk::constants {

// ħ²/(2 u) in cm-1·Å²: ħ²/(2μ) = kHbar2Over2u/μ for a reduced mass μ in u. Used by the
// effective potential (centrifugal term) and by velk-plot.
inline constexpr double kHbar2Over2u = 16.85763130530976;
// Its reciprocal 2u/ħ² in Å^-2 per cm-1: the Numerov coefficient and the energy correction.
inline constexpr double kTwoUOverHbar2 = 0.059320315048355776;
// ħ²/(2 u) rounded to single precision (16.85763): the momentum scale q of the quasi-bound
// normalisation and of the tunnelling figure.
inline constexpr double kHbar2Over2uSingle = 16.857629776000977;

// π as written in the energy normalisation of a quasi-bound wave function (3.1415926536).
inline constexpr double kPiNormalisation = 3.1415926536;
// π as the single-precision literal 3.1415927 of the Airy functions.
inline constexpr double kPiAiry = 3.1415927;
// 1/3 in single precision: the exponent of the Airy argument scale (dVt/h)^(1/3).
inline constexpr double kOneThirdSingle = 0.3333333432674408;

// 1e23 in single precision: the start value of the lowest-minimum scan, returned by a curve
// without an interior minimum.
inline constexpr double kNoMinimum = 9.999999778196308e+22;
// 0.999 in single precision: the window factor of the two J = 0 solves that give toadd.
inline constexpr double kToaddWindow = 0.9990000128746033;
// 1e-6 in single precision: the margin taken off the half-width of a level's energy window.
inline constexpr double kWindowMargin = 9.999999974752427e-07;
// 0.2 in single precision: a forward-grid trial energy below Umin moves this share of the
// half-width above Umin.
inline constexpr double kBelowMinimumShareSingle = 0.20000000298023224;
// 0.001 in single precision: on a forward grid a correction with Dcor² below it is applied
// directly; above it the bracket is bisected. The reversed grid uses 0.001 in double precision.
inline constexpr double kSmallCorrectionSingle = 0.0010000000474974513;
inline constexpr double kSmallCorrectionDouble = 0.001;

// 2.1 and 0.109 in single precision: the damping of the long-range dispersion terms of a
// pointwise potential's extension, f_k(R) = [1 - exp(-c1·rho·R/k - c2·(rho·R)²/sqrt(k))]^k.
inline constexpr double kDampingC1 = 2.0999999046325684;
inline constexpr double kDampingC2 = 0.10899999737739563;

}  // namespace velk::constants
