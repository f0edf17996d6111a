#include "rkr/rkr_command.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <sstream>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/output_file.h"
#include "numlib/failure_policy.h"
#include "numlib/isotopes.h"
#include "pec/curve_definition.h"
#include "rkr/rkr_check.h"
#include "rkr/rkr_constants.h"
#include "run/dunham.h"
#include "run/output_names.h"

#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk::rkr {
namespace {

constexpr std::string_view kPrefix = "velk-rkr: ";

void say(std::string_view text) {
  std::cout << text << '\n';
}

void print_usage() {
  say("usage: velk-rkr DUNHAM_FILE (--masses M1 M2 | --isotopologue NAME) [--v-max V] [--dv STEP]");
  say("                [--out FILE.pot] [--te] [--tail-power N] [--order N] [--check]");
}

void print_help() {
  print_usage();
  say("  turns the constants of a Dunham file (either form) into a pointwise potential file");
  say("  that velk reads, by the first-order RKR inversion.");
  say("options:");
  say("  --masses M1 M2   the two atomic masses, in u or as isotope names (23Na, 35Cl, D);");
  say("                   the header holds their reduced mass");
  say("  --isotopologue NAME  the molecule, such as 23Na2, 23Na35Cl or (7Li)(133Cs), for both");
  say("  --v-max V        the highest v of the curve (default: the last band row, or the");
  say("                   highest v whose spacing dG/dv is still 5 % of the first)");
  say("  --dv STEP        the step of the mesh of v (default: the finest of 0.1, 0.2, 0.25,");
  say("                   0.5, 1, 2 within the 500 points of a potential file)");
  say("  --out FILE       the potential file (default: the Dunham file's name, _rkr.pot)");
  say("  --te             Y(0,0) is Te: the curve's minimum lies at Y(0,0), not at 0");
  say("  --tail-power N   the power of the long-range tail D - C_N/R^N (default 6)");
  say("  --order N        Gauss-Legendre points per turning-point integral (default 64)");
  say("  --check          solve the written curve with velk's exact search and compare its");
  say("                   levels with the constants' term values");
  say("  -h, --help       this text;  --version  the version");
  say("exit status: 0 written, 1 a curve no potential file can hold or a stop of the check,");
  say("  2 bad arguments or a missing or malformed Dunham file (nothing written), 3 internal.");
  say("The guide is docs/rkr.md in the sources, installed as share/doc/velk/rkr.md.");
}

std::string refusal(std::string_view what) {
  return std::string(kPrefix) + std::string(what) + " (velk-rkr --help lists the options)";
}

std::optional<double> number(const std::string& text) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

std::string default_output(const std::string& dunham_file) {
  return std::filesystem::path(dunham_file).stem().string() + "_rkr.pot";
}

std::string figure(double value, int digits = 6) {
  std::ostringstream out;
  out.precision(digits);
  out << value;
  return out.str();
}

std::string fixed(double value, int decimals) {
  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(decimals);
  out << value;
  return out.str();
}

void report(const RkrRequest& request, const RkrCurve& curve, const RkrConstants& constants) {
  say(std::string(kPrefix) + "wrote " + request.out_file + ": " + std::to_string(curve.R.size()) +
      " points (" + std::to_string(curve.wall_points) + " on the exponential wall, " +
      std::to_string(curve.mesh.size()) + " energies from v = -1/2 to " +
      figure(curve.u_max - 0.5) + " in steps of " + figure(curve.dv) + ")");
  say("  reduced mass " + figure(curve.mu, 10) + " u, Re = " + fixed(curve.Re, 6) +
      " A, energy of the minimum " + figure(curve.U_min, 10) + " cm-1");
  if (constants.fit) {
    const BandFitReport& f = *constants.fit;
    say("  band constants v = 0 to " + std::to_string(f.rows - 1) +
        " smoothed in v + 1/2: T degree " + std::to_string(f.T.degree) + " (rms " +
        figure(f.T.rms, 3) + ", worst " + figure(f.T.worst, 3) + " cm-1), B degree " +
        std::to_string(f.B.degree) + " (rms " + figure(f.B.rms, 3) + ", worst " +
        figure(f.B.worst, 3) + " cm-1); T(-1/2) = " + figure(constants.Y00, 10) + " cm-1");
  }
  if (curve.u_turnover) {
    say("  G(v) of the constants stops increasing at v = " + figure(*curve.u_turnover - 0.5));
  }
  const LongRangeTail& t = curve.tail;
  say("  long-range tail D - C" + std::to_string(t.power) + "/R^" + std::to_string(t.power) +
      " through the two highest outer points: D = " + figure(t.asymptote, 10) + " cm-1, C" +
      std::to_string(t.power) + " = " + figure(t.C, 8) + " cm-1 A^" + std::to_string(t.power) +
      " (velk fits C" + std::to_string(t.power) + " again over R = " + fixed(t.Rfit1, 4) + " to " +
      fixed(t.Rfit2, 4) + " A)");
  say("  suggested grid (velk.inf): " + fixed(curve.grid.Rmin, 4) + " " +
      fixed(curve.grid.Rmax, 4) + " " + std::to_string(curve.grid.N));
}

void print_round_trip(const RoundTrip& trip, const RkrConstants& constants) {
  say(std::string(kPrefix) + "round trip: the exact search on " + figure(trip.grid.Rmin) + " " +
      figure(trip.grid.Rmax) + " " + std::to_string(trip.grid.N) +
      ", J = " + std::to_string(trip.J) + ", tolerance " + figure(kRoundTripTolerance) + " cm-1");
  say("    v     G(v) constants     level of curve     difference");
  double worst = 0.0;
  int missing = 0;
  for (const RoundTripLevel& level : trip.levels) {
    const double difference = level.from_curve - level.from_constants;
    std::string line = std::to_string(level.v);
    line.insert(0, 5 - std::min<std::size_t>(line.size(), 5), ' ');
    const auto column = [&](const std::string& text) {
      line += std::string(19 - std::min<std::size_t>(text.size(), 18), ' ') + text;
    };
    column(fixed(level.from_constants, 6));
    if (std::isnan(level.from_curve)) {
      ++missing;
      column("not found");
    } else {
      column(fixed(level.from_curve, 6));
      column(fixed(difference, 6));
      worst = std::max(worst, std::fabs(difference));
    }
    say(line);
  }
  say("  largest |difference| " + figure(worst, 3) + " cm-1" +
      (missing ? ", " + std::to_string(missing) + " level(s) not found" : std::string()) +
      "; Dunham's Y00 of the constants " + figure(dunham_y00_estimate(constants), 4) +
      " cm-1 (the difference to expect when Y(0,0) holds Te)");
}

}  // namespace

