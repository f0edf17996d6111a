#include "run/interrupts.h"

#include <unistd.h>

#include <csignal>

#include "io/output_file.h"

namespace velk {
namespace {

extern "C" void on_interrupt(int signal_number) {
  remove_open_temporaries();
  static constexpr char kMessage[] = "velk: interrupted; outputs left as they were\n";
  // Nothing to be done if standard error is gone.
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  ::_exit(128 + signal_number);
}

}  // namespace

void install_interrupt_handlers() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace velk
