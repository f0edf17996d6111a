// How the module calls the program's core layers from Python.
//
// The core reads its curves from files and the pointwise builder writes potext.out into the
// working directory, as the program does. The module therefore keeps a scratch directory of its
// own: each curve's potential file is written there under the curve's name, and a computation
// runs with the scratch directory as working directory, so that the builders' messages name the
// file as a run of the program would, and nothing lands in the user's directory. The interpreter
// lock stays held meanwhile, so no other Python thread sees the changed working directory.
// Absolute paths would not spare the change: the readers name a file in their messages as they
// were given it, and the level driver's own builder writes potext.out into whatever directory
// the process works in.
//
// Warnings of the core ("velk: warning: ...") become Python warnings of class velk.VelkWarning;
// the core's exceptions become velk.StopRun, velk.InputError and velk.NumericalFailure (all
// velk.VelkError) carrying the program's message. Numerical failures never pause: the module
// hands the core throw_on_numerical_failure, and the console stays quiet.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "io/warning.h"

namespace velk::python {

namespace py = pybind11;

// Registers VelkError, StopRun, InputError, NumericalFailure and VelkWarning on the module.
void register_exceptions(py::module_& m);

// The module's scratch directory, made on first use and removed when the interpreter exits.
const std::string& scratch_directory();

// Writes `text` to the file `name` of the scratch directory and returns its path.
std::string write_scratch_file(const std::string& name, std::string_view text);

// While alive, the process works in `directory`; the directory before is restored at the end.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& directory);
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  int previous_ = -1;
};

// Issues each line ("velk: warning: text") as a velk.VelkWarning with the text.
void issue_warnings(const std::vector<std::string>& lines);

// Runs `work` with the core's warnings collected, then issues them as Python warnings, also when
// `work` throws (the exception then goes on).
template <class Work>
auto call_core(Work&& work) -> decltype(work()) {
  WarningCapture capture;
  bool done = false;
  try {
    if constexpr (std::is_void_v<decltype(work())>) {
      work();
      done = true;
      issue_warnings(capture.lines());
    } else {
      auto result = work();
      done = true;
      issue_warnings(capture.lines());
      return result;
    }
  } catch (...) {
    if (!done) issue_warnings(capture.lines());
    throw;
  }
}

}  // namespace velk::python
