// Python arguments turned into the core's values, shared by the module's bindings.
//
// A binding takes each argument as one of the parameter types below. Each accepts any Python
// object, so that a wrong one reaches the conversion, where the argument's name is known,
// instead of pybind11's overload resolution, which can only say that nothing matched; each shows
// the expected type in the signature that help() and the type stubs give. The conversions raise
// TypeError for a wrong kind of object and ValueError for a wrong value, the message beginning
// with the argument's name ("tol: must be positive, found 0.0"). They run before a computation
// starts, with the interpreter lock held. A grid the run would refuse raises the run's StopRun,
// with the run's message.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "curve.h"
#include "pec/radial_grid.h"
#include "solver/level_driver.h"

namespace velk::python {

namespace py = pybind11;

namespace parameter {

inline bool accepts_any(PyObject*) {
  return true;
}

}  // namespace parameter

// A parameter type holding the Python object as given; its annotation is in pybind11::detail
// below.
#define VELK_PARAMETER(Type)                                       \
  class Type : public py::object {                                 \
   public:                                                         \
    PYBIND11_OBJECT_DEFAULT(Type, object, parameter::accepts_any); \
  }

VELK_PARAMETER(Float);
VELK_PARAMETER(OptionalFloat);
VELK_PARAMETER(Int);
VELK_PARAMETER(OptionalInt);
VELK_PARAMETER(Bool);
VELK_PARAMETER(Text);
VELK_PARAMETER(Path);
VELK_PARAMETER(Numbers);
VELK_PARAMETER(Masses);
VELK_PARAMETER(Quantum);
VELK_PARAMETER(OptionalQuantum);
VELK_PARAMETER(Grid);
VELK_PARAMETER(OptionalGrid);
VELK_PARAMETER(Window);
VELK_PARAMETER(Triple);
VELK_PARAMETER(Wall);
VELK_PARAMETER(Coefficients);
VELK_PARAMETER(FitNames);
VELK_PARAMETER(CurveParameter);
VELK_PARAMETER(Moment);
VELK_PARAMETER(Radii);
VELK_PARAMETER(IntegerArray);
VELK_PARAMETER(DunhamSource);
VELK_PARAMETER(OptionalPath);
VELK_PARAMETER(FitData);
VELK_PARAMETER(FreeNames);
// Returned values, so that the signatures show what they hold.
VELK_PARAMETER(Table);
VELK_PARAMETER(Values);
VELK_PARAMETER(ArrayPair);
VELK_PARAMETER(Written);
VELK_PARAMETER(MassTuple);
VELK_PARAMETER(FloatPair);

#undef VELK_PARAMETER

// Raises TypeError("NAME: expected EXPECTED, found TYPE").
[[noreturn]] void wrong_kind(const char* name, const std::string& expected, py::handle value);

// A number (int, float or a numpy scalar; not a string).
double to_float(py::handle value, const char* name);
// A number > 0 and finite.
double to_positive(py::handle value, const char* name);
std::optional<double> to_optional_float(py::handle value, const char* name);

// An integer (int, a numpy integer, anything with __index__; not a float) of 32 bits.
int32_t to_int(py::handle value, const char* name);
// An integer >= `least`.
int32_t to_int_at_least(py::handle value, const char* name, int32_t least);
std::optional<int32_t> to_optional_int(py::handle value, const char* name);

// True or False (a numpy bool too).
bool to_bool(py::handle value, const char* name);

// A str.
std::string to_text(py::handle value, const char* name);

// os.fspath(path) as text: a str or a path-like object (bytes decoded as the file system does).
std::string to_path(py::handle path, const char* name);
bool is_path(py::handle value);

// The items of an iterable that is not a string or a mapping; `expected` says what it should be.
py::list to_items(py::handle values, const char* name, const char* expected);

// The values as a numpy array of numbers (booleans, integers or floats, of any shape), or
// nothing when they are not numbers: strings and ragged nests are refused rather than parsed
// or flattened.
std::optional<py::array> numeric_array(py::handle values);

// A one-dimensional sequence of finite numbers.
std::vector<double> to_vector(py::handle values, const char* name);

// Radii: a number (an array of no dimension) or an array of numbers of any shape, NaN allowed.
py::array_t<double, py::array::c_style | py::array::forcecast> to_radii(py::handle values,
                                                                        const char* name);

// A sequence of exactly `n` numbers (a tuple, list or array).
template <std::size_t n>
std::array<double, n> to_floats(py::handle values, const char* name, const char* form);

// A mapping {k: C_k} of integer keys to numbers.
std::map<int, double> to_coefficients(py::handle values, const char* name);

// A float, or a sequence of one to five floats: the reduced masses 1..5 (u), the rest 0.
std::array<double, 5> to_masses(py::handle masses, const char* name);

// Quantum numbers: an integer, a range or a sequence of integers, in the order given, each
// >= `least` (use INT32_MIN for no limit).
std::vector<int32_t> to_integers(py::handle values, const char* name, int32_t least);

// int n -> n..n; range(a, b) -> a..b-1 (empty when b <= a); a sequence of consecutive integers,
// each >= `least`.
QuantumRange to_range(py::handle values, const char* name, int32_t least);

// grid=(Rmin, Rmax, N) (Å), checked as the run checks a grid, its messages naming `curve_name`.
RadialGrid to_grid(const std::string& curve_name, py::handle grid, const char* name);

// A velk.Curve.
const Curve& to_curve(py::handle value, const char* name);

// "exact" or "fast".
SearchMode to_mode(py::handle value, const char* name);

}  // namespace velk::python

