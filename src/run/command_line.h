// The command line of velk. A run is steered by velk.inf alone; the options only ask for help,
// the version, a run without progress lines, the fast search, or every warning on its own line.
// Without any argument nothing here is consulted.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "io/thread_count.h"

namespace velk {

struct CommandLineOptions {
  bool help = false;
  bool version = false;
  bool quiet = false;
  // --threads N: threads that compute levels; 0 when not given (one per core).
  int threads = 0;
  bool fast = false;     // levels by the fast search
  bool verbose = false;  // every warning on a level on a line of its own
  // Empty when the arguments were understood; otherwise the one line that refuses them, and the
  // program ends with status 2 without reading anything.
  std::string refusal;
};

// Reads the arguments that follow the program name. Help wins over the version, the version over
// a run; an unknown option, any argument that is not an option and a thread count that is not a
// whole number from 1 to kMaxThreads are refused.
CommandLineOptions parse_command_line(std::span<const std::string_view> arguments);

// What --help prints: what the program reads and writes, its options, its exit statuses and
// where the guide is. Every line ends with a line end.
std::string velk_help_text();

// What --version prints, "velk 3.0" and a line end.
std::string velk_version_text();

// The refusal of an unknown option or a stray argument, as parse_command_line gives it.
std::string velk_refusal(std::string_view what, std::string_view argument);

}  // namespace velk
