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
  // Reading a FIFO or a device would wait or run on without end. The reader refuses them again
  // on its open descriptor; here they get velk-plot's wording.
  if (status.type() == std::filesystem::file_type::fifo) {
    throw InputError(prefix + "is a FIFO, not a file");
  }
  if (status.type() == std::filesystem::file_type::character ||
      status.type() == std::filesystem::file_type::block) {
    throw InputError(prefix + "is a device, not a file");
  }
  if (status.type() == std::filesystem::file_type::socket) {
    throw InputError(prefix + "is a socket, not a file");
  }
}

std::string trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace velk::plot
