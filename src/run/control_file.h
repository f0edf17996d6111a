// The control file velk.inf: a fixed order of records without keywords.
//
// Records 1 to 31 are always read in full, whatever the switches say; the heading of record 32 and
// the LIF flag of record 33 may be missing. Only the lower-case 'y' switches a block on and only
// the lower-case 'd' marks a Dunham file.
#pragma once

#include <cstdint>
#include <string>

#include "io/state_records.h"

namespace velk {

struct LevelTableBlock {
  char switch_flag = ' ';
  int32_t state = 0;  // 1: state A, anything else: state B
  int32_t vmin = 0, vmax = 0, Jmin = 0, Jmax = 0, pmin = 0, pmax = 0;
};

struct OneLevelBlock {
  char switch_flag = ' ';
  int32_t v = 0, J = 0, p = 0;  // the state-A level
  int32_t vbmin = 0, vbmax = 0, branch = 0, dJ = 0;
};

struct KnownLevelBlock {
  char switch_flag = ' ';
  int32_t state = 0;  // 1: the computed levels are those of state A, anything else: state B
  int32_t v = 0, J = 0, p = 0;
  double E = 0.0;  // energy of the known level, cm-1
  int32_t vbmin = 0, vbmax = 0, branch = 0, dJ = 0;
};

struct WindowBlock {
  char switch_flag = ' ';
  double emin = 0.0, emax = 0.0;  // cm-1, both bounds excluded
  int32_t vmin = 0, vmax = 0, Jmin = 0, Jmax = 0, pmin = 0, pmax = 0;
  int32_t vbmin = 0, vbmax = 0, branch = 0;
};

struct RunControl {
  StateInput A;
  StateInput B;
  int32_t maxit = 0;
  double tol = 0.0;  // cm-1
  char revflag = ' ';
  LevelTableBlock level_table;
  OneLevelBlock one_level;
  KnownLevelBlock known_level;
  WindowBlock window;
  char lifflag = ' ';
};

// Reads velk.inf from the working directory, prints " reading velk.inf", makes the LIF and
// point-count checks (StopRun), refuses a data file named like an output of the run (InputError)
// and prints the OK line.
RunControl read_control_file(const std::string& path = "velk.inf");

}  // namespace velk
