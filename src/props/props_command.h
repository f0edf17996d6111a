// The command velk-props: what spectroscopists compute from a finished run's wave functions,
// worked out in the run's working directory and written there as CSV files.
//
//   velk-props A              levels of Astate.dat -> Astate_props.csv
//   velk-props B              levels of Bstate.dat -> Bstate_props.csv
//   velk-props transitions    lines of vel_tran.out -> vel_tran.csv
//
// Options: --file LEVELFILE (A, B: another level file of the state, such as BstateQ.dat; the
// output is named after it), --wavefunctions (A, B: also <stem>_wf.csv), --wavefunctions-limit
// MB (the largest such table written, 1000 MB unless given), --moment FILE
// (transitions: matrix elements of the transition moment in FILE), --help, --version.
//
// Standard output receives "velk-props: wrote <file> (...)" or one line naming what is wrong;
// warnings go to standard error. The builders' and the solver's progress lines are not shown.
#pragma once

#include <span>
#include <string>

#include "props/state_table.h"

namespace velk::props {

struct PropsRequest {
  std::string target;  // "A", "B" or "transitions"; empty when none was named
  std::string level_file;
  std::string moment_file;
  bool wavefunctions = false;
  double wavefunctions_limit_mb = kDefaultWaveFunctionLimitMB;
  bool help = false;
  bool version = false;
  bool usage_error = false;  // no target, two, or an unknown one: the usage is printed
  std::string refusal;       // an unknown option or a misplaced one: this line, on standard error
};

PropsRequest parse_props_arguments(std::span<const std::string> arguments);

// Runs the command and returns the exit status: 0 written (or help, version), 1 a builder
// stopped on a bad potential file, 2 a missing or malformed file, a run not made or not matching
// velk.inf, or bad arguments, 3 an internal error.
int run_velk_props(std::span<const std::string> arguments);

}  // namespace velk::props
