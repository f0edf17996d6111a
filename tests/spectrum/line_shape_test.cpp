#include "spectrum/line_shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace velk::spectrum {
namespace {

// Trapezoid sum of f over [-reach, reach] in n steps.
template <typename F>
double integrate(F f, double reach, int n) {
  const double h = 2.0 * reach / n;
  double sum = 0.5 * (f(-reach) + f(reach));
  for (int i = 1; i < n; ++i) sum += f(-reach + i * h);
  return sum * h;
}

TEST(Doppler, WidthAgainstTheClosedForm) {
  // The handbook form 7.16e-7·ν·sqrt(T/M) (Demtröder, Laser Spectroscopy, eq. 3.30). Its three
  // digits against the constants' value 7.1623e-7 limit the agreement to 4e-4 relative.
  for (const auto& [nu, T, M] : {std::tuple{14680.0, 500.0, 45.97954},
                                 std::tuple{2143.0, 300.0, 28.0}, std::tuple{20000.0, 10.0, 2.0}}) {
    EXPECT_NEAR(doppler_fwhm(nu, T, M), 7.16e-7 * nu * std::sqrt(T / M),
                4e-4 * 7.16e-7 * nu * std::sqrt(T / M));
  }
}

TEST(Profiles, UnitAreaAndHalfMaximumAtHalfWidth) {
  // Each profile integrates to 1 (the Lorentzian up to its wings beyond ±R: 1 − (2/π)·atan(2R/fL)
  // is left out, so its reference is that integral), and at ±FWHM/2 falls to half its peak.
  const LineWidth width{0.03, 0.02};
  EXPECT_NEAR(integrate([&](double x) { return profile(ShapeKind::Gauss, width, x); }, 0.3, 20000),
              1.0, 1e-12);
  const double reach = 20.0;
  EXPECT_NEAR(
      integrate([&](double x) { return profile(ShapeKind::Lorentz, width, x); }, reach, 400000),
      2.0 / M_PI * std::atan(2.0 * reach / width.lorentz_fwhm), 1e-9);
  EXPECT_NEAR(
      integrate([&](double x) { return profile(ShapeKind::Voigt, width, x); }, reach, 400000),
      2.0 / M_PI * std::atan(2.0 * reach / width.lorentz_fwhm), 1e-6);
  for (const ShapeKind shape : {ShapeKind::Gauss, ShapeKind::Lorentz}) {
    const double half = 0.5 * profile_fwhm(shape, width);
    EXPECT_NEAR(profile(shape, width, half), 0.5 * profile(shape, width, 0.0),
                1e-12 * profile(shape, width, 0.0));
  }
}

TEST(Profiles, VoigtBetweenItsLimitsAndAtTheApproximateWidth) {
  // A Voigt with a tiny Lorentzian part is the Gaussian and with a tiny Gaussian the Lorentzian,
  // to the order of the small width's share.
  const double f = 0.05;
  for (const double x : {0.0, 0.01, 0.03, 0.06}) {
    EXPECT_NEAR(profile(ShapeKind::Voigt, {f, 1e-7}, x), profile(ShapeKind::Gauss, {f, 0.0}, x),
                1e-4 * profile(ShapeKind::Gauss, {f, 0.0}, 0.0));
    EXPECT_NEAR(profile(ShapeKind::Voigt, {1e-7, f}, x), profile(ShapeKind::Lorentz, {0.0, f}, x),
                1e-4 * profile(ShapeKind::Lorentz, {0.0, f}, 0.0));
  }
  // At half the width of Olivero and Longbothum's formula the profile is at half its peak, to
  // the formula's 0.02 % in width (a slope of order 1 there turns it into about 2e-4 of the peak).
  for (const double ratio : {0.1, 0.5, 1.0, 2.0, 10.0}) {
    const LineWidth width{0.04, 0.04 * ratio};
    const double peak = profile(ShapeKind::Voigt, width, 0.0);
    EXPECT_NEAR(profile(ShapeKind::Voigt, width, 0.5 * profile_fwhm(ShapeKind::Voigt, width)),
                0.5 * peak, 3e-4 * peak)
        << ratio;
  }
}

TEST(Profiles, VoigtAtItsCentreAgainstTheFaddeevaFunctionOnTheImaginaryAxis) {
  // V(0) = Re w(iy)/(σ√(2π)) with y = γ/(σ√2), and w(iy) = exp(y²)·erfc(y) for real y.
  for (const double ratio : {0.05, 0.3, 1.0, 3.0, 20.0}) {
    const LineWidth width{0.04, 0.04 * ratio};
    const double sigma = width.gauss_fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    const double y = 0.5 * width.lorentz_fwhm / (sigma * std::sqrt(2.0));
    const double expected = std::exp(y * y) * std::erfc(y) / (sigma * std::sqrt(2.0 * M_PI));
    EXPECT_NEAR(profile(ShapeKind::Voigt, width, 0.0), expected, 1e-12 * expected) << ratio;
  }
}

TEST(Sampling, SamplesAreTheTrueProfileNotLiftedToFillTheCutWings) {
  // One line of intensity 2: each sample within its reach is 2·l(x) of the closed form, and the
  // Voigt's sample at the centre is 2·V(0) of the Faddeeva value above; the area the spectrum
  // holds is the line's but for the wings beyond ±50 FWHM, (2/π)·atan(fL/(100 fV)) of it (to
  // 3e-5 of the area: the rectangle sum meets the window's ends anywhere within a step, where
  // the profile is 1/(π·2500·fL) per unit area).
  const double fL = 0.02, intensity = 2.0;
  const std::vector<StickLine> lorentz = {{1000.0, intensity, {0.0, fL}}};
  const SampledSpectrum s = sample_spectrum(lorentz, ShapeKind::Lorentz);
  double area = 0.0;
  for (std::size_t i = 0; i < s.values.size(); ++i) {
    const double x = s.wavenumber(i) - 1000.0, half = 0.5 * fL;
    if (std::abs(x) < 49.9 * fL) {
      EXPECT_NEAR(s.values[i], intensity * half / M_PI / (x * x + half * half),
                  1e-12 * intensity / (M_PI * half))
          << x;
    }
    area += s.values[i] * s.step;
  }
  EXPECT_NEAR(area, intensity * (1.0 - 2.0 / M_PI * std::atan(0.01)), 3e-5 * intensity);

  const LineWidth width{0.03, fL};
  const std::vector<StickLine> voigt = {{1000.0, intensity, width}};
  const SampledSpectrum v = sample_spectrum(voigt, ShapeKind::Voigt);
  const double sigma = width.gauss_fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
  const double y = 0.5 * fL / (sigma * std::sqrt(2.0));
  const double peak = std::exp(y * y) * std::erfc(y) / (sigma * std::sqrt(2.0 * M_PI));
  std::size_t centre = 0;
  area = 0.0;
  for (std::size_t i = 0; i < v.values.size(); ++i) {
    if (std::abs(v.wavenumber(i) - 1000.0) < std::abs(v.wavenumber(centre) - 1000.0)) centre = i;
    area += v.values[i] * v.step;
  }
  ASSERT_LT(std::abs(v.wavenumber(centre) - 1000.0), 1e-6 * v.step);
  EXPECT_NEAR(v.values[centre], intensity * peak, 1e-9 * intensity * peak);
  const double fV = profile_fwhm(ShapeKind::Voigt, width);
  EXPECT_NEAR(area, intensity * (1.0 - 2.0 / M_PI * std::atan(fL / (100.0 * fV))),
              3e-5 * intensity);
}

TEST(Sampling, TwoLinesKeepTheirAreas) {
  // Two lines 0.5 cm-1 apart, of intensities 3 and 1: the sampled spectrum's area around each is
  // its intensity, and the whole area their sum, but for the share of each line beyond its reach
  // (Gaussian: 2e-12; Lorentzian and Voigt: the far wings, as above).
  for (const ShapeKind shape : {ShapeKind::Gauss, ShapeKind::Lorentz, ShapeKind::Voigt}) {
    const std::vector<StickLine> lines = {{1000.0, 3.0, {0.04, 0.01}}, {1000.5, 1.0, {0.06, 0.02}}};
    const SampledSpectrum s = sample_spectrum(lines, shape);
    double total = 0.0, below = 0.0, expected = 0.0;
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      total += s.values[i] * s.step;
      if (shape == ShapeKind::Gauss && s.wavenumber(i) < 1000.25) below += s.values[i] * s.step;
    }
    for (const StickLine& line : lines) {
      const double beyond =
          shape == ShapeKind::Gauss
              ? 0.0
              : 2.0 / M_PI *
                    std::atan(line.width.lorentz_fwhm / (100.0 * profile_fwhm(shape, line.width)));
      expected += line.intensity * (1.0 - beyond);
    }
    EXPECT_NEAR(total, expected, shape == ShapeKind::Gauss ? 1e-10 : 3e-5 * 4.0);
    if (shape == ShapeKind::Gauss) {
      EXPECT_NEAR(below, 3.0, 1e-9);
    }
    // The narrowest line gets its ten points per FWHM.
    EXPECT_LE(s.step, profile_fwhm(shape, lines[0].width) / 10.0 * (1.0 + 1e-12));
    // The peak stands where the strong line is.
    std::size_t top = 0;
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      if (s.values[i] > s.values[top]) top = i;
    }
    EXPECT_NEAR(s.wavenumber(top), 1000.0, s.step);
  }
}

