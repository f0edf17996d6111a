// A whole level request on a potential file of any form: header, toadd, the curve through the
// dispatch, the effective potential and the solver for v = 0..2, J = 0..1, both parities, on a
// grid of 200 points, forward or reversed by bit 0 of the first byte, the exact or the fast
// search by bit 1. The level file is written as in a run.
#include <cstdint>

#include "fuzz_support.h"
#include "run/level_file_writer.h"
#include "solver/level_driver.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using velk::GridOrientation;
  using velk::SearchMode;
  static velk::LevelDriver drivers[4] = {
      velk::LevelDriver({GridOrientation::forward, velk::fuzz::record_numerical_failure}),
      velk::LevelDriver({GridOrientation::reversed, velk::fuzz::record_numerical_failure}),
      velk::LevelDriver({.orientation = GridOrientation::forward,
                         .on_failure = velk::fuzz::record_numerical_failure,
                         .mode = SearchMode::fast}),
      velk::LevelDriver({.orientation = GridOrientation::reversed,
                         .on_failure = velk::fuzz::record_numerical_failure,
                         .mode = SearchMode::fast}),
  };
  static velk::LevelTableRequest request = [] {
    velk::LevelTableRequest r;
    r.grid = velk::RadialGrid(1.0, 12.0, 200);
    r.tol = 1e-4;
    r.maxit = 20;
    r.v = {0, 2};
    r.J = {0, 1};
    r.Par = {0, 1};
    r.mass_index = 1;
    r.levelfile = "Astate.dat";
    return r;
  }();
  if (size < 1) return 0;
  velk::LevelDriver& driver = drivers[data[0] & 3];
  velk::fuzz::write_input("pot.dat", data + 1, size - 1);
  request.curve = velk::read_curve_definition("pot.dat");
  velk::fuzz::run_guarded([&] {
    velk::LevelFileWriter file;
    driver.compute_levels(request, file);
  });
  return 0;
}
