// What every fuzz harness shares. The readers take file names and print progress on the console,
// so each harness process works in a private temporary directory (removed at exit), with standard
// output thrown away and an empty standard input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// A working directory in one input, for the whole-run harness: the bytes up to the first marker
// line are velk.inf; a marker line "%%file NAME" starts the file NAME, which holds the lines up to
// the next marker or the end. A name is 1 to 12 characters of letters, digits, '.', '_' and '-',
// other than "velk.inf", "." and ".."; a part under any other name is dropped. Lines keep their
// line ends, so a file that ends with one in the directory ends with one in the bundle.
inline constexpr std::string_view kFileMarker = "%%file ";

struct BundledFile {
  std::string name;
  std::string content;
};
struct Bundle {
  std::string control;  // velk.inf
  std::vector<BundledFile> files;
};

Bundle split_bundle(std::string_view bytes);
bool is_bundle_name(std::string_view name);

// Removes every entry of the working directory (between executions, so that no file of one
// input is at hand for the next).
void clear_work_directory();

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