TEST(Sampling, AreasKeptWhenTheGridMustBeCoarse) {
  // Random lines, some far narrower than the step the point limit allows: every area still
  // arrives (seeded; 1e-10 relative for the sums of 200 terms).
  std::mt19937 random(22);
  std::uniform_real_distribution<double> where(500.0, 800.0), strength(0.1, 5.0), w(1e-4, 0.3);
  std::vector<StickLine> lines;
  double expected = 0.0;
  for (int k = 0; k < 200; ++k) {
    lines.push_back({where(random), strength(random), {w(random), 0.0}});
    expected += lines.back().intensity;
  }
  SamplingOptions options;
  options.max_points = 5000;
  const SampledSpectrum s = sample_spectrum(lines, ShapeKind::Gauss, options);
  EXPECT_TRUE(s.coarsened);
  EXPECT_LE(s.values.size(), options.max_points);
  double total = 0.0;
  for (const double value : s.values) total += value * s.step;
  EXPECT_NEAR(total, expected, 1e-10 * expected);
}

TEST(Profiles, ZeroWidthIsRefused) {
  EXPECT_THROW(profile(ShapeKind::Gauss, {0.0, 1.0}, 0.0), std::invalid_argument);
  EXPECT_THROW(profile(ShapeKind::Lorentz, {1.0, 0.0}, 0.0), std::invalid_argument);
}

}  // namespace
}  // namespace velk::spectrum
