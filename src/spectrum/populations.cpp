#include "spectrum/populations.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>
#include <tuple>

#include "spectrum/physical_constants.h"

namespace velk::spectrum {

Populations::Populations(std::span<const LevelLine> levels, double temperature, SpinWeights weights,
                         int32_t Lambda)
    : levels_(levels), temperature_(temperature), weights_(weights) {
  if (levels.empty() || !(temperature > 0.0) || !std::isfinite(temperature)) {
    throw std::invalid_argument("populations need levels and a positive temperature");
  }
  E_lowest_ = std::min_element(levels.begin(), levels.end(), [](const auto& a, const auto& b) {
                return a.E < b.E;
              })->E;
  // Parity index 1 is one component, every other index the other.
  std::set<std::tuple<int32_t, int32_t, bool>> listed;
  for (const LevelLine& level : levels) listed.insert({level.v, level.J, level.p == 1});
  for (const LevelLine& level : levels) {
    const bool twin_listed = listed.contains({level.v, level.J, level.p != 1});
    const double components = Lambda > 0 && !twin_listed ? 2.0 : 1.0;
    Q_ += components * weights_.of(level.J) * (2.0 * level.J + 1.0) *
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
