// How the module calls the program's core layers from Python.
//
// The core takes each curve as a value read in memory (curve.h), so a computation touches no file
// and no working directory, and it runs with the interpreter lock released (without_gil): two
// Python threads solving two curves run on two cores at once. Warnings are collected per thread.
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

// Thrown out of core work running without the interpreter lock when a signal handler of Python
// raised an exception (Ctrl-C); without_gil turns it back into that exception.
struct PythonErrorPending {};

// Runs Python's signal handlers; called from core work without the lock, it takes the lock for
// that alone. Throws PythonErrorPending when a handler raised.
void check_python_signals();

// Runs `work`, which must touch no Python object, with the interpreter lock released.
template <class Work>
auto without_gil(Work&& work) -> decltype(work()) {
  try {
    py::gil_scoped_release release;
    return work();
  } catch (const PythonErrorPending&) {
    throw py::error_already_set();
  }
}

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
