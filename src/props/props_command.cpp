#include "props/props_command.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <iostream>
#include <new>
#include <string_view>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "numlib/failure_policy.h"
#include "props/fcf_command.h"
#include "props/linelist_blocks.h"
#include "props/linelist_command.h"
#include "props/props_files.h"
#include "props/state_table.h"
#include "props/transition_properties.h"
#include "spectrum/spectrum_command.h"

#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk::props {
namespace {

void print_usage() {
  say("usage: velk-props A | B | transitions | spectrum | fcf | linelist | merge [options]");
  say("  run in the working directory of a finished velk run:");
  say("  velk-props A            levels of Astate.dat -> Astate_props.csv");
  say("  velk-props B            levels of Bstate.dat -> Bstate_props.csv");
  say("  velk-props transitions  lines of vel_tran.out -> vel_tran.csv");
  say("  velk-props spectrum     intensities into vel_tran.csv, the spectrum -> spectrum.csv");
  say("                          (its options: velk-props spectrum --help)");
  say("  velk-props fcf --J J    Franck-Condon factors v' x v'' -> fcf_table.csv");
  say("  velk-props linelist     every level and line of states A and B -> velk.states,");
  say("                          velk.trans, velk.pf (its options: velk-props linelist --help)");
}

void print_help() {
  print_usage();
  say("options:");
  say("  --file LEVELFILE  (A, B) another level file of the state, e.g. BstateQ.dat;");
  say("                    the output is named after it (BstateQ_props.csv)");
  say("  --wavefunctions   (A, B) also write <levelfile>_wf.csv: R and one normalised");
  say("                    wave function per level");
  say("  --wavefunctions-limit MB  (A, B) the largest wave-function table written");
  say("                    (default 1000 MB; the size is said when a table is over)");
  say("  --moment FILE     (transitions) electronic transition moment, lines 'R M'");
  say("                    (Å, debye), for the matrix elements <v'J'|M(R)|v''J''>");
  say("  -h, --help        this text");
  say("      --version     the version");
  say("Astate_props.csv: v,J,p,E,found,R_in,R_out,R_mean,R2_mean,Rinv2_mean,Bv,Dv,Hv,tunnel,");
  say("  E_listed (cm-1, Å). vel_tran.csv: line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,");
  say("  lower_p,wavenumber,FCF,r_centroid,moment,overlap,upper_E,lower_E.");
  say("exit status: 0 written, 1 a builder stopped on the potential file (or its fit failed),");
  say("  2 a missing or malformed file, a run not made or not matching velk.inf, or bad");
  say("  arguments, 3 internal error.");
  say("The guide is docs/props.md in the sources, installed as share/doc/velk/props.md.");
}

std::string refusal(std::string_view what) {
  return std::string(kPrefix) + std::string(what) + " (velk-props --help lists the options)";
}
}  // namespace

PropsRequest parse_props_arguments(std::span<const std::string> arguments) {
  PropsRequest request;
  const auto refuse = [&](std::string message) {
    if (request.refusal.empty()) request.refusal = std::move(message);
  };
  int targets = 0;
  bool limit_given = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto value_of = [&](std::string_view option, std::string& into) {
      const std::string joined = std::string(option) + "=";
      if (argument.starts_with(joined)) {
        into = argument.substr(joined.size());
      } else if (i + 1 < arguments.size()) {
        into = arguments[++i];
      } else {
        refuse(refusal(std::string(option) + " wants a file name"));
      }
      if (into.empty()) refuse(refusal(std::string(option) + " wants a file name"));
    };
    if (argument == "-h" || argument == "--help") {
      request.help = true;
    } else if (argument == "--version") {
      request.version = true;
    } else if (argument == "--wavefunctions") {
      request.wavefunctions = true;
    } else if (argument == "--file" || argument.starts_with("--file=")) {
      value_of("--file", request.level_file);
    } else if (argument == "--wavefunctions-limit" ||
               argument.starts_with("--wavefunctions-limit=")) {
      std::string text;
      value_of("--wavefunctions-limit", text);
      double limit = 0.0;
      const auto result = std::from_chars(text.data(), text.data() + text.size(), limit);
      if (!text.empty() && (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
                            !std::isfinite(limit) || !(limit > 0.0))) {
        refuse(refusal("--wavefunctions-limit wants a size in MB above 0, not '" + text + "'"));
      }
      request.wavefunctions_limit_mb = limit;
      limit_given = true;
    } else if (argument == "--moment" || argument.starts_with("--moment=")) {
      value_of("--moment", request.moment_file);
    } else if (argument.size() > 1 && argument.starts_with('-')) {
      refuse(refusal("unknown option '" + argument + "'"));
    } else {
      ++targets;
      request.target = argument;
    }
  }
  if (targets != 1 ||
      (request.target != "A" && request.target != "B" && request.target != "transitions")) {
    request.usage_error = true;
    return request;
  }
  const bool state = request.target != "transitions";
  if (state && !request.moment_file.empty()) {
    refuse(refusal("--moment goes with transitions"));
  }
  if (!state && (request.wavefunctions || !request.level_file.empty() || limit_given)) {
    refuse(refusal("--file, --wavefunctions and --wavefunctions-limit go with A or B"));
  }
  return request;
}

int run_velk_props(std::span<const std::string> arguments) {
  // The spectrum is a command of its own, with its own options and messages.
  if (!arguments.empty() && arguments[0] == "spectrum") {
    return spectrum::run_spectrum_command(arguments.subspan(1), "velk-props spectrum");
  }
  if (!arguments.empty() && arguments[0] == "fcf") return run_fcf_command(arguments.subspan(1));
  if (!arguments.empty() && arguments[0] == "linelist") {
    return run_linelist_command(arguments.subspan(1));
  }
  if (!arguments.empty() && arguments[0] == "merge") {
    return run_merge_command(arguments.subspan(1));
  }
  const PropsRequest request = parse_props_arguments(arguments);
  if (request.help) {
    print_help();
    std::cout.flush();
    return 0;
  }
  if (request.version) {
    say(std::string("velk-props ") + VELK_VERSION);
    std::cout.flush();
    return 0;
  }
  if (!request.refusal.empty()) {
    std::cerr << request.refusal << '\n';
    return 2;
  }
  if (request.usage_error) {
    print_usage();
    std::cout.flush();
    return 2;
  }
  // The builders' name lines and the solver's progress belong to velk's own record of a run.
  set_console_quiet(true);
  const int status = ending_status<NumericalFailure>(
      {kPrefix, say},
      [&] {
        if (request.target == "transitions") {
          write_transition_properties(request.moment_file);
        } else {
          const char letter = request.target[0];
          write_state_table(
              letter,
              request.level_file.empty() ? std::string(1, letter) + "state.dat"
                                         : request.level_file,
              WaveFunctionRequest{request.wavefunctions, request.wavefunctions_limit_mb});
        }
        return 0;
      },
      " (velk pauses and asks here; velk-props stops)");
  std::cout.flush();
  return status;
}

}  // namespace velk::props
