#include "run/run_sequence.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <string>

#include "io/console.h"
#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/thread_count.h"
#include "run/control_file.h"
#include "run/pause.h"
#include "run/run_warnings.h"
#include "run/state_level_files.h"
#include "run/transitions.h"

namespace velk {
namespace {

// Version 3.0 and the 2007 date are the banner users' logs and scripts match; they are not a
// stale date to update.
void print_banner() {
  console_line(FreeLine());
  console_line(FreeLine());
  console_line(FreeLine() << "---------------- VELK 3.0 -------------------");
  console_line(FreeLine() << "        Last modified on 3.7.2007 ");
  console_line(FreeLine());
}

// One thread per core, or one when the machine does not say.
int threads_wanted(const RunOptions& options) {
  return threads_or_one_per_core(options.threads);
}

void run_jobs(const NumericalFailureHandler& on_failure, const RunOptions& options) {
  print_banner();
  const RunControl control = read_control_file();
  warn_on_control_file(control);
  StateLevelFiles levels(control, StateLevelOptions{on_failure, threads_wanted(options),
                                                    options.fast, options.verbose});
  const LevelTableBlock& table = control.level_table;
  if (table.switch_flag == 'y') {
    const LevelRanges ranges{table.vmin, table.vmax, table.Jmin,
                             table.Jmax, table.pmin, table.pmax};
    if (table.state == 1) {
      levels.compute_state_levels(control.A, ranges, "Astate.dat");
    } else {
      levels.compute_state_levels(control.B, ranges, "Bstate.dat");
    }
  }
  if (control.one_level.switch_flag == 'y') run_one_level_transitions(control, levels);
  if (control.known_level.switch_flag == 'y') run_known_level_transitions(control, levels);
  if (control.window.switch_flag == 'y') run_window_transitions(control, levels);
}

}  // namespace

int run_velk(const RunOptions& options) {
  return run_velk(run_failure_handler(), options);
}

int run_velk(const NumericalFailureHandler& on_failure, const RunOptions& options) {
  int status = 0;
  try {
    run_jobs(on_failure, options);
  } catch (const StopRun& stop) {
    console_message(stop.what());
    status = 1;
  } catch (const InputError& error) {
    console_message(error.what());
    status = 2;
  } catch (const std::bad_alloc&) {
    console_message("velk: out of memory");
    status = 3;
  } catch (const std::exception& error) {
    console_message(std::string("velk: internal error: ") + error.what());
    status = 3;
  }
  std::cout.flush();
  return status;
}

}  // namespace velk
