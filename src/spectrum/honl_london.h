// Hönl–London factors of the one-photon lines between two singlet states.
//
// VELK lists the two parity components of a level with Λ > 0 as levels of their own, and a line of
// its lists joins one parity component of the upper level to one of the lower. Its factor is
//   S(J', Λ'; J'', Λ'') = f · (2J'' + 1) · <J'' Λ''; 1 Λ'−Λ'' | J' Λ'>²,
//   f = 2 when exactly one of the states is Σ, 1 otherwise.
// A Σ level couples to both Λ-components of the other state's level, whose amplitudes add in the
// one parity component that the line reaches (and cancel in the other): twice the strength of one
// pair of components. Between two states with Λ > 0 each parity component of one level couples
// to one parity component of the other, with the strength of one pair: the unresolved Λ-doublet
// of a Π–Π line is two listed lines of this S each. (The factor (2 − δ(0, Λ' + Λ'')) of Hansson
// and Watson, J. Mol. Spectrosc. 233, 169 (2005), is the sum over both Λ-components, which for a
// Σ state is the one line and for two states with Λ > 0 the doublet.)
//
// So the lines out of one upper level (one parity component) add up to
//   Σ S = g (2J' + 1),   g = (2 − δ(0, Λ' + Λ''))/(2 − δ(0, Λ')),
// which is 1 for every pair but an upper Σ state over a lower one with Λ > 0 (2: the Σ level
// decays into both Λ-components), and the Einstein coefficient A = (64π⁴ν³/3h)·|M|²·S/(2J' + 1)
// of a level's lines adds up to a lifetime that does not depend on J'. M is the moment of one
// pair of Λ-components, <Λ'|μ_q|Λ''> with q = Λ' − Λ'' (for a perpendicular band the same as
// the Cartesian <Π_x|μ_x|Σ>).
//
// J', Λ' always name the upper level, whichever of the two was known or computed.
#pragma once

#include <cstdint>

namespace velk::spectrum {

struct RotationalLine {
  int32_t J_upper = 0, J_lower = 0;
  int32_t Lambda_upper = 0, Lambda_lower = 0;  // |Λ| of each state, 0 for Σ
};

// The Hönl–London factor of one listed line; 0 for a line that one photon cannot make (|ΔJ| > 1,
// |ΔΛ| > 1, J below Λ on either side, J' = J'' = 0, or a negative J or Λ).
double honl_london(const RotationalLine& line);

}  // namespace velk::spectrum
