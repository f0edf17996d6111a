// velk-rkr: potential curves from spectroscopic constants by the first-order RKR inversion.
#include <string>
#include <vector>

#include "io/interrupts.h"
#include "rkr/rkr_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  velk::install_interrupt_handlers("velk-rkr");
  return velk::rkr::run_velk_rkr(arguments);
}
