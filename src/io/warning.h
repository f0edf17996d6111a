// The warning sink: diagnostics of a run that goes on, or context for a stop, written to standard
// error as one line "velk: warning: <text>" each, or in the name of the companion program that
// runs the layers ("velk-props: warning: <text>", "velk-plot: warning: <text>"). Standard output
// and the files keep exactly the bytes they have without them, since other programs read those.
//
// Warnings are produced where the knowledge is (the level driver, the builders, the run layer)
// and all pass through warn(), so that a test can catch them with a WarningCapture.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

inline constexpr std::string_view kWarningPrefix = "velk: warning: ";

// Names the program whose warnings these are: "velk" unless its main says otherwise, once, before
// any warning and before a second thread starts.
void set_warning_program(std::string_view program);

// "<program>: warning: " of the program named above.
const std::string& warning_prefix();

// Writes warning_prefix() + text and a line end to standard error (or to the active capture).
// A warning already given is not repeated: a curve is built more than once in a run, and a level
// may be asked for again by each transition that needs it. After 1000 different warnings one line
// says that further ones are not shown.
void warn(std::string_view text);

// While alive, warnings are collected here, prefix included, instead of reaching standard error.
// Captures nest: the innermost one receives the lines. A capture collects the warnings of its
// own thread only.
class WarningCapture {
 public:
  WarningCapture();
  ~WarningCapture();
  WarningCapture(const WarningCapture&) = delete;
  WarningCapture& operator=(const WarningCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  friend void warn(std::string_view text);
  std::vector<std::string> lines_;
  std::set<std::string> given_;
  WarningCapture* outer_;
};

}  // namespace velk
