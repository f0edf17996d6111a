// What every fuzz harness shares. The readers take file names and print progress on the console,
// so each harness process works in a private temporary directory (removed at exit), with standard
// output thrown away and an empty standard input (a pause then continues at once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/errors.h"

namespace velk::fuzz {

// Creates the private directory, makes it the working directory and redirects std::cout and
// std::cin. Called from LLVMFuzzerInitialize.
void set_up();

// Writes the fuzzer's bytes to `name` in the working directory, replacing what it held.
void write_input(const std::string& name, const uint8_t* data, size_t size);

// Runs `body`; the refusals of bad input (InputError, StopRun) are normal outcomes. Anything else
// escapes to the fuzzer and is reported as a finding.
template <class Body>
void run_guarded(Body&& body) {
  try {
    body();
  } catch (const InputError&) {
  } catch (const StopRun&) {
  }
}

}  // namespace velk::fuzz
