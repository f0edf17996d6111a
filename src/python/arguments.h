// Python arguments turned into the core's values, shared by the module's bindings. Wrong kinds
// and shapes raise TypeError or ValueError; a grid the run would refuse raises the run's StopRun.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pec/radial_grid.h"

namespace velk::python {

namespace py = pybind11;

// os.fspath(path) as text: a str or a path-like object.
std::string path_text(const py::object& path);

// A one-dimensional sequence of numbers; `what` names the argument in the message.
std::vector<double> to_vector(const py::object& values, const char* what);

// An integer, a range or a sequence of integers, in the order given.
std::vector<int32_t> to_integers(const py::object& values, const char* what);

// grid=(Rmin, Rmax, N) (Å), checked as the run checks a grid, its messages naming `name`.
RadialGrid to_grid(const std::string& name, const py::object& grid);

}  // namespace velk::python
