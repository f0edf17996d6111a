#include "io/run_file_check.h"

#include <filesystem>
#include <system_error>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/run_folder.h"

namespace velk {
namespace {

std::string normal_name(std::string_view name) {
  return std::filesystem::path(std::string(name)).lexically_normal().string();
}

}  // namespace

void require_run_file(std::string_view program, const std::string& path, std::string_view hint) {
  std::error_code error;
  const auto status = std::filesystem::status(resolved_file_name(path), error);
  const std::string prefix = std::string(program) + ": " + path + ": ";
  if (status.type() == std::filesystem::file_type::not_found) {
    throw InputError(prefix + "no such file; " + std::string(hint));
  }
  if (status.type() == std::filesystem::file_type::directory) {
    throw InputError(prefix + "is a directory, not a file");
  }
  // Reading a FIFO or a device would wait or run on without end. The reader refuses them again
  // on its open descriptor; here they get the program's wording.
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

bool names_same_file(std::string_view input, std::string_view output) {
  const std::string name = trimmed_file_name(input);
  if (name.empty()) return false;
  if (normal_name(name) == normal_name(output)) return true;
  // Both must exist to be compared; a missing one is told by the error, not by an exception.
  std::error_code error;
  return std::filesystem::equivalent(resolved_file_name(name), resolved_file_name(output), error) &&
         !error;
}

void refuse_input_named_like_output(std::string_view program, std::string_view role,
                                    std::string_view input, std::span<const std::string> outputs) {
  for (const std::string& output : outputs) {
    if (!names_same_file(input, output)) continue;
    throw InputError(std::string(program) + ": " + trimmed_file_name(input) + ": " +
                     std::string(role) + " is the output " + output +
                     " of this command and would be overwritten");
  }
}

}  // namespace velk
