// velk: rovibrational levels and transition wavenumbers of diatomic molecules. The run is steered
// by velk.inf in the working directory; there are no command-line arguments.
#include "run/run_sequence.h"

int main() {
  return velk::run_velk();
}
