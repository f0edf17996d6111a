// Opening and splitting the run's files for velk-plot.
#pragma once

#include <string>
#include <string_view>

#include "io/run_file_check.h"

namespace velk::plot {

inline constexpr std::string_view kProgram = "velk-plot";

// Throws InputError "velk-plot: <path>: no such file; <hint>" when `path` is missing, and a
// similar one-line message when it is a directory, a FIFO, a device or a socket.
inline void require_run_file(const std::string& path, std::string_view hint) {
  velk::require_run_file(kProgram, path, hint);
}

// The text without leading and trailing blanks, tabs and carriage returns.
std::string trim(std::string_view text);

}  // namespace velk::plot
