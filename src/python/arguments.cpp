#include "arguments.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <tuple>

#include "curve.h"

namespace velk::python {

std::string path_text(const py::object& path) {
  return py::str(py::module_::import("os").attr("fspath")(path));
}

std::vector<double> to_vector(const py::object& values, const char* what) {
  using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
  const DoubleArray a = DoubleArray::ensure(values);
  if (!a || a.ndim() != 1) {
    throw py::value_error(std::string(what) + " must be a one-dimensional sequence of numbers");
  }
  return std::vector<double>(a.data(), a.data() + a.size());
}

std::vector<int32_t> to_integers(const py::object& values, const char* what) {
  const py::object index = py::module_::import("operator").attr("index");
  if (!py::isinstance<py::iterable>(values)) {
    try {
      return {index(values).cast<int32_t>()};
    } catch (const py::error_already_set&) {
      throw py::type_error(std::string(what) + ": an integer, a range or a sequence of integers");
    } catch (const py::cast_error&) {
      throw py::value_error(std::string(what) + ": integers of 32 bits");
    }
  }
  std::vector<int32_t> items;
  for (const py::handle item : values) {
    try {
      items.push_back(index(item).cast<int32_t>());
    } catch (const py::error_already_set&) {
      throw py::type_error(std::string(what) + ": an integer, a range or a sequence of integers");
    } catch (const py::cast_error&) {
      throw py::value_error(std::string(what) + ": integers of 32 bits");
    }
  }
  return items;
}

RadialGrid to_grid(const std::string& name, const py::object& grid) {
  const auto t = grid.cast<std::tuple<double, double, int32_t>>();
  return checked_grid(name, std::get<0>(t), std::get<1>(t), std::get<2>(t));
}

}  // namespace velk::python
