#include "io/run_file_check.h"

#include <filesystem>

#include "io/errors.h"
#include "io/run_folder.h"

namespace velk {

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

}  // namespace velk
