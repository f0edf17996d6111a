// A measured spectrum of velk-plot (--observed FILE) on arbitrary bytes: read as two columns.
#include <cstdint>

#include "fuzz_support.h"
#include "plot/intensity_plot.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("observed.txt", data, size);
  velk::fuzz::run_guarded([] { velk::plot::read_two_column_file("observed.txt"); });
  return 0;
}
