#include "solver/effective_potential.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "io/console.h"
#include "numlib/constants.h"

namespace velk {

namespace {

// J(J+1) - Lambda² with the wrap-around of 32-bit integer arithmetic, formed in unsigned
// arithmetic so that an absurd J cannot become undefined behaviour.
int32_t rotational_bracket(int J, int Lambda) {
  const uint32_t j = static_cast<uint32_t>(J);
  const uint32_t l = static_cast<uint32_t>(Lambda);
  return static_cast<int32_t>(j * (j + 1u) - l * l);
}

}  // namespace

void effective_potential(std::span<const double> V, std::span<double> Ueff, const RadialGrid& grid,
                         double mu, int J, int Lambda, GridOrientation orientation) {
  const int N = grid.N;
  const double h = grid.h;
  const double R0 = grid.R0;
  require_grid_slots(V.size(), N, "effective_potential");
  require_grid_slots(Ueff.size(), N, "effective_potential");
  const double K = static_cast<double>(rotational_bracket(J, Lambda)) * constants::kHbar2Over2u;
  const double* v = V.data();
  double* u = Ueff.data();
  if (orientation == GridOrientation::forward) {
    // The radius multiplier is a counter stepped by 1.0 rather than k converted afresh: both give
    // the same integers, and the counter fixes the operation order of the printed values.
    double kk = 0.0;
    for (int k = 1; k <= N; ++k) {
      kk += 1.0;
      const double R = kk * h + R0;
      u[k] = K / (R * R * mu) + v[k];
    }
  } else {
    double kk = static_cast<double>(N) + 1.0;
    for (int k = 1; k <= N; ++k) {
      kk -= 1.0;
      const double R = kk * h + R0;
      u[k] = K / (R * R * mu) + v[N + 1 - k];
    }
  }
  print_effective_potential_line();
}

void print_effective_potential_line() {
  console_line(" UYeff OK");
}

}  // namespace velk
