// Boltzmann populations of the levels of one state in thermal equilibrium.
//
// The fractional population of a level (v, J, p) of energy E (cm-1) at temperature T (K) is
//   N/N_total = g_ns(J) (2J + 1) exp(−c₂ (E − E_lowest)/T) / Q,
//   Q = Σ over the listed levels of g_ns(J) (2J + 1) exp(−c₂ (E − E_lowest)/T),
// with c₂ = hc/k, E_lowest the lowest listed energy (the zero of the sum; the fractions do not
// depend on it) and g_ns the nuclear-spin weight of even or odd J (1 and 1 unless given). The
// sum runs over the levels as the level file lists them: the partition function is as complete
// as the level table is. Each listed level is one parity component, of degeneracy 2J + 1. A state
// with Λ > 0 has two at every J: both count when both are listed, and a level listed without its
// twin (same v and J, the other component: p = 1 against p ≠ 1) counts twice, the twin at its
// energy, since a table asked for one parity is no reason to leave half the molecules out of Q.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "io/level_file.h"

namespace velk::spectrum {

struct SpinWeights {
  double even = 1.0, odd = 1.0;
  double of(int32_t J) const { return J % 2 == 0 ? even : odd; }
};

class Populations {
 public:
  // T > 0 and a non-empty list; std::invalid_argument otherwise. Lambda: the state's |Λ|.
  Populations(std::span<const LevelLine> levels, double temperature, SpinWeights weights,
              int32_t Lambda = 0);

  double partition_function() const { return Q_; }
  double temperature() const { return temperature_; }
  // The fraction of the molecules in the listed level (v, J, p); nothing when the level is not
  // listed. With p unknown (nothing), the first listed level of that v and J is taken.
  std::optional<double> fraction(int32_t v, int32_t J, std::optional<int32_t> p) const;

 private:
  std::span<const LevelLine> levels_;
  double temperature_;
  SpinWeights weights_;
  double E_lowest_ = 0.0;
  double Q_ = 0.0;
};

}  // namespace velk::spectrum
