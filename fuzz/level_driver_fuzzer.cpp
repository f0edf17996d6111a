// A whole level request on a potential file of any form: header, toadd, the curve through the
// dispatch, the effective potential and the solver for v = 0..2, J = 0..1, both parities, on a
// grid of 200 points, forward or reversed by the first byte. The level file is written as in a run.
#include <cstdint>

#include "fuzz_support.h"
#include "solver/level_driver.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static velk::LevelDriver forward('n');
  static velk::LevelDriver reversed('y');
  if (size < 1) return 0;
  velk::LevelDriver& driver = (data[0] & 1) ? reversed : forward;
  velk::fuzz::write_input("pot.dat", data + 1, size - 1);
  velk::fuzz::run_guarded([&] {
    driver.compute_levels("pot.dat", 1.0, 12.0, 200, 1e-4, 20, 0, 2, 0, 1, 0, 1, "Astate.dat", 1);
  });
  return 0;
}
