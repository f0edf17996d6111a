// velk.fit: the fit of velk-fit, made by the same library call (fit_observed_lines) on a data file
// or rows given in Python and the states of a velk.inf, with the results as arrays.
//
// The data are read before the fit turns to the states' folder, so that a file name is taken as
// Python takes it (relative to the working directory) and the messages name it as given, as
// velk-fit's do when it runs there. Rows given in Python become the lines of a data file in
// memory under the name "data": line 1 holds the column names, so row k (from 0) is line k + 2.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>

#include "arguments.h"
#include "bindings.h"
#include "core_call.h"
#include "fit/fit_run.h"
#include "fit/observed_lines.h"
#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/run_folder.h"
#include "io/warning.h"
#include "numlib/failure_policy.h"

namespace velk::python {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFitPrefix = "velk-fit: ";
constexpr std::size_t kFields = 12;

// What velk.fit returns: arrays and plain values made once, with the interpreter lock held.
struct FitResults {
  py::object parameters, residuals, correlation, free, files;
  double sigma = 0.0;
  int iterations = 0, evaluations = 0;
  bool linear = false;
};

std::string column_name(std::size_t column) {
  const std::string_view names = fit::kDataColumns;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < column; ++i) begin = names.find(',', begin) + 1;
  return std::string(names.substr(begin, names.find(',', begin) - begin));
}

// A field of a row given in Python as the data file would hold it: None is empty, a number is
// written as the shortest text that reads back to the same value, a string as it stands.
std::string field_text(py::handle value, std::size_t row, std::size_t column) {
  const std::string where = "data: row " + std::to_string(row) + ", " + column_name(column);
  if (value.is_none()) return {};
  if (PyUnicode_Check(value.ptr())) {
    std::string text = value.cast<std::string>();
    if (text.find_first_of(",\r\n") != std::string::npos) {
      throw py::value_error(where + ": no comma or line end in a field, found " +
                            std::string(py::repr(value)));
    }
    return text;
  }
  if (PyBool_Check(value.ptr())) wrong_kind(where.c_str(), "a number, a str or None", value);
  if (PyIndex_Check(value.ptr()))
    return py::str(py::int_(py::reinterpret_borrow<py::object>(value)));
  if (PyFloat_Check(value.ptr()) || PyNumber_Check(value.ptr())) {
    const double x = to_float(value, where.c_str());
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return error == std::errc() ? std::string(buffer, end) : std::string("nan");
  }
  wrong_kind(where.c_str(), "a number, a str or None", value);
}

// Rows in Python: each a sequence of the twelve fields in the file's order, or a mapping from
// column names to fields (a column it leaves out is empty).
InputText data_from_rows(py::handle rows) {
  const char* expected = "a data file name or rows of the 12 data columns";
  InputText text{"data", std::string(fit::kDataColumns) + "\n", std::nullopt, false};
  std::size_t r = 0;
  for (const py::handle row : to_items(rows, "data", expected)) {
    std::vector<std::string> fields(kFields);
    if (PyMapping_Check(row.ptr()) && !PySequence_Check(row.ptr())) {
      const py::dict mapping(py::reinterpret_borrow<py::object>(row));
      for (const auto& [key, value] : mapping) {
        const std::string name = py::str(key);
        std::size_t c = 0;
        while (c < kFields && column_name(c) != name) ++c;
        if (c == kFields) {
          throw py::value_error("data: row " + std::to_string(r) + ": no column named " +
                                std::string(py::repr(key)));
        }
        fields[c] = field_text(value, r, c);
      }
    } else {
      if (PyUnicode_Check(row.ptr()) || !PySequence_Check(row.ptr())) {
        wrong_kind("data", expected, rows);
      }
      const py::sequence items = py::reinterpret_borrow<py::sequence>(row);
      if (items.size() != kFields) {
        throw py::value_error("data: row " + std::to_string(r) + ": 12 fields, found " +
                              std::to_string(items.size()));
      }
      for (std::size_t c = 0; c < kFields; ++c) fields[c] = field_text(items[c], r, c);
    }
    for (std::size_t c = 0; c < kFields; ++c) text.bytes += (c ? "," : "") + fields[c];
    text.bytes += "\n";
    ++r;
  }
  return text;
}

std::vector<std::string> free_options(py::handle free) {
  const char* expected = "a str such as \"A:beta0-beta3,De\" or a sequence of them";
  if (PyUnicode_Check(free.ptr())) return {free.cast<std::string>()};
  std::vector<std::string> options;
  for (const py::handle item : to_items(free, "free", expected)) {
    if (!PyUnicode_Check(item.ptr())) wrong_kind("free", expected, free);
    options.push_back(item.cast<std::string>());
  }
  if (options.empty()) throw py::value_error("free: name the free parameters, found none");
  return options;
}

