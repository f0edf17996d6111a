#include "run/command_line.h"

#include <string>

// The build passes the project's version; builds that never print it (the fuzz harnesses, which
// compile these sources on their own) go without.
#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk {

CommandLineOptions parse_command_line(std::span<const std::string_view> arguments) {
  CommandLineOptions options;
  const auto refuse = [&](std::string_view what, std::string_view argument) {
    // The first fault is the one reported; a later --help still shows the help.
    if (options.refusal.empty()) options.refusal = velk_refusal(what, argument);
  };
  for (std::size_t k = 0; k < arguments.size(); ++k) {
    const std::string_view argument = arguments[k];
    if (argument == "--threads" || argument.starts_with("--threads=")) {
      const bool separate = argument == "--threads";
      if (separate && k + 1 == arguments.size()) {
        refuse("missing thread count after", argument);
        continue;
      }
      const std::string_view count =
          separate ? arguments[++k] : argument.substr(std::string_view("--threads=").size());
      options.threads = thread_count(count);
      if (options.threads == 0)
        refuse("thread count must be a whole number from 1 to 256, not", count);
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--quiet" || argument == "-q") {
      options.quiet = true;
    } else if (argument == "--fast") {
      options.fast = true;
    } else if (argument == "--verbose") {
      options.verbose = true;
    } else {
      refuse(argument.starts_with('-') && argument.size() > 1 ? "unknown option"
                                                              : "unexpected argument",
             argument);
    }
  }
  if (options.help || options.version) options.refusal.clear();
  return options;
}

std::string velk_refusal(std::string_view what, std::string_view argument) {
  return "velk: " + std::string(what) + " '" + std::string(argument) +
         "' (velk --help lists the options)";
}

std::string velk_version_text() {
  return std::string("velk ") + VELK_VERSION + "\n";
}

std::string velk_help_text() {
  return std::string(
      "usage: velk [--quiet] [--verbose] [--threads N]\n"
      "       velk --fast [--quiet] [--verbose] [--threads N]\n"
      "       velk --help | --version\n"
      "\n"
      "Rovibrational levels of two electronic states of a diatomic molecule and the\n"
      "wavenumbers of the transitions between them. Run it in a working directory: it\n"
      "reads velk.inf there and the data files that velk.inf names and writes, as\n"
      "velk.inf asks, the level tables Astate.dat or Bstate.dat, the level files\n"
      "BstateP.dat, BstateQ.dat and BstateR.dat, the transition list vel_tran.out, and\n"
      "potext.out for a curve with a fitted long-range extension. An output is replaced\n"
      "whole when the run has written it completely.\n"
      "\n"
      "options:\n"
      "  -q, --quiet    no progress lines on standard output; the message of a stop or\n"
      "                 of an input error goes to standard error; the same files\n"
      "      --fast     levels by the fast search: the same files and levels, energies\n"
      "                 equal within the tolerance of velk.inf, computed many times\n"
      "                 faster; the columns of the search history (Ein, delE, Dcor,\n"
      "                 kturn, kleft-krigth) describe the fast search\n"
      "      --verbose  on standard error, each level beyond the last level of its J\n"
      "                 on a warning line of its own (without it, one line sums up\n"
      "                 a run of J with such levels), and each J whose levels the\n"
      "                 fast search left to the exact search; the same files and\n"
      "                 console lines\n"
      "      --threads N\n"
      "                 compute on N threads (1 to 256; default: one per core); the\n"
      "                 files, console lines and warnings are the same for every N.\n"
      "                 The exact search computes the levels of successive J on the N\n"
      "                 threads (for a single J: its levels); the fast search\n"
      "                 searches the J on the N threads, each J on its own\n"
      "  -h, --help     this text\n"
      "      --version  the version\n"
      "\n"
      "exit status:\n"
      "  0         normal run (or --help, --version)\n"
      "  1         the program stopped on its own; the message is the last console line\n"
      "  2         an input file is missing, short or malformed, or a bad command line\n"
      "  3         internal error\n"
      "  4         files complete, but standard output was closed early (velk | head)\n"
      "  130, 143  interrupted by SIGINT or SIGTERM\n"
      "\n"
      "The user guide is docs/guide.md in the sources, installed as\n"
      "share/doc/velk/guide.md under the installation prefix.\n");
}

}  // namespace velk
