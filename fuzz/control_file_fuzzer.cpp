// The control file reader on arbitrary bytes as velk.inf, with its LIF and point-count checks.
#include <cstdint>

#include "fuzz_support.h"
#include "pec/radial_grid.h"
#include "run/control_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("velk.inf", data, size);
  velk::fuzz::run_guarded([] {
    const velk::RunControl control = velk::read_control_file("velk.inf");
    // What the reader promises to the rest of the run.
    if (control.A.file.size() != 12 || control.B.file.size() != 12) __builtin_trap();
    if (control.A.N > velk::RadialGrid::kCapacity || control.B.N > velk::RadialGrid::kCapacity) {
      __builtin_trap();
    }
  });
  return 0;
}