// "state,name,start,value,uncertainty,free" of fit_parameters.csv; a Dunham name holds commas of
// its own ("Y(1,0)"), so the state is the first field and the rest are counted from the end.
struct ParameterLine {
  std::string state, name;
  double start = 0.0, value = 0.0, uncertainty = 0.0;
  bool free = false;
};

double number_of(std::string_view text) {
  if (text.empty()) return std::numeric_limits<double>::quiet_NaN();
  double x = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), x);
  return x;
}

ParameterLine parameter_line(const std::string& line) {
  ParameterLine p;
  const std::size_t first = line.find(',');
  std::size_t end = line.size();
  std::array<std::string_view, 4> last;
  for (std::size_t k = 4; k-- > 0;) {
    const std::size_t comma = line.rfind(',', end - 1);
    last[k] = std::string_view(line).substr(comma + 1, end - comma - 1);
    end = comma;
  }
  p.state = line.substr(0, first);
  p.name = line.substr(first + 1, end - first - 1);
  p.start = number_of(last[0]);
  p.value = number_of(last[1]);
  p.uncertainty = number_of(last[2]);
  p.free = last[3] == "y";
  return p;
}

const fit::FileText& file_named(const fit::FitOutcome& outcome, std::string_view name) {
  for (const fit::FileText& file : outcome.files) {
    if (file.name == name) return file;
  }
  throw std::logic_error("velk.fit: no " + std::string(name) + " among the fit's files");
}

py::object structured(const py::list& rows,
                      std::initializer_list<std::pair<const char*, const char*>> fields) {
  py::list dtype;
  for (const auto& [name, type] : fields) dtype.append(py::make_tuple(name, type));
  return py::module_::import("numpy").attr("array")(rows, py::arg("dtype") = dtype);
}

FitResults results_of(const fit::FitOutcome& outcome, py::dict files) {
  FitResults out;
  // The parameters as fit_parameters.csv gives them: its values read back are the fit's.
  const std::vector<std::string>& lines = file_named(outcome, "fit_parameters.csv").lines;
  py::list parameters;
  std::size_t longest = 1;  // a series name may be of any length
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const ParameterLine p = parameter_line(lines[i]);
    longest = std::max(longest, p.name.size());
    parameters.append(py::make_tuple(p.state, p.name, p.start, p.value, p.uncertainty, p.free));
  }
  const std::string name_type = "U" + std::to_string(longest);
  out.parameters = structured(parameters, {{"state", "U6"},
                                           {"name", name_type.c_str()},
                                           {"start", "f8"},
                                           {"value", "f8"},
                                           {"uncertainty", "f8"},
                                           {"free", "?"}});
  const fit::FitResult& result = outcome.result;
  py::list residuals;
  for (std::size_t r = 0; r < outcome.rows.size(); ++r) {
    const fit::ObservedLine& row = outcome.rows[r];
    // As fit_residuals.csv forms them, before its rounding.
    const double calc = result.calc(static_cast<Eigen::Index>(r));
    const double difference = row.wavenumber - calc;
    residuals.append(py::make_tuple(row.line, calc, difference, difference / row.uncertainty));
  }
  out.residuals = structured(
      residuals, {{"line", "i4"}, {"calc", "f8"}, {"obs_minus_calc", "f8"}, {"normalised", "f8"}});
  const auto P = result.correlation.rows();
  py::array_t<double> correlation({static_cast<py::ssize_t>(P), static_cast<py::ssize_t>(P)});
  auto c = correlation.mutable_unchecked<2>();
  for (Eigen::Index i = 0; i < P; ++i) {
    for (Eigen::Index j = 0; j < P; ++j) c(i, j) = result.correlation(i, j);
  }
  out.correlation = correlation;
  py::list free;
  for (const fit::ParameterRef& ref : outcome.free) {
    const std::string state = ref.kind == fit::ParameterKind::series
                                  ? std::string("series")
                                  : std::string(1, ref.state == 0 ? 'A' : 'B');
    free.append(py::make_tuple(state, ref.name));
  }
  out.free = free;
  out.files = files;
  out.sigma = result.sigma;
  out.iterations = result.iterations;
  out.evaluations = result.evaluations;
  out.linear = result.linear;
  return out;
}

// The core's messages as velk-fit prints them.
template <class Work>
auto as_velk_fit(Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const InputError& error) {
    throw InputError(in_own_name(kFitPrefix, error.what()));
  } catch (const StopRun& stop) {
    throw StopRun(in_own_name(kFitPrefix, stop.what()));
  } catch (const NumericalFailure& failure) {
    throw NumericalFailure(in_own_name(kFitPrefix, failure.what()));
  }
}

}  // namespace

