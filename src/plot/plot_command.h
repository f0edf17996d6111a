// The command velk-plot: one picture of a finished run, drawn from the files in the working
// directory and written there as an SVG file.
//
//   velk-plot A            curve of state A and the levels of Astate.dat  -> plot_A.svg
//   velk-plot B            curve of state B and the levels of Bstate.dat  -> plot_B.svg
//   velk-plot transitions  the lines of vel_tran.out as a stick spectrum  -> plot_transitions.svg
//                          or, once velk-props spectrum has added intensities to vel_tran.csv,
//                          the simulated spectrum (sticks by intensity, envelope of spectrum.csv)
//   velk-plot residuals [FILE]  the normalised residuals of velk-fit's fit_residuals.csv
//                          (default fit/fit_residuals.csv) against J  -> residuals.svg
//
// Options: --labels (v beside the levels), --wavefunctions (each level's ψ on its line, from the
// Astate_wf.csv or Bstate_wf.csv that velk-props --wavefunctions writes), --hide-not-found (leave
// out the levels the solver did not find instead of drawing them dashed grey), --size WIDTHxHEIGHT,
// --observed FILE (a measured spectrum over the simulated one), --html (the interactive page
// spectrum.html, or residuals.html, beside the picture), --help, --version.
//
// Like velk, it writes everything it has to say to standard output: the builders' name lines
// while a curve is built, then "velk-plot: wrote <file>", or one line naming what is wrong. Only
// a refused option goes to standard error, as velk's own refusal does.
#pragma once

#include <span>
#include <string>

#include "plot/level_plot.h"

namespace velk::plot {

// What the arguments ask for. Options may stand before or after the picture's name.
struct PlotRequest {
  std::string picture;  // "A", "B", "transitions" or "residuals"; empty when none was named
  std::string residuals = "fit/fit_residuals.csv";  // the file of `velk-plot residuals FILE`
  bool help = false;
  bool version = false;
  LevelDrawing drawing;  // --labels, --hide-not-found, --size WIDTHxHEIGHT (or --size=...)
  bool wavefunctions = false;
  std::string observed;  // --observed FILE (transitions only); empty when not given
  bool html = false;     // --html: the interactive page as well (transitions, residuals)
  // Bad names of pictures (none, two, or an unknown one): the usage is printed.
  bool usage_error = false;
  // An unknown option or a bad option value: this one line goes to standard error.
  std::string refusal;
};

PlotRequest parse_plot_arguments(std::span<const std::string> arguments);

// Runs the command with its arguments (without the program name) and returns the exit status:
// 0 when the picture was written (or help or the version was asked for), 1 for a stop of the
// program's own builders on a bad potential file, 2 for a missing or malformed file or bad
// arguments, 3 for an internal error.
int run_velk_plot(std::span<const std::string> arguments);

}  // namespace velk::plot
