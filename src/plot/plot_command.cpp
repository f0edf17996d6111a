#include "plot/plot_command.h"

#include <exception>
#include <iostream>
#include <new>
#include <string_view>

#include "io/console.h"
#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/output_file.h"
#include "plot/level_plot.h"
#include "plot/plot_files.h"
#include "plot/spectrum_plot.h"
#include "plot/state_inputs.h"

namespace velk::plot {
namespace {

constexpr std::string_view kPrefix = "velk-plot: ";

void print_usage() {
  console_line("usage: velk-plot A | B | transitions");
  console_line("  run in the working directory of a finished velk run:");
  console_line(
      "  velk-plot A            curve of state A with the levels of Astate.dat -> plot_A.svg");
  console_line(
      "  velk-plot B            curve of state B with the levels of Bstate.dat -> plot_B.svg");
  console_line(
      "  velk-plot transitions  the lines of vel_tran.out as a stick spectrum -> "
      "plot_transitions.svg");
}

void write_picture(const std::string& file, const std::string& svg) {
  OutputFile out(file);
  // The text already ends with its line end; the writer adds one per line it is given.
  out.line(std::string_view(svg).substr(0, svg.size() - (svg.ends_with('\n') ? 1 : 0)));
  out.close();
}

void plot_state(char letter) {
  const std::string level_file = letter == 'A' ? "Astate.dat" : "Bstate.dat";
  require_run_file(level_file, "run velk first");
  require_run_file("velk.inf", "run velk-plot in the working directory of a velk run");
  const StateInputs states = read_state_inputs("velk.inf");
  const StateInput& state = letter == 'A' ? states.A : states.B;
  const std::string data_file = trimmed_file_name(state.file);
  const LevelFileData levels = read_level_file(level_file);
  if (!levels.data_file.empty() && levels.data_file != data_file) {
    console_line(std::string(kPrefix) + "note: " + level_file + " was computed from " +
                 levels.data_file + ", while velk.inf now names " + data_file);
  }
  const std::string picture = std::string("plot_") + letter + ".svg";
  if (state.kind == 'd') {
    write_picture(picture, level_plot_svg({letter, data_file, &levels, nullptr}));
    console_line(std::string(kPrefix) + "wrote " + picture +
                 " (Dunham state: levels against J, no potential curve)");
    return;
  }
  const PotentialCurve curve = build_potential_curve(state);
  write_picture(picture, level_plot_svg({letter, data_file, &levels, &curve}));
  console_line(std::string(kPrefix) + "wrote " + picture);
}

void plot_transitions() {
  const TransitionFileData data = read_transition_file("vel_tran.out");
  const std::string picture = "plot_transitions.svg";
  write_picture(picture, spectrum_plot_svg(data));
  console_line(std::string(kPrefix) + "wrote " + picture);
}

// The shared layers name the program "velk:"; here the messages speak for velk-plot.
std::string own_message(std::string_view message) {
  if (message.starts_with(kPrefix)) return std::string(message);
  if (message.starts_with("velk: ")) message.remove_prefix(6);
  return std::string(kPrefix) + std::string(message);
}

}  // namespace

int run_velk_plot(std::span<const std::string> arguments) {
  if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
    print_usage();
    return 0;
  }
  if (arguments.size() != 1 ||
      (arguments[0] != "A" && arguments[0] != "B" && arguments[0] != "transitions")) {
    print_usage();
    std::cout.flush();
    return 2;
  }
  int status = 0;
  try {
    if (arguments[0] == "transitions") {
      plot_transitions();
    } else {
      plot_state(arguments[0][0]);
    }
  } catch (const StopRun& stop) {
    console_line(own_message(stop.what()));
    status = 1;
  } catch (const InputError& error) {
    console_line(own_message(error.what()));
    status = 2;
  } catch (const std::bad_alloc&) {
    console_line(std::string(kPrefix) + "out of memory");
    status = 3;
  } catch (const std::exception& error) {
    console_line(std::string(kPrefix) + "internal error: " + error.what());
    status = 3;
  }
  std::cout.flush();
  return status;
}

}  // namespace velk::plot
