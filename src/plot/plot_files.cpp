#include "plot/plot_files.h"

#include <filesystem>

#include "io/errors.h"

namespace velk::plot {

void require_run_file(const std::string& path, std::string_view hint) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  const std::string prefix = "velk-plot: " + path + ": ";
  if (status.type() == std::filesystem::file_type::not_found) {
    throw InputError(prefix + "no such file; " + std::string(hint));
  }
  if (status.type() == std::filesystem::file_type::directory) {
    throw InputError(prefix + "is a directory, not a file");
  }
}

std::ifstream open_run_file(const std::string& path) {
  require_run_file(path, "run velk first");
  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in) throw InputError("velk-plot: " + path + ": the file cannot be read");
  return in;
}

std::string trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string_view> split_values(std::string_view line, std::size_t count) {
  std::vector<std::string_view> values;
  constexpr std::string_view kSeparators = " \t,\r";
  std::size_t position = 0;
  while (values.size() < count) {
    const auto start = line.find_first_not_of(kSeparators, position);
    if (start == std::string_view::npos) break;
    auto end = line.find_first_of(kSeparators, start);
    if (end == std::string_view::npos) end = line.size();
    values.push_back(line.substr(start, end - start));
    position = end;
  }
  return values;
}

}  // namespace velk::plot
