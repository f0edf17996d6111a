// The line list vel_tran.csv on arbitrary bytes: read as the spectrum command and velk-plot read
// it, and written back with the added columns as the spectrum command writes it.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "io/line_list_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("vel_tran.csv", data, size);
  velk::fuzz::run_guarded([] {
    const velk::LineListFile table = velk::read_line_list_file("vel_tran.csv", "velk-props");
    std::vector<velk::AddedCells> added(table.rows.size());
    for (std::size_t r = 0; r < added.size(); ++r) {
      added[r].HL = table.rows[r].upper_J;
      added[r].intensity = table.rows[r].moment;
    }
    velk::write_line_list_file(table, added, "vel_tran.csv");
  });
  return 0;
}
