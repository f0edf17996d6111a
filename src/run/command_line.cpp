#include "run/command_line.h"

// The build passes the project's version; builds that never print it (the fuzz harnesses, which
// compile these sources on their own) go without.
#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk {

CommandLineOptions parse_command_line(std::span<const std::string_view> arguments) {
  CommandLineOptions options;
  for (const std::string_view argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--quiet" || argument == "-q") {
      options.quiet = true;
    } else if (argument == "--fast") {
      options.fast = true;
    } else if (options.refusal.empty()) {
      // The first fault is the one reported; a later --help still shows the help.
      options.refusal =
          velk_refusal(argument.starts_with('-') && argument.size() > 1 ? "unknown option"
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
      "usage: velk [--quiet]\n"
      "       velk --fast [--quiet]\n"
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
      "  -h, --help     this text\n"
      "      --version  the version\n"
      "\n"
      "exit status:\n"
      "  0         normal run (or --help, --version)\n"
      "  1         the program stopped on its own; the message is the last console line\n"
      "  2         an input file is missing, short or malformed, or a bad command line\n"
      "  3         internal error\n"
      "  130, 143  interrupted by SIGINT or SIGTERM\n"
      "\n"
      "The user guide is docs/guide.md in the sources, installed as\n"
      "share/doc/velk/guide.md under the installation prefix.\n");
}

}  // namespace velk
