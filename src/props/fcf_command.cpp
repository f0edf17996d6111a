#include "props/fcf_command.h"

#include <charconv>
#include <exception>
#include <iostream>
#include <new>
#include <optional>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "numlib/failure_policy.h"
#include "numlib/isotopes.h"
#include "props/fcf_table.h"
#include "props/props_files.h"

namespace velk::props {
namespace {

void print_fcf_help() {
  say("usage: velk-props fcf --J J [--v-upper V1 V2] [--v-lower V1 V2] [--isotopologue NAME]");
  say("  in the working directory of a finished velk run: the Franck-Condon factors and");
  say("  r-centroids of the levels v' of state B and v'' of state A at J' = J'' = J");
  say("  -> fcf_table.csv and rcentroid_table.csv (first row v'' then the v', one row per v'')");
  say("  --v-upper V1 V2   the v' of state B (default: those Bstate.dat lists at J)");
  say("  --v-lower V1 V2   the v'' of state A (default: those Astate.dat lists at J)");
  say("  --isotopologue NAME  the reduced mass of a molecule such as 23Na2, 6Li7Li or");
  say("                    1H35Cl for both curves, in place of velk.inf's mass index");
}

std::optional<int32_t> whole_number(const std::string& text) {
  int32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

struct FcfArguments {
  FcfRequest request;
  bool help = false;
  std::string refusal;
};

FcfArguments parse_fcf_arguments(std::span<const std::string> arguments) {
  FcfArguments parsed;
  bool J_given = false;
  const auto refuse = [&](const std::string& why) {
    if (parsed.refusal.empty()) {
      parsed.refusal = std::string(kPrefix) + "fcf: " + why + " (velk-props fcf --help)";
    }
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto next = [&](std::string_view what) -> std::optional<int32_t> {
      if (i + 1 >= arguments.size()) {
        refuse(argument + " wants " + std::string(what));
        return std::nullopt;
      }
      const std::optional<int32_t> value = whole_number(arguments[++i]);
      if (!value)
        refuse(argument + " wants " + std::string(what) + ", found '" + arguments[i] + "'");
      return value;
    };
    if (argument == "-h" || argument == "--help") {
      parsed.help = true;
    } else if (argument == "--J") {
      if (const auto J = next("a whole number J >= 0")) parsed.request.J = *J;
      J_given = true;
    } else if (argument == "--v-upper" || argument == "--v-lower") {
      const auto first = next("two whole numbers V1 <= V2");
      const auto last = first ? next("two whole numbers V1 <= V2") : std::nullopt;
      if (first && last && *first > *last) {
        refuse(argument + " wants V1 <= V2, found " + std::to_string(*first) + " " +
               std::to_string(*last));
      } else if (first && last) {
        (argument == "--v-upper" ? parsed.request.upper : parsed.request.lower) =
            VRange{*first, *last};
      }
    } else if (argument == "--isotopologue") {
      if (i + 1 >= arguments.size()) {
        refuse("--isotopologue wants a name such as 23Na2");
      } else if (const IsotopologueLookup found = parse_isotopologue(arguments[++i]);
                 found.isotopologue) {
        parsed.request.reduced_mass = reduced_mass_of(*found.isotopologue);
      } else {
        refuse("--isotopologue: " + found.error);
      }
    } else {
      refuse("unknown argument '" + argument + "'");
    }
  }
  if (!J_given && !parsed.help) refuse("--J J is required");
  return parsed;
}

}  // namespace

int run_fcf_command(std::span<const std::string> arguments) {
  const FcfArguments parsed = parse_fcf_arguments(arguments);
  if (parsed.help) {
    print_fcf_help();
    std::cout.flush();
    return 0;
  }
  if (!parsed.refusal.empty()) {
    std::cerr << parsed.refusal << '\n';
    return 2;
  }
  set_console_quiet(true);
  const int status = ending_status<NumericalFailure>(
      {kPrefix, say},
      [&] {
        write_fcf_tables(parsed.request);
        return 0;
      },
      " (velk pauses and asks here; velk-props stops)");
  std::cout.flush();
  return status;
}

}  // namespace velk::props
