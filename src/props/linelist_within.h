// The rovibrational line list of one state: its levels, J = 0, 1, … until a J holds none, and
// the one-photon lines among them through the state's own dipole function μ(R).
//
// The rules are those of the lines between two states with Λ′ = Λ″ = Λ: P and R lines (ΔJ = ±1)
// join the same parity index, Q lines (ΔJ = 0, only for Λ > 0) e to f, so that every line joins
// + to −; a Σ⁺ state has P and R lines only. The Hönl–London factors are those of the spectrum
// command, summing to 2J′ + 1 over the branches of an upper level: for Λ = 0 an upper level J′
// reaches J′ − 1 with S = J′ and J′ + 1 with S = J′ + 1, so that A = 3.1362e-7·ν³·|⟨ψ′|μ|ψ″⟩|²
// times J′/(2J′ + 1) or (J′ + 1)/(2J′ + 1). Pure rotational lines (Δv = 0) are lines like the
// others.
//
// Two J blocks of wave functions are kept, J − 1 and J, with the weighted copy of each.
#pragma once

#include <cstdint>
#include <span>

#include "props/linelist_blocks.h"
#include "props/linelist_levels.h"

namespace velk::props {

struct WithinRequest {
  char letter = 'A';  // the state, as its levels are named
  int32_t first_J = 0, last_J = 0;
  LevelSelection selection;
};

// The levels of J = first_J..last_J (until a J at or above Λ holds none: the list has ended)
// and the lines among them; `weights` is h·μ(R) on the state's grid (moment_weights).
SolvedList solve_lines_within(StateWaveFunctions& state, const WithinRequest& request,
                              std::span<const double> weights);

}  // namespace velk::props
