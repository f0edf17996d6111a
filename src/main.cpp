// velk: rovibrational levels and transition wavenumbers of diatomic molecules. The run is steered
// by velk.inf in the working directory; there are no command-line arguments.
#include "run/interrupts.h"
#include "run/run_sequence.h"

int main() {
  velk::install_interrupt_handlers();
  return velk::run_velk();
}