RkrRequest parse_rkr_arguments(std::span<const std::string> arguments) {
  RkrRequest request;
  const auto refuse = [&](std::string message) {
    if (request.refusal.empty()) request.refusal = refusal(message);
  };
  int files = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto next_number = [&](const std::string& option) -> std::optional<double> {
      if (i + 1 >= arguments.size()) {
        refuse(option + " wants a number");
        return std::nullopt;
      }
      const std::string& text = arguments[++i];
      const std::optional<double> value = number(text);
      if (!value) refuse(option + " wants a number, found '" + text + "'");
      return value;
    };
    const auto next_whole = [&](const std::string& option, int& into) {
      const std::optional<double> value = next_number(option);
      if (value && (*value != std::floor(*value) || std::fabs(*value) > 1e6)) {
        refuse(option + " wants a whole number, found " + arguments[i]);
      } else if (value) {
        into = static_cast<int>(*value);
      }
    };
    if (argument == "-h" || argument == "--help") {
      request.help = true;
    } else if (argument == "--version") {
      request.version = true;
    } else if (argument == "--masses") {
      // Each mass a number (u) or an isotope name such as 23Na.
      for (double* mass : {&request.options.mass1, &request.options.mass2}) {
        if (i + 1 >= arguments.size()) {
          refuse("--masses wants two atomic masses (u) or isotope names");
          break;
        }
        const MassLookup found = atomic_mass_from_text(arguments[++i]);
        if (!found.error.empty()) refuse("--masses: " + found.error);
        *mass = found.mass;
      }
      request.masses_given = true;
    } else if (argument == "--isotopologue") {
      if (i + 1 >= arguments.size()) {
        refuse("--isotopologue wants a name such as 23Na2 or 1H35Cl");
      } else {
        const IsotopologueLookup found = parse_isotopologue(arguments[++i]);
        if (!found.isotopologue) {
          refuse("--isotopologue: " + found.error);
        } else {
          request.options.mass1 = found.isotopologue->atoms[0]->mass;
          request.options.mass2 = found.isotopologue->atoms[1]->mass;
        }
      }
      request.masses_given = true;
    } else if (argument == "--v-max") {
      request.options.v_max = next_number(argument);
    } else if (argument == "--dv") {
      request.options.dv = next_number(argument);
    } else if (argument == "--out") {
      if (i + 1 < arguments.size() && !arguments[i + 1].empty()) {
        request.out_file = arguments[++i];
      } else {
        refuse("--out wants a file name");
      }
    } else if (argument == "--te") {
      request.options.with_te = true;
    } else if (argument == "--check") {
      request.check = true;
    } else if (argument == "--tail-power") {
      next_whole(argument, request.options.tail_power);
    } else if (argument == "--order") {
      next_whole(argument, request.options.order);
    } else if (argument.size() > 1 && argument.starts_with('-')) {
      refuse("unknown option '" + argument + "'");
    } else {
      ++files;
      request.dunham_file = argument;
    }
  }
  if (request.help || request.version) return request;
  if (files != 1) refuse(files == 0 ? "no Dunham file given" : "more than one Dunham file given");
  if (!request.masses_given) refuse("--masses M1 M2 or --isotopologue NAME is required");
  if (request.out_file.empty() && !request.dunham_file.empty()) {
    request.out_file = default_output(request.dunham_file);
  }
  request.options.source_name = request.dunham_file;
  return request;
}

