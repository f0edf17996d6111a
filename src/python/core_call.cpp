#include "core_call.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "io/errors.h"
#include "numlib/failure_policy.h"

namespace velk::python {
namespace {

// The Python classes, kept for the life of the interpreter (they are never released: the module
// holds them too, and the interpreter is finishing when they would be).
PyObject* warning_class = nullptr;

std::string system_message(const std::string& what) {
  return "velk: " + what + ": " + std::strerror(errno);
}

}  // namespace

void register_exceptions(py::module_& m) {
  static py::exception<std::runtime_error> base(m, "VelkError", PyExc_RuntimeError);
  base.doc() = "Base of the exceptions that carry the program's messages.";
  py::register_exception<StopRun>(m, "StopRun", base.ptr()).doc() =
      "One of the program's own stops (exit status 1 of velk), such as \"Umin >  Umax\".";
  py::register_exception<InputError>(m, "InputError", base.ptr()).doc() =
      "A file that is missing, short or malformed (exit status 2 of velk); the message names "
      "the file, the line and what was expected.";
  py::register_exception<NumericalFailure>(m, "NumericalFailure", base.ptr()).doc() =
      "A numerical routine failed (no convergence, a singular matrix); velk would pause here.";
  warning_class = PyErr_NewExceptionWithDoc(
      "velk.VelkWarning", "A warning of the program (velk writes it to standard error).",
      PyExc_UserWarning, nullptr);
  if (warning_class == nullptr) throw py::error_already_set();
  m.attr("VelkWarning") = py::handle(warning_class);
}

const std::string& scratch_directory() {
  // One directory per process: a process forked from this one (multiprocessing) makes its own,
  // so that two processes never write the same curve file, and only the process that made a
  // directory removes it.
  struct Scratch {
    pid_t owner = 0;
    std::string directory;
  };
  static Scratch scratch;
  if (scratch.owner == getpid()) return scratch.directory;
  std::string pattern = (std::filesystem::temp_directory_path() / "velk-python-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw InputError(system_message("mkdtemp " + pattern));
  const pid_t owner = getpid();
  py::module_::import("atexit").attr("register")(py::cpp_function([owner, directory = pattern] {
    if (getpid() != owner) return;
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }));
  scratch = {owner, pattern};
  return scratch.directory;
}

std::string write_scratch_file(const std::string& name, std::string_view text) {
  const std::string path = scratch_directory() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw InputError(system_message("cannot write " + path));
  return path;
}

WorkingDirectory::WorkingDirectory(const std::string& directory) {
  previous_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (previous_ < 0) throw InputError(system_message("cannot open the working directory"));
  if (chdir(directory.c_str()) != 0) {
    const std::string message = system_message(directory);
    close(previous_);
    throw InputError(message);
  }
}

WorkingDirectory::~WorkingDirectory() {
  // Nothing sensible remains to be done when the directory before has gone away.
  [[maybe_unused]] const int ignored = fchdir(previous_);
  close(previous_);
}

void issue_warnings(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  const py::object warn = py::module_::import("warnings").attr("warn");
  for (const std::string& line : lines) {
    const std::string_view prefix = kWarningPrefix;
    std::string_view text = line;
    if (text.substr(0, prefix.size()) == prefix) text.remove_prefix(prefix.size());
    warn(py::str(std::string(text)), py::handle(warning_class), 1);
  }
}

}  // namespace velk::python
