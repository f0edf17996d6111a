// What every fuzz harness shares. The readers take file names and print progress on the console,
// so each harness process works in a private temporary directory (removed at exit), with standard
// output thrown away and an empty standard input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/errors.h"

namespace velk::fuzz {

// Creates the private directory, makes it the working directory and redirects std::cout and
// std::cin. Called from LLVMFuzzerInitialize.
void set_up();

// The failure handler of every harness: numerical failures are normal outcomes of arbitrary
// input, so they are counted and the routines go on with the values at hand, as a run does after
// its pause (which would read standard input and could run a command).
void record_numerical_failure(std::string_view message);

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
