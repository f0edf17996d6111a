// What the run does when it is interrupted (SIGINT, SIGTERM): the temporary files of the outputs
// being written are removed, so that every output keeps what it held before the run or what this
// run completed, and the program ends with status 128 + the signal number (130, 143).
#pragma once

namespace velk {

void install_interrupt_handlers();

}  // namespace velk