// The annotations help() and the type stubs show for the parameter types.
namespace pybind11::detail {

#define VELK_ANNOTATION(Type, text)                \
  template <>                                      \
  struct handle_type_name<velk::python::Type> {    \
    static constexpr auto name = const_name(text); \
  }

VELK_ANNOTATION(Float, "float");
VELK_ANNOTATION(OptionalFloat, "float | None");
VELK_ANNOTATION(Int, "int");
VELK_ANNOTATION(OptionalInt, "int | None");
VELK_ANNOTATION(Bool, "bool");
VELK_ANNOTATION(Text, "str");
VELK_ANNOTATION(Path, "str | os.PathLike[str]");
VELK_ANNOTATION(Numbers, "ArrayLike");
VELK_ANNOTATION(Masses, "float | Sequence[float]");
VELK_ANNOTATION(Quantum, "int | range | Sequence[int]");
VELK_ANNOTATION(OptionalQuantum, "int | range | Sequence[int] | None");
VELK_ANNOTATION(Grid, "tuple[float, float, int]");
VELK_ANNOTATION(OptionalGrid, "tuple[float, float, int] | None");
VELK_ANNOTATION(Window, "tuple[float, float] | None");
VELK_ANNOTATION(Triple, "tuple[float, float, float] | None");
VELK_ANNOTATION(Wall, "tuple[int, float, float, float] | tuple[int, float, float]");
VELK_ANNOTATION(Coefficients, "Mapping[int, float] | None");
VELK_ANNOTATION(FitNames, "Iterable[int | str]");
VELK_ANNOTATION(CurveParameter, "velk.Curve");
VELK_ANNOTATION(Moment, "str | os.PathLike[str] | tuple[ArrayLike, ArrayLike] | None");
VELK_ANNOTATION(Radii, "float | ArrayLike");
VELK_ANNOTATION(IntegerArray, "int | ArrayLike");
VELK_ANNOTATION(DunhamSource, "str | os.PathLike[str] | ArrayLike");
VELK_ANNOTATION(OptionalPath, "str | os.PathLike[str] | None");
VELK_ANNOTATION(FitData,
                "str | os.PathLike[str] | Iterable[Sequence[object] | Mapping[str, object]]");
VELK_ANNOTATION(FreeNames, "str | Sequence[str]");
VELK_ANNOTATION(Table, "numpy.ndarray");
VELK_ANNOTATION(Values, "float | numpy.ndarray");
VELK_ANNOTATION(ArrayPair, "tuple[numpy.ndarray, numpy.ndarray]");
VELK_ANNOTATION(Written, "dict[str, pathlib.Path]");
VELK_ANNOTATION(MassTuple, "tuple[float, float, float, float, float]");
VELK_ANNOTATION(FloatPair, "tuple[float, float]");

#undef VELK_ANNOTATION

}  // namespace pybind11::detail
