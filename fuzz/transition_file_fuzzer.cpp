// The transition list vel_tran.out on arbitrary bytes: read as velk-props and velk-plot read it,
// then turned round as a fluorescence run's list is.
#include <cstdint>

#include "fuzz_support.h"
#include "io/transition_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velk::fuzz::write_input("vel_tran.out", data, size);
  velk::fuzz::run_guarded([] {
    velk::TransitionFileData list = velk::read_transition_file("vel_tran.out", "velk-props");
    velk::orient_known_level(list, list.known_run_data_file);
    for (const velk::TransitionRecord& line : list.lines) {
      static_cast<void>(velk::branch_of(line.J_lower, line.J_upper));
    }
  });
  return 0;
}
