#include "io/transition_file.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "io/errors.h"
#include "io/free_format_reader.h"
#include "io/run_file_check.h"

namespace velk {
namespace {

// A header longer than this is not the program's: it writes four lines.
constexpr int kMaxHeaderLines = 12;

// Columns of a transition line, 0-based start and width.
struct Field {
  std::size_t start, width;
};
constexpr std::array<Field, 6> kFields{{{0, 5}, {5, 5}, {10, 4}, {14, 4}, {18, 4}, {22, 15}}};

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

bool is_separator_line(const std::string& text) {
  return text.size() >= 5 && text.find_first_not_of('=') == std::string::npos;
}

}  // namespace

Branch branch_of(int32_t J_lower, int32_t J_upper) {
  if (J_upper < J_lower) return Branch::P;
  if (J_upper == J_lower) return Branch::Q;
  return Branch::R;
}

char branch_letter(Branch branch) {
  return "PQR"[static_cast<std::size_t>(branch)];
}

void orient_known_level(TransitionFileData& data, const std::string& state_A_file) {
  if (data.known_level_upper || data.known_run_data_file.empty() ||
      data.known_run_data_file != trimmed(state_A_file)) {
    return;
  }
  for (TransitionRecord& line : data.lines) {
    std::swap(line.v_lower, line.v_upper);
    std::swap(line.J_lower, line.J_upper);
  }
  data.known_level_upper = true;
}

TransitionFileData read_transition_file(const std::string& path, std::string_view program) {
  require_run_file(program, path, "run velk first");
  const std::string prefix = std::string(program) + ": " + path + ": ";
  FreeFormatReader in(path);
  TransitionFileData data;
  data.file_name = path;
  int line_number = 0;
  bool header_done = false;
  while (!header_done && line_number < kMaxHeaderLines) {
    const std::optional<std::string> header_line = in.try_read_line();
    if (!header_line) break;
    ++line_number;
    const std::string text = trimmed(*header_line);
    if (is_separator_line(text)) {
      header_done = true;
    } else if (!text.empty()) {
      data.header.push_back(text);
      if (text.starts_with("Data file:")) data.known_run_data_file = trimmed(text.substr(10));
    }
  }
  if (!header_done) {
    throw InputError(prefix +
                     "no line of equals signs ends a header; this is not a transition list "
                     "written by velk");
  }
  while (const std::optional<std::string> next = in.try_read_line()) {
    ++line_number;
    const std::string& line = *next;
    if (trimmed(line).empty()) continue;
    const auto bad_line = [&] {
      return InputError(prefix + "line " + std::to_string(line_number) +
                        ": expected a transition line (I5, I5, I4, I4, I4, F15.6), found \"" +
                        trimmed(line) + "\"");
    };
    if (line.size() < kFields.back().start + kFields.back().width) throw bad_line();
    std::array<std::string, 6> fields;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
      fields[k] = trimmed(std::string_view(line).substr(kFields[k].start, kFields[k].width));
    }
    if (std::any_of(fields.begin(), fields.end(),
                    [](const std::string& f) { return f.find('*') != std::string::npos; })) {
      ++data.unreadable;
      continue;
    }
    std::array<std::optional<int32_t>, 5> integers;
    for (std::size_t k = 0; k < 5; ++k) integers[k] = parse_integer(fields[k]);
    const std::optional<double> nu = parse_real(fields[5]);
    if (!nu || std::any_of(integers.begin(), integers.end(),
                           [](const std::optional<int32_t>& i) { return !i; })) {
      throw bad_line();
    }
    data.lines.push_back(
        {*integers[0], *integers[1], *integers[2], *integers[3], *integers[4], *nu});
  }
  return data;
}

}  // namespace velk
