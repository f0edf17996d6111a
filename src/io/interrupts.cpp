#include "io/interrupts.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

#include "io/output_file.h"

namespace velk {
namespace {

// Set before the handlers are installed, only read by them.
const char* g_program = "velk";
std::size_t g_program_length = 4;

extern "C" void on_interrupt(int signal_number) {
  remove_open_temporaries();
  static constexpr char kMessage[] = ": interrupted; outputs left as they were\n";
  // Nothing to be done if standard error is gone.
  [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, g_program, g_program_length);
  written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  ::_exit(128 + signal_number);
}

}  // namespace

void install_interrupt_handlers(const char* program) {
  g_program = program;
  g_program_length = std::strlen(program);
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace velk
