#include "rkr/rkr_inversion.h"

namespace velk::rkr {

void rkr_turning_points(const RkrConstants& constants, double mu, std::span<const double> mesh,
                        const GaussRule& rule, std::vector<TurningPoints>& out) {
  out.resize(mesh.size());
  const auto B = [&constants](double u) { return constants.rotational_constant(u); };
  for (std::size_t i = 0; i < mesh.size(); ++i) {
    const double u = mesh[i];
    out[i] = turning_points(rkr_integrals(constants.G, B, u, rule), mu);
    out[i].u = u;
    out[i].E = constants.term(u);
  }
}

}  // namespace velk::rkr
