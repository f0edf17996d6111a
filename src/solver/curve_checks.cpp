#include "solver/curve_checks.h"

#include <sstream>

#include "io/errors.h"

namespace velk {
namespace {

constexpr int32_t kMaxHeaderPoints = 500;
// 46340² = 2147395600 is the last square below 2^31.
constexpr int32_t kLargestLambda = 46340;

}  // namespace

const PotentialHeader& checked_header(const CurveDefinition& curve) {
  return curve.checked_header(kMaxHeaderPoints);
}

// The centrifugal term and the Numerov step divide by the mass or scale with it, and a mass of zero
// or below has no levels.
void require_positive_mass(const std::string& name, const PotentialHeader& header, int32_t index) {
  const double mu = header.masses[static_cast<std::size_t>(index - 1)];
  if (mu > 0.0) return;
  std::ostringstream text;
  text << "velk: " << name << ": reduced mass " << index << " must be positive, found " << mu;
  throw StopRun(text.str());
}

// The centrifugal term forms J(J+1) - Lambda² in 32-bit integers, and a larger Lambda would wrap
// round to a term of the wrong size and sign.
void require_representable_Lambda(const std::string& name, const PotentialHeader& header) {
  if (header.Lambda >= -kLargestLambda && header.Lambda <= kLargestLambda) return;
  throw StopRun("velk: " + name + ": Lambda = " + std::to_string(header.Lambda) +
                " is too large; J(J+1) - Lambda^2 is formed in 32-bit integers, which hold "
                "Lambda = -46340 to 46340");
}

}  // namespace velk
