#include "io/console.h"

#include <iostream>
#include <string>

#include "io/formatted_output.h"
#include "io/output_recording.h"

namespace velk {
namespace {

bool quiet_console = false;

}  // namespace

void set_console_quiet(bool quiet) {
  quiet_console = quiet;
}

void console_line(std::string_view text) {
  if (OutputRecording* recording = OutputRecording::active()) {
    recording->append(OutputRecording::Kind::console, std::string(text));
    return;
  }
  if (quiet_console) return;
  std::cout << text << '\n';
}

void console_line(const FreeLine& line) {
  for (const auto& text : line.lines()) console_line(text);
}

void console_message(std::string_view text) {
  (quiet_console ? std::cerr : std::cout) << text << '\n';
}

int status_after_console(int status) {
  std::cout.flush();
  if (status == 0 && !std::cout) return kConsoleClosedStatus;
  return status;
}

}  // namespace velk
