#include "pec/mlj.h"
#include "potential_fuzzer.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return velk::fuzz::build_potential(
      data, size,
      [](const velk::InputText& text, std::span<double> Vgrid, const velk::RadialGrid& grid) {
        velk::pec_mlj(velk::read_mlj(text), text.name, Vgrid, grid);
      });
}