void bind_fit(py::module_& m) {
  py::class_<FitResults>(m, "FitResult",
                         "The results of velk.fit (the numbers of velk-fit's files, unrounded).")
      .def_readonly("parameters", &FitResults::parameters,
                    "Every parameter as fit_parameters.csv lists it: state, name, start, value, "
                    "uncertainty (NaN when held), free.")
      .def_readonly("residuals", &FitResults::residuals,
                    "One per data row: line (of the data), calc, obs_minus_calc, normalised.")
      .def_readonly("correlation", &FitResults::correlation,
                    "The correlation matrix of the free parameters, in the order of `free`.")
      .def_readonly("free", &FitResults::free,
                    "The free parameters as (state, name), series energies last (state "
                    "\"series\").")
      .def_readonly("sigma", &FitResults::sigma,
                    "The dimensionless standard deviation sqrt(chi^2/(N - P)).")
      .def_readonly("iterations", &FitResults::iterations)
      .def_readonly("evaluations", &FitResults::evaluations,
                    "Level computations, every trial step included.")
      .def_readonly("linear", &FitResults::linear,
                    "Whether every free parameter entered linearly (one least-squares step).")
      .def_readonly("files", &FitResults::files,
                    "The files written, {name: pathlib.Path}; empty unless `out` was given.");

  m.def(
      "fit",
      [](const FitData& data, const Path& states, const FreeNames& free, const Int& max_iterations,
         const OptionalPath& out) {
        std::optional<InputText> text;
        std::string data_name;
        if (is_path(data)) {
          data_name = to_path(data, "data");
        } else {
          text = data_from_rows(data);
          data_name = text->name;
        }
        const fs::path where = to_path(states, "states");
        fit::FitRequest request;
        request.data_name = data_name;
        request.free = free_options(free);
        request.max_iterations = to_int_at_least(max_iterations, "max_iterations", 1);
        std::optional<fs::path> folder;
        if (!out.is_none()) folder = fs::absolute(to_path(out, "out"));
        const fs::path folder_of_states = fs::is_directory(where) ? where : where.parent_path();
        const fs::path run_folder =
            fs::absolute(folder_of_states.empty() ? fs::path(".") : folder_of_states);
        if (!fs::is_directory(where)) request.control_file = where.filename().string();

        const fit::FitOutcome outcome = call_core([&] {
          return without_gil([&] {
            return as_velk_fit([&] {
              // Read where Python stands, then fit where the states are.
              std::vector<fit::ObservedLine> rows =
                  text ? fit::read_observed_lines(*text) : fit::read_observed_lines(data_name);
              const RunFolder here(run_folder.string());
              fit::FitOutcome fitted = fit::fit_observed_lines(std::move(rows), request);
              if (!fitted.result.converged) {
                throw StopRun(fit::non_convergence_message(fitted, request.max_iterations));
              }
              if (folder) fit::write_fit_files(folder->string(), fitted.files);
              for (const std::string& w : fitted.warnings) warn(w);
              return fitted;
            });
          });
        });
        py::dict files;
        if (folder) {
          const py::object PathType = py::module_::import("pathlib").attr("Path");
          for (const fit::FileText& file : outcome.files)
            files[py::str(file.name)] = PathType((*folder / file.name).string());
        }
        return results_of(outcome, files);
      },
      py::arg("data"), py::arg("states"), py::kw_only(), py::arg("free"),
      py::arg("max_iterations") = 50, py::arg("out") = py::none(),
      R"doc(Fits the free parameters to observed lines as velk-fit does (docs/fit.md), by the same
library call, and returns a velk.FitResult.

data: a data file of velk-fit (a name as Python takes it), or rows of the 12 columns
upper_state, upper_v, upper_J, upper_p, lower_state, lower_v, lower_J, lower_p, wavenumber,
uncertainty, mass_index, series (each a sequence in that order or a mapping by column name;
None or "" for an empty field); messages about rows name them "data", line k + 2 for row k.
states: the folder of the velk.inf that names the two states (or that control file itself).
free: velk-fit's --free values, such as "A:beta0-beta3,De" or ["A:De", "B:Y(1,0)"].
max_iterations: the iteration limit. out: a folder to write velk-fit's files into; None
writes nothing. Refusals raise velk.InputError and non-convergence velk.StopRun, with
velk-fit's messages; what the state files cannot hold is a velk.VelkWarning.)doc");
}

}  // namespace velk::python
