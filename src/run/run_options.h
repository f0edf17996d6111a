// What the command line asks of a run beyond velk.inf: options that change how the levels are
// searched, never what the run reads or which files it writes.
#pragma once

namespace velk {

struct RunOptions {
  // Levels by the fast search: the same energies within the tolerance, the fast search's own
  // history columns.
  bool fast = false;
  // Threads that compute levels; 0 asks for one per core. The files and console lines are the
  // same for every count.
  int threads = 0;
  // Every warning of a level beyond the last of its J on a line of its own, not one line per
  // run of J.
  bool verbose = false;
};

}  // namespace velk
