// Hönl–London factors of the one-photon lines between two singlet states.
//
// Normalisation (Hansson and Watson, J. Mol. Spectrosc. 233, 169 (2005)):
//   S(J', Λ'; J'', Λ'') = (2 − δ(0, Λ' + Λ'')) (2J'' + 1) <J'' Λ''; 1 Λ'−Λ'' | J' Λ'>²,
// so that a ¹Σ–¹Σ line from the lower level J'' has S_R = J'' + 1, S_P = J'' and S_Q = 0, and the
// branches from one lower level sum to (2 − δ(0, Λ' + Λ''))(2J'' + 1). The factor 2 counts both
// Λ-components of a Π (Δ, ...) state; the lines to one parity component carry their own share,
// since VELK lists the two components as levels of their own. With this normalisation the
// Einstein coefficient of a line is A = (64π⁴ν³/3h)·|M|²·S/(2J' + 1) and the lifetime of a level
// does not depend on J.
//
// The factors are symmetric in the sense S(upper, lower) as written: J', Λ' always name the upper
// level, whichever of the two was known or computed.
#pragma once

#include <cstdint>

namespace velk::spectrum {

struct RotationalLine {
  int32_t J_upper = 0, J_lower = 0;
  int32_t Lambda_upper = 0, Lambda_lower = 0;  // |Λ| of each state, 0 for Σ
};

// The Hönl–London factor of the line; 0 for a line that one photon cannot make (|ΔJ| > 1,
// |ΔΛ| > 1, J below Λ on either side, J' = J'' = 0, or a negative J or Λ).
double honl_london(const RotationalLine& line);

}  // namespace velk::spectrum
