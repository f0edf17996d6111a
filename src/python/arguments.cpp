#include "arguments.h"

#include <climits>
#include <cmath>
#include <string_view>

#include "solver/level_table_request.h"

namespace velk::python {
namespace {

// "str", "tuple", "numpy.float64": what a message says was given.
std::string kind_of(py::handle value) {
  const py::handle type = py::type::handle_of(value);
  const std::string module = py::str(type.attr("__module__"));
  const std::string name = py::str(type.attr("__qualname__"));
  return module == "builtins" ? name : module + "." + name;
}

[[noreturn]] void wrong_value(const char* name, const std::string& what) {
  throw py::value_error(std::string(name) + ": " + what);
}

std::string repr_of(py::handle value) {
  return py::repr(value);
}

bool is_text(py::handle value) {
  return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
         PyByteArray_Check(value.ptr());
}

// Integers the way Python indexes with them: int, numpy integers, anything with __index__ (a
// float is refused rather than truncated).
int64_t index_of(py::handle value, const char* name) {
  if (!PyIndex_Check(value.ptr())) wrong_kind(name, "an integer", value);
  const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
  if (!index) throw py::error_already_set();
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0 || n > INT32_MAX || n < INT32_MIN) {
    wrong_value(name, "an integer of 32 bits, found " + repr_of(value));
  }
  return n;
}

int32_t checked_int(int64_t n, const char* name, int32_t least) {
  if (n < least) {
    wrong_value(name, "must be at least " + std::to_string(least) + ", found " + std::to_string(n));
  }
  return static_cast<int32_t>(n);
}

// The items of a tuple, list or one-dimensional array (not of a string or a mapping).
py::list sequence_items(py::handle values, const char* name, const std::string& expected) {
  if (is_text(values) || PyDict_Check(values.ptr()) || !PySequence_Check(values.ptr())) {
    wrong_kind(name, expected, values);
  }
  return py::list(py::reinterpret_borrow<py::object>(values));
}

}  // namespace

void wrong_kind(const char* name, const std::string& expected, py::handle value) {
  throw py::type_error(std::string(name) + ": expected " + expected + ", found " + kind_of(value));
}

std::optional<py::array> numeric_array(py::handle values) {
  if (is_text(values) || values.is_none() || PyDict_Check(values.ptr())) return std::nullopt;
  const py::array given = py::reinterpret_steal<py::array>(
      py::detail::npy_api::get().PyArray_FromAny_(values.ptr(), nullptr, 0, 0, 0, nullptr));
  if (!given) {
    PyErr_Clear();
    return std::nullopt;
  }
  if (std::string_view("biuf").find(given.dtype().kind()) == std::string_view::npos) {
    return std::nullopt;
  }
  return given;
}

double to_float(py::handle value, const char* name) {
  // A numpy array of one element converts to a float too, but a value given as an array is
  // more likely a mistake than an intention.
  if (is_text(value) || py::isinstance<py::array>(value) ||
      (!PyFloat_Check(value.ptr()) && !PyNumber_Check(value.ptr()))) {
    wrong_kind(name, "a number", value);
  }
  const double x = PyFloat_AsDouble(value.ptr());
  if (x == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    wrong_kind(name, "a number", value);
  }
  return x;
}

double to_positive(py::handle value, const char* name) {
  const double x = to_float(value, name);
  if (!(x > 0.0) || !std::isfinite(x))
    wrong_value(name, "must be positive, found " + repr_of(value));
  return x;
}

std::optional<double> to_optional_float(py::handle value, const char* name) {
  if (value.is_none()) return std::nullopt;
  return to_float(value, name);
}

int32_t to_int(py::handle value, const char* name) {
  return static_cast<int32_t>(index_of(value, name));
}

int32_t to_int_at_least(py::handle value, const char* name, int32_t least) {
  return checked_int(index_of(value, name), name, least);
}

std::optional<int32_t> to_optional_int(py::handle value, const char* name) {
  if (value.is_none()) return std::nullopt;
  return to_int(value, name);
}

bool to_bool(py::handle value, const char* name) {
  if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
  if (py::isinstance(value, py::module_::import("numpy").attr("bool_"))) {
    return value.cast<bool>();
  }
  wrong_kind(name, "True or False", value);
}

std::string to_text(py::handle value, const char* name) {
  if (!PyUnicode_Check(value.ptr())) wrong_kind(name, "a str", value);
  return value.cast<std::string>();
}

bool is_path(py::handle value) {
  return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
         py::isinstance(value, py::module_::import("os").attr("PathLike"));
}

std::string to_path(py::handle path, const char* name) {
  if (!is_path(path)) wrong_kind(name, "a str or an os.PathLike", path);
  const py::object os = py::module_::import("os");
  return os.attr("fsdecode")(os.attr("fspath")(path)).cast<std::string>();
}

std::vector<double> to_vector(py::handle values, const char* name) {
  using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
  const char* expected = "a one-dimensional sequence of numbers";
  const std::optional<py::array> given = numeric_array(values);
  if (!given || given->ndim() == 0) wrong_kind(name, expected, values);
  if (given->ndim() != 1) {
    wrong_value(name,
                std::string(expected) + ", found " + std::to_string(given->ndim()) + " dimensions");
  }
  const DoubleArray a = DoubleArray::ensure(*given);
  std::vector<double> v(a.data(), a.data() + a.size());
  for (const double x : v) {
    if (!std::isfinite(x)) wrong_value(name, "finite numbers, found " + std::to_string(x));
  }
  return v;
}

