#include "io/exomol_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <type_traits>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/run_file_check.h"

namespace velk {
namespace {

std::vector<std::string_view> blank_separated(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (true) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) break;
    const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

template <typename T>
std::optional<T> number(std::string_view text) {
  T value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(value)) return std::nullopt;
  }
  return value;
}

bool one_of(std::string_view field, std::string_view letters) {
  return field.size() == 1 && letters.find(field[0]) != std::string_view::npos;
}

}  // namespace

ExomolList read_exomol_list(const std::string& name, std::string_view program) {
  const std::string hint = "write it with velk-props linelist --name " + name;
  const std::string states_file = name + ".states", trans_file = name + ".trans";
  require_run_file(program, states_file, hint);
  require_run_file(program, trans_file, hint);
  ExomolList list;
  {
    FreeFormatReader in(states_file);
    std::size_t line_number = 0;
    while (const std::optional<std::string> line = in.try_read_line()) {
      ++line_number;
      const auto fail = [&](const std::string& what) {
        throw InputError(std::string(program) + ": " + states_file + ": line " +
                         std::to_string(line_number) + ": expected " + what);
      };
      const std::vector<std::string_view> f = blank_separated(*line);
      if (f.size() != 10) fail("10 fields: i E g_tot J tau +/- e/f State v Lambda");
      if (number<std::size_t>(f[0]) != line_number) {
        fail("the level number " + std::to_string(line_number) + " first");
      }
      ExomolState state;
      const std::optional<double> E = number<double>(f[1]);
      const std::optional<int32_t> g = number<int32_t>(f[2]), J = number<int32_t>(f[3]),
                                   v = number<int32_t>(f[8]), Lambda = number<int32_t>(f[9]);
      if (!E || !g || !J || !v || !Lambda || *g < 0 || *J < 0 || *v < 0 || *Lambda < 0) {
        fail("a finite E and whole g_tot, J, v, Lambda of 0 or more");
      }
      if (f[4] != "inf" && !number<double>(f[4])) fail("a lifetime tau, a number or inf");
      if (!one_of(f[5], "+-") || !one_of(f[6], "ef-") || !one_of(f[7], "AB")) {
        fail("+ or - for the parity, e, f or - for e/f, A or B for the state");
      }
      state.E = *E;
      state.g_tot = *g;
      state.J = *J;
      state.v = *v;
      state.Lambda = *Lambda;
      state.parity = f[5][0];
      state.e_f = f[6][0];
      state.state = f[7][0];
      list.states.push_back(state);
    }
  }
  FreeFormatReader in(trans_file);
  std::size_t line_number = 0;
  while (const std::optional<std::string> line = in.try_read_line()) {
    ++line_number;
    const std::vector<std::string_view> f = blank_separated(*line);
    const std::optional<std::size_t> upper =
        f.size() == 3 ? number<std::size_t>(f[0]) : std::nullopt;
    const std::optional<std::size_t> lower =
        f.size() == 3 ? number<std::size_t>(f[1]) : std::nullopt;
    const std::optional<double> A = f.size() == 3 ? number<double>(f[2]) : std::nullopt;
    if (!upper || !lower || !A || *upper < 1 || *lower < 1 || *upper > list.states.size() ||
        *lower > list.states.size() || *A < 0.0) {
      throw InputError(
          std::string(program) + ": " + trans_file + ": line " + std::to_string(line_number) +
          ": expected upper_i lower_i A, two levels of " + states_file + " (1 to " +
          std::to_string(list.states.size()) + ") and an Einstein coefficient of 0 or more");
    }
    list.lines.push_back(ExomolLine{*upper - 1, *lower - 1, *A});
  }
  return list;
}

}  // namespace velk
