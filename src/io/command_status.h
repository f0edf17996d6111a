// How a companion program's command ends. Each exception that ends it is printed alone on one
// line of standard output, in the program's own name, and sets the exit status: 1 a stop, 2 a
// missing or malformed input, 3 memory exhausted or an internal error.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "io/errors.h"

namespace velk {

struct CommandVoice {
  std::string_view prefix;               // the program's name as its messages begin, "velk-rkr: "
  void (*print)(std::string_view line);  // where its lines go
};

// Stands for "no further kind of stop" in `ending_status`.
struct NoOtherStop : std::exception {};

// Runs `body` (which returns the status of a normal end) and turns what ends it early into a line
// and a status. `OtherStop` is a further exception type that stops the command with status 1, its
// message followed by `other_stop_note`: a numerical failure, where velk would pause and ask and
// the companion programs have no one to ask.
template <class OtherStop = NoOtherStop, class Body>
int ending_status(const CommandVoice& voice, Body&& body, std::string_view other_stop_note = {}) {
  const std::string prefix(voice.prefix);
  try {
    return body();
  } catch (const StopRun& stop) {
    voice.print(in_own_name(prefix, stop.what()));
    return 1;
  } catch (const OtherStop& stop) {
    voice.print(in_own_name(prefix, stop.what()) + std::string(other_stop_note));
    return 1;
  } catch (const InputError& error) {
    voice.print(in_own_name(prefix, error.what()));
    return 2;
  } catch (const std::bad_alloc&) {
    voice.print(prefix + "out of memory");
    return 3;
  } catch (const std::exception& error) {
    voice.print(prefix + "internal error: " + error.what());
    return 3;
  }
}

}  // namespace velk
