// The command velk-plot: one picture of a finished run, drawn from the files in the working
// directory and written there as an SVG file.
//
//   velk-plot A            curve of state A and the levels of Astate.dat  -> plot_A.svg
//   velk-plot B            curve of state B and the levels of Bstate.dat  -> plot_B.svg
//   velk-plot transitions  the lines of vel_tran.out as a stick spectrum  -> plot_transitions.svg
//
// Like velk, it writes everything it has to say to standard output: the builders' name lines
// while a curve is built, then "velk-plot: wrote <file>", or one line naming what is wrong.
#pragma once

#include <span>
#include <string>

namespace velk::plot {

// Runs the command with its arguments (without the program name) and returns the exit status:
// 0 when the picture was written (or help was asked for), 1 for a stop of the program's own
// builders on a bad potential file, 2 for a missing or malformed file or bad arguments (the usage
// is printed), 3 for an internal error.
int run_velk_plot(std::span<const std::string> arguments);

}  // namespace velk::plot
