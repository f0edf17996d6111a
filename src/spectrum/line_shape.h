// Line shapes and the sampled spectrum.
//
// Every profile is normalised to unit area over wavenumber (cm-1), so a line of intensity I drawn
// with it has area I. Widths are full widths at half maximum in cm-1:
//   Gauss:   g(x) = sqrt(4 ln2/π)/fG · exp(−4 ln2 x²/fG²)
//   Lorentz: l(x) = (fL/2)/π / (x² + (fL/2)²)
//   Voigt:   the convolution of the two, libcerf's voigt(x, σ = fG/(2 sqrt(2 ln2)), γ = fL/2).
// The Doppler width of a line at ν of a molecule of mass M (u) at T (K) is
//   fD = ν sqrt(8 k T ln2/(M u c²)) ≈ 7.16e-7 ν sqrt(T/M);
// an instrument's Gaussian FWHM fI adds to it in quadrature, fG = sqrt(fD² + fI²).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace velk::spectrum {

enum class ShapeKind { Gauss, Lorentz, Voigt };

struct LineWidth {
  double gauss_fwhm = 0.0;    // cm-1, used by Gauss and Voigt
  double lorentz_fwhm = 0.0;  // cm-1, used by Lorentz and Voigt
};

double doppler_fwhm(double wavenumber, double temperature, double mass_u);

// The unit-area profile at `offset` cm-1 from the line centre. The width it uses must be
// positive (std::invalid_argument otherwise); a Voigt profile with one width zero is the other.
double profile(ShapeKind shape, const LineWidth& width, double offset);

// The FWHM of the profile: fG, fL, or for Voigt the approximation of Olivero and Longbothum
// (J. Quant. Spectrosc. Radiat. Transfer 17, 233 (1977)), good to 0.02 %.
double profile_fwhm(ShapeKind shape, const LineWidth& width);

struct StickLine {
  double wavenumber = 0.0;  // cm-1
  double intensity = 0.0;   // the line's area in the sampled spectrum
  LineWidth width;
};

struct SamplingOptions {
  double points_per_fwhm = 10.0;  // over the narrowest line
  std::size_t max_points = 2000000;
  // How far each line is drawn from its centre, in its own FWHM: far enough for the Gaussian
  // (1e-11 of its peak at 3 FWHM, 2e-12 of its area beyond), a compromise for the slow
  // Lorentzian wings: beyond 50 FWHM lies (2/π)·atan(1/100) = 0.64 % of a Lorentzian's area, and
  // (2/π)·atan(fL/(100 fV)) of a Voigt's of width fV, to a share (σ/(50 fV))² of that share; its
  // value there is 1e-4 of its peak or less.
  double gauss_reach = 3.0;
  double lorentz_reach = 50.0;
};

// Uniform grid: point i at first + i·step.
struct SampledSpectrum {
  double first = 0.0, step = 0.0;
  std::vector<double> values;
  bool coarsened = false;  // the grid was widened to stay within max_points
  double wavenumber(std::size_t i) const { return first + static_cast<double>(i) * step; }
};

// Sums the lines on a grid whose step resolves the narrowest profile. Within its reach a line
// adds its intensity times the true profile at each point; beyond the reach it adds nothing, so
// that the spectrum holds its area but for the share beyond the reach (above). On a grid
// coarsened to stay within max_points the samples no longer resolve the profile: there each
// line's samples are scaled so that their sum times the step equals its intensity, and a line
// narrower than the step puts its whole area on the nearest point. An empty list gives an empty
// spectrum.
SampledSpectrum sample_spectrum(std::span<const StickLine> lines, ShapeKind shape,
                                const SamplingOptions& options = {});

}  // namespace velk::spectrum
