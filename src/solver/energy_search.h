// The energy search of the shooting method: the first bracket, the correction formed at the joint
// and the update that either applies the correction or bisects the bracket.
//
// Energies in cm-1, h in Å, mu in u. Every formula keeps its operation order, so that printed
// energies are reproducible to the last digit.
#pragma once

#include <cstdint>

#include "numlib/constants.h"

namespace velk::numerov {

// The bracket [Elo, Ehi] that bisection narrows.
struct Bracket {
  double Elo = 0.0, Ehi = 0.0;
};

// The first bracket around the trial energy E of half-width dE. The rules are applied in order,
// each seeing what the ones before set. A trial energy below Umin is moved to
// Umin + below_minimum_share·dE. May move E.
inline Bracket first_bracket(double& E, double dE, double Emax, double Umin,
                             double below_minimum_share) {
  Bracket b;
  if (E + dE < Emax) {
    b.Elo = E - dE;
    b.Ehi = E + dE;
  }
  if (E + dE >= Emax) {
    b.Elo = E - dE;
    b.Ehi = Emax;
  }
  if (E >= Emax) {
    E = Emax - dE;
    b.Elo = E - dE;
    b.Ehi = E + dE;
  }
  if (E - dE < Umin) b.Elo = Umin;
  if (E < Umin) {
    b.Elo = Umin;
    E = Umin + below_minimum_share * dE;
    b.Ehi = Umin + dE;
  }
  return b;
}

// Energy correction from the residual of the Numerov recurrence at the joint k, where the
// solution has been scaled to Y(k) = 1 (hence the first term carries no factor Y(k)).
// The same from the three coefficients and two scaled values around the joint.
inline double correction_at(double T_below, double T_joint, double T_above, double Y_below,
                            double Y_above, double S, double h, double mu) {
  return ((10 * T_joint + 2) - (1 - T_below) * Y_below - (1 - T_above) * Y_above) / (S * (h * h)) /
         (2 * mu * constants::kTwoUOverHbar2);
}
inline double correction(const double* T, const double* Y, int k, double S, double h, double mu) {
  return correction_at(T[k - 1], T[k], T[k + 1], Y[k - 1], Y[k + 1], S, h, mu);
}

// Bisection on the node count, then on the sign of a large correction (Dcor² >= threshold); a
// small correction is applied directly but never beyond Emax. A NaN correction takes none of the
// branches.
inline void update_energy(int32_t node, int v, double Dcor, double threshold, double Emax,
                          double& E, Bracket& b) {
  if (node > v) {
    b.Ehi = E;
    E = (b.Elo + b.Ehi) / 2;
  } else if (node < v) {
    b.Elo = E;
    E = (b.Elo + b.Ehi) / 2;
  } else if (Dcor * Dcor < threshold) {
    const double next = E + Dcor;
    E = next < Emax ? next : Emax;
  } else if (Dcor < 0) {
    b.Ehi = E;
    E = (b.Elo + b.Ehi) / 2;
  } else if (Dcor > 0) {
    b.Elo = E;
    E = (b.Elo + b.Ehi) / 2;
  }
}

}  // namespace velk::numerov
