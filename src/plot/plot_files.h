// Opening and splitting the run's files for velk-plot.
#pragma once

#include <fstream>
#include <string>
#include <string_view>

namespace velk::plot {

// Throws InputError "velk-plot: <path>: no such file; <hint>" when `path` is missing, and a
// similar one-line message when it is a directory or cannot be read.
void require_run_file(const std::string& path, std::string_view hint);

// Opens a file that velk writes; a missing one tells the user to run velk first.
std::ifstream open_run_file(const std::string& path);

// The text without leading and trailing blanks, tabs and carriage returns.
std::string trim(std::string_view text);

}  // namespace velk::plot
