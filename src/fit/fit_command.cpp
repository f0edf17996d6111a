#include "fit/fit_command.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <new>
#include <optional>

#include "fit/fit_files.h"
#include "fit/fit_run.h"
#include "fit/observed_lines.h"
#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/thread_count.h"
#include "io/warning.h"
#include "numlib/failure_policy.h"
#include "run/command_line.h"

#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk::fit {
namespace {

constexpr std::string_view kPrefix = "velk-fit: ";

void say(std::string_view text) {
  std::cout << text << '\n';
}

void print_help() {
  say("usage: velk-fit DATA.csv --free STATE:NAMES [--free ...] [--max-iterations N] [--out DIR]");
  say("                [--round [FRACTION]] [--robust] [--threads N]");
  say("  fits the parameters named by --free (such as A:beta0-beta13,De or B:Y(1,0),Y(2,0))");
  say("  to the observed lines of DATA.csv, in a working directory with a velk.inf; every");
  say("  parameter not named is held, and each fluorescence series' upper level is fitted.");
  say("options:");
  say("  --free S:NAMES     free parameters of state S (A or B), comma-separated; ranges");
  say("                     such as beta0-beta13; Te shifts the whole state");
  say("  --max-iterations N iteration limit of Levenberg-Marquardt (default 50)");
  say("  --out DIR          the folder of the outputs (default fit)");
  say("  --isotopologue NAME  the reduced mass of a molecule such as 23Na2 or 1H35Cl in place");
  say("                     of the curves' mass of velk.inf's mass index");
  say("  --round [F]        round the free parameters one at a time, least determined first,");
  say("                     to the fewest digits that raise the dimensionless standard");
  say("                     deviation by less than the fraction F (default 0.001), refitting");
  say("                     the others after each step");
  say("  --robust           Watson's robust weights 1/(u^2 + (obs - calc)^2/3), iterated");
  say("  --threads N        compute the levels on N threads (1 to 256; default: one per");
  say("                     core); the files and messages are the same for every N");
  say("  -h, --help         this text;  --version  the version");
  say("exit status: 0 fitted, 1 no convergence, 2 bad arguments or input (nothing written).");
  say("The guide is docs/fit.md in the sources, installed as share/doc/velk/fit.md.");
}

struct Request {
  std::string data;
  std::vector<std::string> free;
  int max_iterations = 50;
  std::string out = "fit";
  std::string isotopologue;
  bool help = false, version = false;
  bool robust = false;
  std::optional<double> round;  // the allowed rise of σ̄, when rounding
  int threads = 0;              // 0: one per core
};

constexpr double kDefaultRoundingFraction = 0.001;

std::optional<double> positive_number(const std::string& text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value > 0.0) ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

Request parse_arguments(const std::vector<std::string>& arguments) {
  Request request;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= arguments.size()) throw InputError("velk-fit: " + a + " needs a value");
      return arguments[++i];
    };
    if (a == "-h" || a == "--help") {
      request.help = true;
    } else if (a == "--version") {
      request.version = true;
    } else if (a == "--free") {
      request.free.push_back(value());
    } else if (a == "--isotopologue") {
      request.isotopologue = value();
      isotopologue_named(request.isotopologue);
    } else if (a == "--robust") {
      request.robust = true;
    } else if (a == "--round") {
      // The fraction is optional: a following argument that is not a number is the next one's.
      request.round = kDefaultRoundingFraction;
      if (i + 1 < arguments.size() && !arguments[i + 1].starts_with("-")) {
        const std::string& text = arguments[i + 1];
        const bool numeric = text.find_first_not_of("0123456789.eE+-") == std::string::npos;
        if (numeric) {
          const auto fraction = positive_number(text);
          if (!fraction || *fraction >= 1.0) {
            throw InputError("velk-fit: --round: expected a fraction between 0 and 1, found \"" +
                             text + "\"");
          }
          request.round = *fraction;
          ++i;
        }
      }
    } else if (a == "--threads" || a.starts_with("--threads=")) {
      const std::string text =
          a == "--threads" ? value() : a.substr(std::string("--threads=").size());
      request.threads = thread_count(text);
      if (request.threads == 0) {
        throw InputError(
            "velk-fit: --threads: thread count must be a whole number from 1 to 256, not \"" +
            text + "\"");
      }
    } else if (a == "--out") {
      request.out = value();
    } else if (a == "--max-iterations") {
      const std::string& text = value();
      int n = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
      if (error != std::errc() || end != text.data() + text.size() || n < 1) {
        throw InputError("velk-fit: --max-iterations: expected a positive integer, found \"" +
                         text + "\"");
      }
      request.max_iterations = n;
    } else if (a.starts_with("-")) {
      throw InputError("velk-fit: unknown option " + a);
    } else if (request.data.empty()) {
      request.data = a;
    } else {
      throw InputError("velk-fit: one data file only; found " + request.data + " and " + a);
    }
  }
  if (request.help || request.version) return request;
  if (request.data.empty())
    throw InputError("velk-fit: name the data file (velk-fit DATA.csv --free ...)");
  if (request.free.empty()) throw InputError("velk-fit: name the free parameters with --free");
  return request;
}

int fit(const Request& request) {
  FitRequest fit_request;
  fit_request.data_name = request.data;
  fit_request.free = request.free;
  fit_request.max_iterations = request.max_iterations;
  fit_request.isotopologue = request.isotopologue;
  fit_request.robust = request.robust;
  fit_request.round = request.round;
  fit_request.threads = threads_or_one_per_core(request.threads);
  const FitOutcome outcome = fit_observed_lines(read_observed_lines(request.data), fit_request);
  if (!outcome.result.converged) {
    say(non_convergence_message(outcome, request.max_iterations));
    return 1;
  }
  write_fit_files(request.out, outcome.files);
  for (const std::string& w : outcome.warnings) std::cerr << "velk-fit: warning: " << w << '\n';
  say("velk-fit: " + std::to_string(outcome.rows.size()) + " lines, " +
      std::to_string(outcome.free.size()) + " free parameters, " +
      std::to_string(outcome.result.iterations) + " iterations, dimensionless standard deviation " +
      exact_text(outcome.result.sigma));
  say("velk-fit: written to " + request.out + "/");
  return 0;
}

}  // namespace

int run_velk_fit(const std::vector<std::string>& arguments) {
  set_warning_program("velk-fit");
  // The builders' and the level service's progress lines are not this program's output.
  set_console_quiet(true);
  return ending_status<NumericalFailure>({kPrefix, say}, [&] {
    const Request request = parse_arguments(arguments);
    if (request.help) {
      print_help();
      return 0;
    }
    if (request.version) {
      say(std::string("velk-fit ") + VELK_VERSION);
      return 0;
    }
    return fit(request);
  });
}

}  // namespace velk::fit
