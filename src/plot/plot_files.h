// Opening and splitting the run's files for velk-plot.
#pragma once

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace velk::plot {

// Throws InputError "velk-plot: <path>: no such file; <hint>" when `path` is missing, and a
// similar one-line message when it is a directory or cannot be read.
void require_run_file(const std::string& path, std::string_view hint);

// Opens a file that velk writes; a missing one tells the user to run velk first.
std::ifstream open_run_file(const std::string& path);

// The text without leading and trailing blanks, tabs and carriage returns.
std::string trim(std::string_view text);

// The first `count` values of a free-format line: texts separated by blanks, tabs, commas or a
// carriage return. Fewer come back when the line holds fewer.
std::vector<std::string_view> split_values(std::string_view line, std::size_t count);

}  // namespace velk::plot
