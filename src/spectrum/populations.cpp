#include "spectrum/populations.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "spectrum/physical_constants.h"

namespace velk::spectrum {

Populations::Populations(std::span<const LevelLine> levels, double temperature, SpinWeights weights)
    : levels_(levels), temperature_(temperature), weights_(weights) {
  if (levels.empty() || !(temperature > 0.0) || !std::isfinite(temperature)) {
    throw std::invalid_argument("populations need levels and a positive temperature");
  }
  E_lowest_ = std::min_element(levels.begin(), levels.end(), [](const auto& a, const auto& b) {
                return a.E < b.E;
              })->E;
  for (const LevelLine& level : levels) {
    Q_ += weights_.of(level.J) * (2.0 * level.J + 1.0) *
          std::exp(-kSecondRadiation * (level.E - E_lowest_) / temperature_);
  }
}

std::optional<double> Populations::fraction(int32_t v, int32_t J, std::optional<int32_t> p) const {
  for (const LevelLine& level : levels_) {
    if (level.v != v || level.J != J || (p && level.p != *p)) continue;
    return weights_.of(J) * (2.0 * J + 1.0) *
           std::exp(-kSecondRadiation * (level.E - E_lowest_) / temperature_) / Q_;
  }
  return std::nullopt;
}

}  // namespace velk::spectrum
