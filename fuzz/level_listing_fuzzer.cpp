// A level file on arbitrary bytes, listed whole as velk-props, the spectrum command and velk-plot
// list it (the transition runs' own reads are fuzzed through the whole-run harness).
#include <cstdint>

#include "fuzz_support.h"
#include "io/level_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("Astate.dat", data, size);
  velk::fuzz::run_guarded([] { velk::read_level_listing("Astate.dat", "velk-props"); });
  return 0;
}
