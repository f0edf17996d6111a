// Working directories and potential files for the tests of the potential builders, whose files
// the tests write and read in the working directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "io/errors.h"
#include "pec/extension_fit.h"
#include "pec/radial_grid.h"
#include "support/grids.h"
#include "support/temp_dir.h"

namespace velk::test {

// Each test runs in a fresh directory of its own under the system's temporary directory.
class PecFileTest : public ::testing::Test {
 protected:
  static void write_file(const std::string& name, const std::string& text) {
    test::write_file(name, text);
  }
  static std::vector<std::string> read_lines(const std::string& name) { return lines_of(name); }

  // A handler that keeps the lines of the extension fit's report in report_; a fit that throws
  // leaves none.
  ExtensionReportHandler report_handler() {
    ExtensionReportHandler handler;
    handler.fit_starts = [this] { report_.reset(); };
    handler.report = [this](const ExtensionReport& report) { report_ = potext_lines(report); };
    return handler;
  }
  std::optional<std::vector<std::string>> report_;

  TempWorkingDir dir_{"velk_pec"};
};

// The eight header lines of a potential file.
inline std::string header(int Npts, const std::string& pectype) {
  return std::to_string(Npts) +
         "   points\n"
         "15.0 7.5 1 1 1   reduced masses\n"
         "0   Lambda\n"
         "0.0   q1\n"
         "0.0   q2\n"
         "comment line\n"
         "second comment line\n" +
         pectype + "\n";
}

// Standard output written while `run` runs, as lines.
inline std::vector<std::string> console_of(const std::function<void()>& run) {
  ::testing::internal::CaptureStdout();
  try {
    run();
  } catch (...) {
    ::testing::internal::GetCapturedStdout();
    throw;
  }
  std::istringstream text(::testing::internal::GetCapturedStdout());
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

// The message of the StopRun that `run` throws; a failure when it throws none.
inline std::string stop_message(const std::function<void()>& run) {
  try {
    console_of(run);
  } catch (const StopRun& stop) {
    return stop.what();
  }
  ADD_FAILURE() << "the run was expected to stop";
  return "";
}

}  // namespace velk::test
