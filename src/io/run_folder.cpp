#include "io/run_folder.h"

#include <utility>

namespace velk {
namespace {

thread_local const RunFolder* active_folder = nullptr;

}  // namespace

RunFolder::RunFolder(std::string folder) : folder_(std::move(folder)), outer_(active_folder) {
  active_folder = this;
}

RunFolder::~RunFolder() {
  active_folder = outer_;
}

std::string resolved_file_name(std::string_view name) {
  if (active_folder == nullptr || name.empty() || name.front() == '/') return std::string(name);
  std::string path = active_folder->folder_;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace velk
