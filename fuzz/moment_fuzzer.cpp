// The transition-moment file of velk-props (--moment) on arbitrary bytes: read, and the spline
// through its points evaluated inside, at and beyond its ends.
#include <cstdint>

#include "fuzz_support.h"
#include "props/moment_table.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("tdm.txt", data, size);
  velk::fuzz::run_guarded([] {
    const velk::props::MomentTable table = velk::props::MomentTable::read("tdm.txt");
    for (const double R : {-1.0, 0.0, 1.5, 3.0, 7.5, 1e6}) static_cast<void>(table(R));
  });
  return 0;
}
