#include "fit/fit_command.h"

#include <charconv>
#include <iostream>
#include <new>

#include "fit/fit_files.h"
#include "fit/fit_run.h"
#include "fit/observed_lines.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/warning.h"
#include "numlib/failure_policy.h"

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
  say("  fits the parameters named by --free (such as A:beta0-beta13,De or B:Y(1,0),Y(2,0))");
  say("  to the observed lines of DATA.csv, in a working directory with a velk.inf; every");
  say("  parameter not named is held, and each fluorescence series' upper level is fitted.");
  say("options:");
  say("  --free S:NAMES     free parameters of state S (A or B), comma-separated; ranges");
  say("                     such as beta0-beta13; Te shifts the whole state");
  say("  --max-iterations N iteration limit of Levenberg-Marquardt (default 50)");
  say("  --out DIR          the folder of the outputs (default fit)");
  say("  -h, --help         this text;  --version  the version");
  say("exit status: 0 fitted, 1 no convergence, 2 bad arguments or input (nothing written).");
  say("The guide is docs/fit.md in the sources, installed as share/doc/velk/fit.md.");
}

struct Request {
  std::string data;
  std::vector<std::string> free;
  int max_iterations = 50;
  std::string out = "fit";
  bool help = false, version = false;
};

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
  int status = 0;
  try {
    const Request request = parse_arguments(arguments);
    if (request.help) {
      print_help();
      return 0;
    }
    if (request.version) {
      say(std::string("velk-fit ") + VELK_VERSION);
      return 0;
    }
    status = fit(request);
  } catch (const StopRun& stop) {
    say(in_own_name(kPrefix, stop.what()));
    status = 1;
  } catch (const NumericalFailure& failure) {
    say(in_own_name(kPrefix, failure.what()));
    status = 1;
  } catch (const InputError& error) {
    say(in_own_name(kPrefix, error.what()));
    status = 2;
  } catch (const std::bad_alloc&) {
    say("velk-fit: out of memory");
    status = 3;
  } catch (const std::exception& error) {
    say(std::string("velk-fit: internal error: ") + error.what());
    status = 3;
  }
  return status;
}

}  // namespace velk::fit
