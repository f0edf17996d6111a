// velk-spectrum: the spectrum command on its own, until it becomes velk-props spectrum.
#include <string>
#include <vector>

#include "spectrum/spectrum_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return velk::spectrum::run_spectrum_command(arguments, "velk-spectrum");
}
