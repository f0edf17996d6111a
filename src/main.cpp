// velk: rovibrational levels and transition wavenumbers of diatomic molecules. The run is steered
// by velk.inf in the working directory; the command line only asks for help, the version, a
// quiet run or the fast search.
#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "io/console.h"
#include "io/errors.h"
#include "io/interrupts.h"
#include "io/run_lock.h"
#include "io/warning.h"
#include "run/command_line.h"
#include "run/run_sequence.h"

namespace {

// Each thread holds a work space of its own (about 11 MB on the largest grid) and more threads
// than cores make no run faster. A few more are harmless (and tested); many more are said.
void warn_about_thread_count(int threads) {
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  if (cores <= 0 || threads <= std::max(4, 2 * cores)) return;
  velk::warn("--threads " + std::to_string(threads) + " on " + std::to_string(cores) +
             (cores == 1 ? " core" : " cores") +
             ": each thread takes memory of its own (about 11 MB on the largest grid) and more "
             "threads than cores make the run no faster");
}

}  // namespace

int main(int argc, char** argv) {
  velk::RunOptions run_options;
  if (argc > 1) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const velk::CommandLineOptions options = velk::parse_command_line(arguments);
    if (options.help) {
      std::cout << velk::velk_help_text() << std::flush;
      return 0;
    }
    if (options.version) {
      std::cout << velk::velk_version_text() << std::flush;
      return 0;
    }
    if (!options.refusal.empty()) {
      std::cerr << options.refusal << '\n';
      return 2;
    }
    velk::set_console_quiet(options.quiet);
    run_options.threads = options.threads;
    run_options.fast = options.fast;
    run_options.verbose = options.verbose;
    warn_about_thread_count(options.threads);
  }
  velk::install_interrupt_handlers("velk");
  int status = 0;
  try {
    const velk::RunLock lock("velk.inf");
    status = velk::run_velk(run_options);
  } catch (const velk::StopRun& stop) {
    velk::console_message(stop.what());
    status = 1;
  }
  return velk::status_after_console(status);
}
