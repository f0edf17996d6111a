#include "plot/plot_command.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

#include "io/command_status.h"
#include "io/console.h"
#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/output_file.h"
#include "plot/intensity_plot.h"
#include "plot/level_plot.h"
#include "plot/picture_layout.h"
#include "plot/plot_files.h"
#include "plot/residual_page.h"
#include "plot/residual_plot.h"
#include "plot/residual_table.h"
#include "plot/spectrum_page.h"
#include "plot/spectrum_plot.h"
#include "plot/state_inputs.h"
#include "plot/wavefunction_table.h"

// The build passes the project's version; builds that never print it (the fuzz harnesses, which
// compile these sources on their own) go without.
#ifndef VELK_VERSION
#define VELK_VERSION "(version not given to this build)"
#endif

namespace velk::plot {
namespace {

constexpr std::string_view kPrefix = "velk-plot: ";

void print_usage() {
  console_line("usage: velk-plot A | B | transitions");
  console_line("       velk-plot residuals [FILE]");
  console_line("  run in the working directory of a finished velk run:");
  console_line(
      "  velk-plot A            curve of state A with the levels of Astate.dat -> plot_A.svg");
  console_line(
      "  velk-plot B            curve of state B with the levels of Bstate.dat -> plot_B.svg");
  console_line(
      "  velk-plot transitions  the lines of vel_tran.out as a stick spectrum -> "
      "plot_transitions.svg");
  console_line(
      "                         (the simulated spectrum once velk-props spectrum has run)");
  console_line(
      "  velk-plot residuals [FILE]  velk-fit's normalised residuals against J -> residuals.svg");
  console_line("                         (FILE defaults to fit/fit_residuals.csv)");
}

void print_help() {
  print_usage();
  console_line("options:");
  console_line("  --labels          write each level's v beside its line (A, B)");
  console_line("  --wavefunctions   draw each level's wave function on its line, from the");
  console_line("                    Astate_wf.csv (Bstate_wf.csv) of velk-props --wavefunctions");
  console_line("  --hide-not-found  leave out the levels the solver did not find, which are");
  console_line("                    otherwise drawn dashed grey (A, B)");
  console_line("  --size WxH        picture of W x H pixels (default 1000x600, at least 700x400)");
  console_line("  --observed FILE   a measured spectrum (two columns: wavenumber, intensity)");
  console_line("                    over the simulated one (transitions)");
  console_line("  --html            also the interactive page spectrum.html: zoom, a card per");
  console_line("                    line, assignment of observed peaks (transitions); or");
  console_line("                    residuals.html: zoom, a card per point (residuals)");
  console_line("  -h, --help        this text");
  console_line("      --version     the version");
  console_line("exit status: 0 picture written, 1 a builder stopped on the potential file,");
  console_line("  2 a missing or malformed file or bad arguments, 3 internal error.");
  console_line("The guide is docs/plotting.md in the sources, installed as");
  console_line("share/doc/velk/plotting.md.");
}

std::string refusal(std::string_view what) {
  return std::string(kPrefix) + std::string(what) + " (velk-plot --help lists the options)";
}

std::string size_refusal(std::string_view value) {
  return refusal("--size wants WIDTHxHEIGHT in whole pixels from 700x400 to 20000x20000, not '" +
                 std::string(value) + "'");
}

void write_picture(const std::string& file, const std::string& svg) {
  OutputFile out(file);
  // The text already ends with its line end; the writer adds one per line it is given.
  out.line(std::string_view(svg).substr(0, svg.size() - (svg.ends_with('\n') ? 1 : 0)));
  out.close();
}

void plot_state(char letter, const LevelDrawing& drawing, bool wavefunctions) {
  const std::string level_file = letter == 'A' ? "Astate.dat" : "Bstate.dat";
  require_run_file(level_file, "run velk first");
  require_run_file("velk.inf", "run velk-plot in the working directory of a velk run");
  const StateInputs states = read_state_inputs("velk.inf");
  const StateInput& state = letter == 'A' ? states.A : states.B;
  const std::string data_file = trimmed_file_name(state.file);
  const std::string picture = std::string("plot_") + letter + ".svg";
  const std::string outputs[] = {picture};
  refuse_input_named_like_output(kProgram, "the data file of state " + std::string(1, letter),
                                 state.file, outputs);
  refuse_input_named_like_output(kProgram, "the level file", level_file, outputs);
  const LevelFileData levels = read_level_file(level_file);
  if (!levels.data_file.empty() && levels.data_file != data_file) {
    console_line(std::string(kPrefix) + "note: " + level_file + " was computed from " +
                 levels.data_file + ", while velk.inf now names " + data_file);
  }
  const std::optional<double> tolerance = read_run_tolerance("velk.inf");
  if (state.kind == 'd' && wavefunctions) {
    throw InputError(std::string(kPrefix) + "state " + letter + " (" + data_file +
                     ") is given by Dunham coefficients: it has no wave functions to draw");
  }
  if (state.kind == 'd') {
    write_picture(picture,
                  level_plot_svg({letter, data_file, &levels, nullptr}, drawing, tolerance));
    console_line(std::string(kPrefix) + "wrote " + picture +
                 " (Dunham state: levels against J, no potential curve)");
    return;
  }
  std::optional<WaveFunctionTable> waves;
  if (wavefunctions) waves = read_wavefunction_table(std::string(1, letter) + "state_wf.csv");
  const PotentialCurve curve = build_potential_curve(state);
  write_picture(picture,
                level_plot_svg({letter, data_file, &levels, &curve, waves ? &*waves : nullptr},
                               drawing, tolerance));
  console_line(std::string(kPrefix) + "wrote " + picture);
}

constexpr const char* kPage = "spectrum.html";

void plot_simulated_spectrum(const IntensityLines& lines, const std::string& observed_file,
                             PictureSize size, bool html) {
  std::optional<TransitionFileData> transitions;
  if (std::filesystem::exists("vel_tran.out"))
    transitions = read_transition_file("vel_tran.out", kProgram);
  std::optional<Curve> envelope;
  if (std::filesystem::exists("spectrum.csv")) envelope = read_two_column_file("spectrum.csv");
  std::optional<Curve> observed;
  if (!observed_file.empty()) observed = read_two_column_file(observed_file);
  // The page is made before anything is written, so that a missing library leaves no file.
  std::string page;
  if (html) {
    const LineListFile table = read_line_list_file(lines.file_name, kProgram);
    page = spectrum_page_html({lines.file_name + ": simulated spectrum", &table,
                               envelope ? &*envelope : nullptr, observed ? &*observed : nullptr});
  }
  const std::string picture = "plot_transitions.svg";
  write_picture(picture, intensity_plot_svg(
                             {&lines, transitions ? &*transitions : nullptr,
                              envelope ? &*envelope : nullptr, observed ? &*observed : nullptr},
                             size));
  console_line(std::string(kPrefix) + "wrote " + picture + " (simulated spectrum of " +
               lines.file_name + ")");
  if (html) {
    write_picture(kPage, page);
    console_line(std::string(kPrefix) + "wrote " + kPage);
  }
}

// vel_tran.csv belongs to the run whose vel_tran.out it was made from: a later run of velk
// writes a new vel_tran.out, and the intensities of the old list would be drawn as the new one's.
bool line_list_older_than_run() {
  std::error_code error;
  const auto csv = std::filesystem::last_write_time("vel_tran.csv", error);
  if (error) return false;
  const auto out = std::filesystem::last_write_time("vel_tran.out", error);
  return !error && out > csv;
}

void plot_transitions(PictureSize size, const std::string& observed_file, bool html) {
  const std::string outputs[] = {"plot_transitions.svg", kPage};
  if (!observed_file.empty()) {
    refuse_input_named_like_output(kProgram, "the observed spectrum", observed_file, outputs);
  }
  if (const std::optional<IntensityLines> lines = read_intensity_lines("vel_tran.csv")) {
    if (!line_list_older_than_run()) {
      plot_simulated_spectrum(*lines, observed_file, size, html);
      return;
    }
    console_line(std::string(kPrefix) +
                 "note: vel_tran.csv is older than vel_tran.out, which a later run wrote; its "
                 "intensities are not drawn (run velk-props transitions and spectrum again)");
  }
  if (html) {
    throw InputError(std::string(kPrefix) +
                     "--html shows a simulated spectrum: vel_tran.csv holds no intensities; run "
                     "velk-props spectrum first");
  }
  if (!observed_file.empty()) {
    throw InputError(std::string(kPrefix) +
                     "--observed is drawn over a simulated spectrum: vel_tran.csv holds no "
                     "intensities; run velk-props spectrum first");
  }
  TransitionFileData data = read_transition_file("vel_tran.out", kProgram);
  // Which level of a known-level run is the upper one follows from velk.inf; without it the
  // lines keep the order of the file.
  if (!data.known_run_data_file.empty() && std::filesystem::is_regular_file("velk.inf")) {
    orient_known_level(data, trimmed_file_name(read_state_inputs("velk.inf").A.file));
  }
  const std::string picture = "plot_transitions.svg";
  write_picture(picture, spectrum_plot_svg(data, size));
  console_line(std::string(kPrefix) + "wrote " + picture);
}

void plot_residuals(const std::string& file, PictureSize size, bool html) {
  const std::string picture = "residuals.svg";
  const std::string page_file = "residuals.html";
  const std::string outputs[] = {picture, page_file};
  refuse_input_named_like_output(kProgram, "the residual file", file, outputs);
  require_run_file(file, "run velk-fit first, or name the fit_residuals.csv to draw");
  const ResidualTable table = read_residual_table(file);
  // The page is made before anything is written, so that a missing library leaves no file.
  const std::string page = html ? residual_page_html(table) : std::string();
  write_picture(picture, residual_plot_svg(table, size));
  console_line(std::string(kPrefix) + "wrote " + picture);
  if (html) {
    write_picture(page_file, page);
    console_line(std::string(kPrefix) + "wrote " + page_file);
  }
}

}  // namespace

PlotRequest parse_plot_arguments(std::span<const std::string> arguments) {
  PlotRequest request;
  const auto refuse = [&](std::string message) {
    if (request.refusal.empty()) request.refusal = std::move(message);
  };
  int pictures = 0;
  bool residual_file_named = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-h" || argument == "--help") {
      request.help = true;
    } else if (argument == "--version") {
      request.version = true;
    } else if (argument == "--labels") {
      request.drawing.v_labels = true;
    } else if (argument == "--wavefunctions") {
      request.wavefunctions = true;
    } else if (argument == "--hide-not-found") {
      request.drawing.hide_not_found = true;
    } else if (argument == "--size" || argument.starts_with("--size=")) {
      const bool joined = argument != "--size";
      if (!joined && i + 1 == arguments.size()) {
        refuse(size_refusal(""));
        continue;
      }
      const std::string value = joined ? argument.substr(7) : arguments[++i];
      if (const auto size = parse_picture_size(value)) {
        request.drawing.size = *size;
      } else {
        refuse(size_refusal(value));
      }
    } else if (argument == "--observed" || argument.starts_with("--observed=")) {
      const bool joined = argument != "--observed";
      if (!joined && i + 1 == arguments.size()) {
        refuse(refusal("--observed wants the name of a file of two columns"));
        continue;
      }
      request.observed = joined ? argument.substr(11) : arguments[++i];
      if (request.observed.empty()) {
        refuse(refusal("--observed wants the name of a file of two columns"));
      }
    } else if (argument == "--html") {
      request.html = true;
    } else if (argument.size() > 1 && argument.starts_with('-')) {
      refuse(refusal("unknown option '" + argument + "'"));
    } else if (pictures == 1 && request.picture == "residuals" && !residual_file_named) {
      request.residuals = argument;
      residual_file_named = true;
    } else {
      ++pictures;
      request.picture = argument;
    }
  }
  if (pictures != 1 || (request.picture != "A" && request.picture != "B" &&
                        request.picture != "transitions" && request.picture != "residuals")) {
    request.usage_error = true;
  }
  if (request.refusal.empty() && !request.usage_error && request.picture == "residuals" &&
      (request.drawing.v_labels || request.drawing.hide_not_found || request.wavefunctions ||
       !request.observed.empty())) {
    refuse(refusal("residuals takes --size and --html alone of the options"));
  }
  if (request.refusal.empty() && !request.usage_error && request.picture == "transitions" &&
      (request.drawing.v_labels || request.drawing.hide_not_found)) {
    refuse(refusal("--labels and --hide-not-found draw levels: they go with A or B"));
  }
  if (request.refusal.empty() && !request.usage_error && request.picture == "transitions" &&
      request.wavefunctions) {
    refuse(refusal("--wavefunctions draws levels: it goes with A or B"));
  }
  if (request.refusal.empty() && !request.usage_error && request.picture != "transitions" &&
      !request.observed.empty()) {
    refuse(refusal("--observed draws a measured spectrum: it goes with transitions"));
  }
  if (request.refusal.empty() && !request.usage_error && request.picture != "transitions" &&
      request.picture != "residuals" && request.html) {
    refuse(refusal("--html writes an interactive page: it goes with transitions or residuals"));
  }
  return request;
}

int run_velk_plot(std::span<const std::string> arguments) {
  const PlotRequest request = parse_plot_arguments(arguments);
  if (request.help) {
    print_help();
    std::cout.flush();
    return 0;
  }
  if (request.version) {
    console_line(std::string("velk-plot ") + VELK_VERSION);
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
  const int status = ending_status({kPrefix, console_line}, [&] {
    if (request.picture == "residuals") {
      plot_residuals(request.residuals, request.drawing.size, request.html);
    } else if (request.picture == "transitions") {
      plot_transitions(request.drawing.size, request.observed, request.html);
    } else {
      plot_state(request.picture[0], request.drawing, request.wavefunctions);
    }
    return 0;
  });
  std::cout.flush();
  return status;
}

}  // namespace velk::plot
