// velk-plot: SVG pictures of a velk run, drawn in the run's working directory.
#include <string>
#include <vector>

#include "io/console.h"
#include "io/interrupts.h"
#include "io/warning.h"
#include "plot/plot_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  velk::install_interrupt_handlers("velk-plot");
  velk::set_warning_program("velk-plot");
  return velk::status_after_console(velk::plot::run_velk_plot(arguments));
}