py::array_t<double, py::array::c_style | py::array::forcecast> to_radii(py::handle values,
                                                                        const char* name) {
  using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
  if (!is_text(values) && !py::isinstance<py::array>(values) && PyNumber_Check(values.ptr())) {
    return DoubleArray::ensure(py::float_(to_float(values, name)));
  }
  const std::optional<py::array> given = numeric_array(values);
  if (!given) wrong_kind(name, "a number or an array of numbers", values);
  return DoubleArray::ensure(*given);
}

template <std::size_t n>
std::array<double, n> to_floats(py::handle values, const char* name, const char* form) {
  const py::list items = sequence_items(values, name, form);
  if (items.size() != n) {
    wrong_value(name, std::string(form) + ", found " + std::to_string(items.size()) + " items");
  }
  std::array<double, n> out{};
  for (std::size_t i = 0; i < n; ++i) out[i] = to_float(items[i], name);
  return out;
}

template std::array<double, 2> to_floats<2>(py::handle, const char*, const char*);
template std::array<double, 3> to_floats<3>(py::handle, const char*, const char*);

std::map<int, double> to_coefficients(py::handle values, const char* name) {
  if (!PyDict_Check(values.ptr())) wrong_kind(name, "a dict {k: C_k}", values);
  std::map<int, double> out;
  for (const auto& [k, value] : py::reinterpret_borrow<py::dict>(values)) {
    out[to_int(k, name)] = to_float(value, name);
  }
  return out;
}

std::array<double, 5> to_masses(py::handle masses, const char* name) {
  std::array<double, 5> m{};
  if (!is_text(masses) && !py::isinstance<py::array>(masses) && PyNumber_Check(masses.ptr())) {
    m[0] = to_float(masses, name);
    return m;
  }
  const std::vector<double> values = to_vector(masses, name);
  if (values.empty() || values.size() > m.size()) {
    wrong_value(name, "one to five reduced masses (u), found " + std::to_string(values.size()));
  }
  std::copy(values.begin(), values.end(), m.begin());
  return m;
}

py::list to_items(py::handle values, const char* name, const char* expected) {
  if (is_text(values) || PyDict_Check(values.ptr()) || !py::isinstance<py::iterable>(values)) {
    wrong_kind(name, expected, values);
  }
  return py::list(py::reinterpret_borrow<py::object>(values));
}

std::vector<int32_t> to_integers(py::handle values, const char* name, int32_t least) {
  const char* expected = "an integer, a range or a sequence of integers";
  // A numpy array has __index__ too, for its lone element.
  const bool array =
      py::isinstance<py::array>(values) && py::reinterpret_borrow<py::array>(values).ndim() > 0;
  if (PyIndex_Check(values.ptr()) && !array) return {to_int_at_least(values, name, least)};
  std::vector<int32_t> items;
  for (const py::handle item : to_items(values, name, expected)) {
    if (!PyIndex_Check(item.ptr())) wrong_kind(name, expected, values);
    items.push_back(to_int_at_least(item, name, least));
  }
  return items;
}

QuantumRange to_range(py::handle values, const char* name, int32_t least) {
  if (PyRange_Check(values.ptr())) {
    if (values.attr("step").cast<int64_t>() != 1) wrong_value(name, "a range of step 1");
    const int64_t start = index_of(values.attr("start"), name);
    const int64_t stop = index_of(values.attr("stop"), name);
    if (stop <= start) return {0, -1};
    return {checked_int(start, name, least), static_cast<int32_t>(stop - 1)};
  }
  const std::vector<int32_t> items = to_integers(values, name, least);
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (int64_t{items[i]} != int64_t{items[i - 1]} + 1) {
      wrong_value(name,
                  "consecutive integers in increasing order (levels are computed for a range "
                  "first..last)");
    }
  }
  if (items.empty()) return {0, -1};
  return {items.front(), items.back()};
}

RadialGrid to_grid(const std::string& curve_name, py::handle grid, const char* name) {
  const char* form = "(Rmin, Rmax, N)";
  const py::list items = sequence_items(grid, name, form);
  if (items.size() != 3) {
    wrong_value(name, std::string(form) + ", found " + std::to_string(items.size()) + " items");
  }
  const std::string Rmin = std::string(name) + " Rmin", Rmax = std::string(name) + " Rmax",
                    N = std::string(name) + " N";
  return checked_grid(curve_name, to_float(items[0], Rmin.c_str()),
                      to_float(items[1], Rmax.c_str()), to_int(items[2], N.c_str()));
}

const Curve& to_curve(py::handle value, const char* name) {
  if (!py::isinstance<Curve>(value)) wrong_kind(name, "a velk.Curve", value);
  return value.cast<const Curve&>();
}

SearchMode to_mode(py::handle value, const char* name) {
  const std::string mode = to_text(value, name);
  if (mode == "exact") return SearchMode::exact;
  if (mode == "fast") return SearchMode::fast;
  wrong_value(name, "\"exact\" or \"fast\", found \"" + mode + "\"");
}

}  // namespace velk::python
