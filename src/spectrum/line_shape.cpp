#include "spectrum/line_shape.h"

#include <cerf.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "spectrum/physical_constants.h"

namespace velk::spectrum {
namespace {

void require_width(double fwhm, const char* what) {
  if (!(fwhm > 0.0) || !std::isfinite(fwhm)) {
    throw std::invalid_argument(std::string("the ") + what + " FWHM must be positive");
  }
}

double reach(ShapeKind shape, const SamplingOptions& options) {
  return shape == ShapeKind::Gauss ? options.gauss_reach : options.lorentz_reach;
}

}  // namespace

double doppler_fwhm(double wavenumber, double temperature, double mass_u) {
  return wavenumber * std::sqrt(8.0 * kBoltzmann * temperature * kLn2 /
                                (mass_u * kAtomicMassUnit * kSpeedOfLight * kSpeedOfLight));
}

double profile(ShapeKind shape, const LineWidth& width, double offset) {
  const double fG = width.gauss_fwhm, fL = width.lorentz_fwhm;
  if (shape == ShapeKind::Voigt && fL == 0.0) shape = ShapeKind::Gauss;
  if (shape == ShapeKind::Voigt && fG == 0.0) shape = ShapeKind::Lorentz;
  switch (shape) {
    case ShapeKind::Gauss: {
      require_width(fG, "Gaussian");
      return std::sqrt(4.0 * kLn2 / kPi) / fG * std::exp(-4.0 * kLn2 * offset * offset / (fG * fG));
    }
    case ShapeKind::Lorentz: {
      require_width(fL, "Lorentzian");
      const double half = 0.5 * fL;
      return half / kPi / (offset * offset + half * half);
    }
    case ShapeKind::Voigt:
      require_width(fG, "Gaussian");
      require_width(fL, "Lorentzian");
      return voigt(offset, fG / (2.0 * std::sqrt(2.0 * kLn2)), 0.5 * fL);
  }
  return 0.0;
}

double profile_fwhm(ShapeKind shape, const LineWidth& width) {
  switch (shape) {
    case ShapeKind::Gauss:
      return width.gauss_fwhm;
    case ShapeKind::Lorentz:
      return width.lorentz_fwhm;
    case ShapeKind::Voigt: {
      const double fL = width.lorentz_fwhm, fG = width.gauss_fwhm;
      return 0.5346 * fL + std::sqrt(0.2166 * fL * fL + fG * fG);
    }
  }
  return 0.0;
}

SampledSpectrum sample_spectrum(std::span<const StickLine> lines, ShapeKind shape,
                                const SamplingOptions& options) {
  SampledSpectrum spectrum;
  if (lines.empty()) return spectrum;
  double narrowest = profile_fwhm(shape, lines.front().width);
  double lo = lines.front().wavenumber, hi = lo;
  for (const StickLine& line : lines) {
    const double fwhm = profile_fwhm(shape, line.width);
    require_width(fwhm, "line");
    narrowest = std::min(narrowest, fwhm);
    lo = std::min(lo, line.wavenumber - reach(shape, options) * fwhm);
    hi = std::max(hi, line.wavenumber + reach(shape, options) * fwhm);
  }
  double step = narrowest / options.points_per_fwhm;
  const double wanted = std::floor((hi - lo) / step) + 2.0;
  if (wanted > static_cast<double>(options.max_points)) {
    step = (hi - lo) / static_cast<double>(options.max_points - 2);
    spectrum.coarsened = true;
  }
  const auto count = static_cast<std::size_t>(std::floor((hi - lo) / step)) + 2;
  spectrum.first = lo;
  spectrum.step = step;
  spectrum.values.assign(count, 0.0);

  std::vector<double> samples;
  for (const StickLine& line : lines) {
    const double half_window = reach(shape, options) * profile_fwhm(shape, line.width);
    const double from = std::max(0.0, std::ceil((line.wavenumber - half_window - lo) / step));
    const double to = std::min(static_cast<double>(count - 1),
                               std::floor((line.wavenumber + half_window - lo) / step));
    const auto i0 = static_cast<std::size_t>(from);
    const auto i1 = static_cast<std::size_t>(std::max(from, to));
    samples.clear();
    double sum = 0.0;
    for (std::size_t i = i0; i <= i1; ++i) {
      samples.push_back(profile(shape, line.width, spectrum.wavenumber(i) - line.wavenumber));
      sum += samples.back();
    }
    if (!spectrum.coarsened) {
      for (std::size_t i = i0; i <= i1; ++i) spectrum.values[i] += samples[i - i0] * line.intensity;
    } else if (sum > 0.0) {
      const double scale = line.intensity / (sum * step);
      for (std::size_t i = i0; i <= i1; ++i) spectrum.values[i] += samples[i - i0] * scale;
    } else {
      // A line narrower than the (coarsened) step: its whole area goes to the nearest point.
      const auto nearest = static_cast<std::size_t>(std::lround((line.wavenumber - lo) / step));
      spectrum.values[std::min(nearest, count - 1)] += line.intensity / step;
    }
  }
  return spectrum;
}

}  // namespace velk::spectrum
