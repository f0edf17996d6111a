// Centrifugal distortion constants Dv and Hv of a level by rotational perturbation theory
// (J. M. Hutson, J. Phys. B 14, 851 (1981)).
//
// The level's energy as a function of x = J(J+1) near its own J is E(x) = E + Bv·Δx − Dv·Δx² +
// Hv·Δx³ + ..., the perturbation being W(R)·Δx with W = ħ²/(2μR²). With H0 the radial Hamiltonian
// of the level's effective potential Ueff and ψ0 its normalised wave function:
//
//   Bv = ⟨ψ0|W|ψ0⟩
//   (H0 − E)ψ1 = (Bv − W)ψ0,               ⟨ψ0|ψ1⟩ = 0,    Dv = −⟨ψ0|W|ψ1⟩
//   (H0 − E)ψ2 = (Bv − W)ψ1 − Dv·ψ0,       ⟨ψ0|ψ2⟩ = 0,    Hv = ⟨ψ0|W|ψ2⟩
//
// Each inhomogeneous equation y'' = k(Ueff − E)·y + s (k = 2μu/ħ²) is integrated with the Numerov
// recurrence for a source term, outward from zero at the inner end and inward from zero at the
// outer end, to the largest value of ψ0. The two pieces are joined there by adding the multiple
// of ψ0 that makes their values meet (H0 − E is singular along ψ0, so a plain linear solve would
// drown in it); the component along ψ0 is then removed.
//
// Arrays are forward grid arrays (slot i at R0 + i·h, slot 0 unused); radii in Å, energies in
// cm-1, masses in u. The wave function must have died out at both grid ends: for a level behind
// a barrier the outer boundary condition does not hold, and the caller leaves Dv and Hv out.
//
// A wave function that lives on part of the grid only (zero outside its live points) has
// perturbation functions that are zero there too: the equations are integrated from the zero
// just beyond each end of its live points, with the same recurrence and the same sums, which
// gives the numbers of the whole grid at a fraction of the cost.
#pragma once

#include <span>
#include <vector>

#include "pec/radial_grid.h"
#include "props/level_properties.h"

namespace velk::props {

struct LevelOnGrid {
  const RadialGrid* grid = nullptr;
  std::span<const double> Ueff;  // the level's effective potential, cm-1
  std::span<const double> psi;   // normalised, h·Σψ² = 1
  double E = 0.0;                // the eigenvalue of Ueff, cm-1
  double mu = 0.0;               // u
};

struct DistortionConstants {
  double Bv = 0.0, Dv = 0.0, Hv = 0.0;  // cm-1
};

class RotationalPerturbation {
 public:
  // The working arrays (RadialGrid::kSlots each) are allocated once.
  RotationalPerturbation();

  // `live`: where level.psi is not zero.
  DistortionConstants solve(const LevelOnGrid& level, LivePoints live);
  DistortionConstants solve(const LevelOnGrid& level);

  // The perturbation functions of the last solve (Å^-1/2 per cm-1 and per cm-2).
  std::span<const double> first_order() const { return psi1_; }
  std::span<const double> second_order() const { return psi2_; }

 private:
  void solve_inhomogeneous(const RadialGrid& grid, std::span<const double> psi0,
                           std::span<double> y);

  std::vector<double> T_, W_, source_, psi1_, psi2_, left_;
  // The points of the last solve, on its grid: psi1_ and psi2_ are zero outside them.
  int lo_ = 1, hi_ = 0;
  // The grid and the reduced mass W_ holds the perturbation of.
  RadialGrid W_grid_;
  double W_mu_ = 0.0;
};

}  // namespace velk::props
