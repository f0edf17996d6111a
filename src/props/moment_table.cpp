#include "props/moment_table.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/line_list_file.h"
#include "io/run_folder.h"
#include "pec/spline.h"

namespace velk::props {
namespace {

std::string located(const std::string& name, int line, const std::string& what) {
  return "velk-props: " + name + (line > 0 ? ": line " + std::to_string(line) : "") + ": " + what;
}

// One number at the start of `text`, which then goes on after it and its separator.
bool take_number(std::string_view& text, double& value) {
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  text.remove_prefix(start);
  const std::string item(text.substr(0, text.find_first_of(" \t,")));
  if (item.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(item.c_str(), &end);
  if (end != item.c_str() + item.size() || errno == ERANGE || !std::isfinite(value)) return false;
  text.remove_prefix(item.size());
  const std::size_t next = text.find_first_not_of(" \t");
  text.remove_prefix(next == std::string_view::npos ? text.size() : next);
  if (!text.empty() && text.front() == ',') text.remove_prefix(1);
  return true;
}

}  // namespace

MomentTable MomentTable::read(const std::string& path) {
  // The input layer's reader refuses what is not a regular file and stops at an endless line.
  std::error_code error;
  if (!std::filesystem::exists(resolved_file_name(path), error)) {
    throw InputError(located(path, 0, "cannot open the transition-moment file"));
  }
  FreeFormatReader in(path);
  std::vector<double> R, M;
  int number = 0;
  while (std::optional<std::string> next = in.try_read_line()) {
    std::string& line = *next;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string_view text(line);
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos || text[start] == '#') continue;
    double r = 0.0, m = 0.0;
    const bool two = take_number(text, r) && take_number(text, m);
    if (!two || text.find_first_not_of(" \t") != std::string_view::npos) {
      throw InputError(
          located(path, number, "expected two numbers, R (Å) and the transition moment (debye)"));
    }
    if (std::fabs(m) > kLargestMoment) {
      throw InputError(located(path, number, "expected a transition moment of at most 1e6 D"));
    }
    if (!R.empty() && !(r > R.back())) {
      throw InputError(located(path, number, "the radii must increase from line to line"));
    }
    R.push_back(r);
    M.push_back(m);
  }
  return MomentTable(std::move(R), std::move(M), path);
}

MomentTable::MomentTable(std::vector<double> R, std::vector<double> M, const std::string& name) {
  if (R.size() < 2 || R.size() > static_cast<std::size_t>(kSplineCapacity) ||
      R.size() != M.size()) {
    throw InputError(
        located(name, 0, "expected 2 to 500 points R, M; found " + std::to_string(R.size())));
  }
  for (std::size_t i = 0; i < R.size(); ++i) {
    if (!std::isfinite(R[i]) || !std::isfinite(M[i]) || std::fabs(M[i]) > kLargestMoment) {
      throw InputError(located(name, 0,
                               "point " + std::to_string(i + 1) +
                                   ": expected finite numbers R and M, |M| at most 1e6 D"));
    }
  }
  for (std::size_t i = 1; i < R.size(); ++i) {
    if (!(R[i] > R[i - 1])) {
      throw InputError(located(name, 0, "the radii must increase from point to point"));
    }
  }
  R_.assign(1, 0.0);
  M_.assign(1, 0.0);
  R_.insert(R_.end(), R.begin(), R.end());
  M_.insert(M_.end(), M.begin(), M.end());
  M2_.assign(R_.size(), 0.0);
  spline_second_derivatives(static_cast<int>(R.size()), R_, M_, M2_, 0.0, 0.0);
}

double MomentTable::operator()(double R) const {
  const int n = static_cast<int>(size());
  if (R <= R_[1]) return M_[1];
  if (R >= R_[static_cast<std::size_t>(n)]) return M_[static_cast<std::size_t>(n)];
  return spline_value(R, 1, n, R_, M_, M2_);
}

}  // namespace velk::props
