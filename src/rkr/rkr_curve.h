// The pointwise curve velk-rkr writes: the RKR turning points of a mesh of v from the minimum to
// v_max, an exponential inner wall and a long-range tail, checked as the RKR literature checks
// them, and the potential file that velk reads unchanged (a table of points, section 4.2 of the
// guide).
//
// The points, in increasing R: the wall (energies 1.25, 1.5, 1.75 and 2 times the top turning
// energy, on the exponential through the two highest inner turning points), the inner turning
// points from the top down, the minimum (Re, 0), the outer turning points from the bottom up.
// Inner and outer points of one energy carry the same energy, to the last bit, so that a reader
// can pair them. The tail is the file's extension block: the asymptote D and -C_n/R^n through the
// two highest outer points, C_n fitted again by velk to the spline over the last outer points.
// Radii in Å, energies in cm-1 (from the minimum, or with Y(0,0) added when `with_te`), masses u.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "rkr/rkr_constants.h"
#include "rkr/rkr_inversion.h"

namespace velk::rkr {

struct RkrOptions {
  double mass1 = 0.0, mass2 = 0.0;  // atomic masses (u)
  std::optional<double> v_max;      // default: where the constants stop serving (see below)
  std::optional<double> dv;         // default: the finest of kDefaultSteps within 500 points
  int order = 64;                   // Gauss-Legendre points per integral
  int tail_power = 6;               // n of the -C_n/R^n tail, 3..20
  bool with_te = false;             // Y(0,0) as the energy of the minimum
  std::string source_name;          // the Dunham file, for messages and the header
};

inline constexpr double kDefaultSteps[] = {0.1, 0.2, 0.25, 0.5, 1.0, 2.0};
// The default top: the highest whole v whose spacing dG/dv is still this share of the first one.
inline constexpr double kTopSpacingShare = 0.05;
// A potential file holds at most this many points (the pointwise builder's capacity).
inline constexpr int kLargestPointCount = 500;

struct LongRangeTail {
  int power = 6;
  double asymptote = 0.0;  // D, on the file's energy scale
  double C = 0.0;          // C_n, cm-1 Å^n
  double Rfit1 = 0.0, Rfit2 = 0.0;
};

struct SuggestedGrid {
  double Rmin = 0.0, Rmax = 0.0;
  int N = 0;
};

struct RkrCurve {
  double mu = 0.0;     // reduced mass (u)
  double U_min = 0.0;  // energy of the minimum on the file's scale
  double Re = 0.0;     // Å
  double u_max = 0.0;  // v_max + 1/2
  double dv = 0.0;
  std::optional<double> u_turnover;  // where dG/dv falls to zero
  std::vector<TurningPoints> mesh;   // u = dv, 2 dv, ..., u_max
  std::vector<double> R, U;          // the file's points
  int wall_points = 0;
  double y2first = 0.0, y2last = 0.0;
  LongRangeTail tail;
  SuggestedGrid grid;
  std::vector<std::string> warnings;  // texts of "velk-rkr: warning: ..." lines
};

// Checks the request against the constants and computes the curve. Input errors (InputError,
// "velk-rkr: <file>: ..."): masses not positive, G(v) not rising from the minimum, v_max below 0
// or where the constants do not reach (beyond the last band row, at or beyond the turnover of
// G(v)), B(v) not positive on the range, a step that is not positive or gives more than 500
// points, a tail power outside 3..20. A curve whose points do not increase strictly in R stops
// (StopRun): no potential file can hold it.
RkrCurve build_rkr_curve(const RkrConstants& constants, const RkrOptions& options);

// The potential file of the curve, as velk reads it.
std::string rkr_file_text(const RkrCurve& curve, const RkrConstants& constants,
                          const RkrOptions& options);

}  // namespace velk::rkr
