// velk-props: rotational constants, expectation values and Franck-Condon factors of a velk run.
#include <string>
#include <vector>

#include "io/console.h"
#include "io/interrupts.h"
#include "io/warning.h"
#include "props/props_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  velk::install_interrupt_handlers("velk-props");
  velk::set_warning_program("velk-props");
  return velk::status_after_console(velk::props::run_velk_props(arguments));
}
