// velk-fit: curves and constants fitted to observed lines.
#include <string>
#include <vector>

#include "fit/fit_command.h"
#include "io/interrupts.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  velk::install_interrupt_handlers("velk-fit");
  return velk::fit::run_velk_fit(arguments);
}
