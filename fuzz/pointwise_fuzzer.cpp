// The pointwise form with its long-range extension: spline, fit and potext.out.
#include "pec/pointwise.h"
#include "potential_fuzzer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static velk::ExtensionFitStorage work;
  return velk::fuzz::build_potential(
      data, size,
      [](const std::string& file, std::span<double> Vgrid, const velk::RadialGrid& grid) {
        velk::pec_pointwise(file, Vgrid, grid, work, velk::fuzz::record_numerical_failure);
      });
}
