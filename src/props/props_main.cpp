// velk-props: rotational constants, expectation values and Franck-Condon factors of a velk run.
#include <string>
#include <vector>

#include "props/props_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return velk::props::run_velk_props(arguments);
}
