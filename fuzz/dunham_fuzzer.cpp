// The Dunham file on arbitrary bytes: read, then a small level file written from it (v and J from
// -1 to 3, both parities), as a level request of the run would.
#include <cstdint>

#include "fuzz_support.h"
#include "run/dunham.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("dun.dat", data, size);
  velk::fuzz::run_guarded([] { velk::dunham_levels("dun.dat", 0, 3, -1, 3, 0, 1, "Astate.dat"); });
  velk::fuzz::run_guarded([] { velk::dunham_levels("dun.dat", 48, 52, 0, 0, 1, 1, "Bstate.dat"); });
  return 0;
}
