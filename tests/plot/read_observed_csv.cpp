// velk-fit's reader of observed lines on a file named on the command line: one line per row,
// "upper_state v J p lower_state v J p wavenumber uncertainty", status 2 and the reader's message
// when it refuses the file. The spectrum page's saved assignments are checked with it.
#include <cstdio>
#include <iostream>

#include "fit/observed_lines.h"
#include "io/errors.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: read_observed_csv FILE\n";
    return 2;
  }
  try {
    for (const velk::fit::ObservedLine& row : velk::fit::read_observed_lines(argv[1])) {
      std::printf("%c %d %d %d %c %d %d %d %.17g %.17g\n", row.upper.state, row.upper.v,
                  row.upper.J, row.upper.p, row.lower.state, row.lower.v, row.lower.J, row.lower.p,
                  row.wavenumber, row.uncertainty);
    }
  } catch (const velk::InputError& error) {
    std::cout << error.what() << '\n';
    return 2;
  }
  return 0;
}
