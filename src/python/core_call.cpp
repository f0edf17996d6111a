#include "core_call.h"

#include "io/errors.h"
#include "numlib/failure_policy.h"

namespace velk::python {
namespace {

// The Python classes, kept for the life of the interpreter (they are never released: the module
// holds them too, and the interpreter is finishing when they would be).
PyObject* warning_class = nullptr;

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

void check_python_signals() {
  py::gil_scoped_acquire lock;
  if (PyErr_CheckSignals() != 0) throw PythonErrorPending();
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