int run_velk_rkr(std::span<const std::string> arguments) {
  const RkrRequest request = parse_rkr_arguments(arguments);
  if (request.help) {
    print_help();
    std::cout.flush();
    return 0;
  }
  if (request.version) {
    say(std::string("velk-rkr ") + VELK_VERSION);
    std::cout.flush();
    return 0;
  }
  if (!request.refusal.empty()) {
    std::cerr << request.refusal << '\n';
    print_usage();
    std::cout.flush();
    return 2;
  }
  // The level service's progress lines belong to velk's own record of a run.
  set_console_quiet(true);
  const int status = ending_status<NumericalFailure>(
      {kPrefix, say},
      [&] {
        if (names_same_file(request.dunham_file, request.out_file)) {
          throw InputError(std::string(kPrefix) + "the output " + request.out_file +
                           " is the Dunham file itself and would be overwritten");
        }
        const DunhamCoefficients file_constants = read_dunham_file(request.dunham_file);
        const RkrConstants constants = rkr_constants(file_constants, request.dunham_file);
        const RkrCurve curve = build_rkr_curve(constants, request.options);
        std::vector<std::string> warnings = curve.warnings;
        for (const float q : file_constants.qtab) {
          if (q != 0.0f) {
            warnings.push_back("the parity coefficients of " + request.dunham_file +
                               " are not carried into the curve (its q1 and q2 are 0)");
            break;
          }
        }
        for (const std::string& warning : warnings) {
          std::cerr << kPrefix << "warning: " << warning << '\n';
        }
        const std::string text = rkr_file_text(curve, constants, request.options);
        OutputFile out(request.out_file);
        std::size_t start = 0;
        while (start < text.size()) {
          const std::size_t end = text.find('\n', start);
          out.line(std::string_view(text).substr(start, end - start));
          start = end + 1;
        }
        out.close();
        report(request, curve, constants);
        if (request.check) {
          print_round_trip(round_trip(read_curve_definition(request.out_file), curve, constants),
                           constants);
        }
        return 0;
      },
      " (velk pauses and asks here; velk-rkr stops)");
  std::cout.flush();
  return status;
}

}  // namespace velk::rkr
