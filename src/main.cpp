// velk: rovibrational levels and transition wavenumbers of diatomic molecules. The run is steered
// by velk.inf in the working directory; the command line only asks for help, the version, a
// quiet run or the fast search.
#include <iostream>
#include <string_view>
#include <vector>

#include "io/console.h"
#include "io/interrupts.h"
#include "run/command_line.h"
#include "run/run_sequence.h"

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
  }
  velk::install_interrupt_handlers("velk");
  return velk::run_velk(run_options);
}
