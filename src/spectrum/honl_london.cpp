#include "spectrum/honl_london.h"

namespace velk::spectrum {

double honl_london(const RotationalLine& line) {
  const int32_t q = line.Lambda_upper - line.Lambda_lower;
  const int32_t dJ = line.J_upper - line.J_lower;
  if (line.Lambda_upper < 0 || line.Lambda_lower < 0 || q < -1 || q > 1 || dJ < -1 || dJ > 1) {
    return 0.0;
  }
  if (line.J_upper < line.Lambda_upper || line.J_lower < line.Lambda_lower) return 0.0;
  if (line.J_upper == 0 && line.J_lower == 0) return 0.0;
  // (2J'' + 1) times the squared Clebsch–Gordan coefficient <J'' Λ''; 1 q | J' Λ'> in closed form
  // (the coupling of J'' with the photon's unit angular momentum), with M = Λ'.
  const double J = line.J_lower;
  const double M = line.Lambda_upper;
  double S = 0.0;
  if (q == 0) {
    if (dJ == 1) S = (J - M + 1.0) * (J + M + 1.0) / (J + 1.0);
    if (dJ == 0) S = (2.0 * J + 1.0) * M * M / (J * (J + 1.0));
    if (dJ == -1) S = (J - M) * (J + M) / J;
  } else if (q == 1) {
    if (dJ == 1) S = (J + M) * (J + M + 1.0) / (2.0 * (J + 1.0));
    if (dJ == 0) S = (2.0 * J + 1.0) * (J + M) * (J - M + 1.0) / (2.0 * J * (J + 1.0));
    if (dJ == -1) S = (J - M) * (J - M + 1.0) / (2.0 * J);
  } else {
    if (dJ == 1) S = (J - M) * (J - M + 1.0) / (2.0 * (J + 1.0));
    if (dJ == 0) S = (2.0 * J + 1.0) * (J - M) * (J + M + 1.0) / (2.0 * J * (J + 1.0));
    if (dJ == -1) S = (J + M + 1.0) * (J + M) / (2.0 * J);
  }
  const bool one_sigma = (line.Lambda_upper == 0) != (line.Lambda_lower == 0);
  return one_sigma ? 2.0 * S : S;
}

}  // namespace velk::spectrum
