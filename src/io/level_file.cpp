#include "io/level_file.h"

#include <algorithm>
#include <cstdint>

#include "io/errors.h"

namespace velk {
namespace {

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

// The first `count` values of a line: texts separated by blanks, tabs, commas or a carriage
// return. Fewer come back when the line holds fewer.
std::vector<std::string_view> leading_values(std::string_view line, std::size_t count) {
  std::vector<std::string_view> values;
  constexpr std::string_view kSeparators = " \t,\r";
  std::size_t position = 0;
  while (values.size() < count) {
    const auto start = line.find_first_not_of(kSeparators, position);
    if (start == std::string_view::npos) break;
    auto end = line.find_first_of(kSeparators, start);
    if (end == std::string_view::npos) end = line.size();
    values.push_back(line.substr(start, end - start));
    position = end;
  }
  return values;
}

std::optional<ListedLevel> parse_level_line(const std::vector<std::string_view>& values) {
  if (values.size() != 5) return std::nullopt;
  const auto iline = parse_integer(values[0]);
  const auto v = parse_integer(values[1]);
  const auto J = parse_integer(values[2]);
  const auto E = parse_real(values[3]);
  const auto p = parse_integer(values[4]);
  if (!iline || !v || !J || !E || !p) return std::nullopt;
  ListedLevel level;
  level.iline = *iline;
  level.v = *v;
  level.J = *J;
  level.E = *E;
  level.p = *p;
  return level;
}

// Columns of the level solver's lines (0-based start, width), and the width both layouts fill.
constexpr std::size_t kDcorStart = 55, kDcorWidth = 10;
constexpr std::size_t kNodeStart = 80, kNodeWidth = 4;
constexpr std::size_t kSolverLineWidth = 84;

void read_convergence(std::string_view line, ListedLevel& level) {
  if (line.size() < kSolverLineWidth) return;
  level.Dcor = parse_real(trimmed(line.substr(kDcorStart, kDcorWidth)));
  level.node = parse_integer(trimmed(line.substr(kNodeStart, kNodeWidth)));
}

}  // namespace

int64_t level_count(int32_t vmin, int32_t vmax, int32_t Jmin, int32_t Jmax, int32_t pmin,
                    int32_t pmax) {
  const auto size = [](int32_t first, int32_t last) {
    return static_cast<uint32_t>(static_cast<int64_t>(last) - first + 1);
  };
  // The count is a 32-bit product; unsigned arithmetic gives its wrapped value without undefined
  // behaviour.
  const uint32_t product = size(vmin, vmax) * size(Jmin, Jmax) * size(pmin, pmax);
  return static_cast<int32_t>(product);
}

std::string padded_name(std::string_view name) {
  std::string padded(name.substr(0, 12));
  padded.resize(12, ' ');
  return padded;
}

LevelFileReader::LevelFileReader(std::string_view file_name) : in_(file_name) {}

void LevelFileReader::skip_header() {
  for (int i = 0; i < kLevelHeaderLines; ++i) in_.skip();
}

int32_t LevelFileReader::read_count_and_skip_header() {
  int32_t count = 0;
  in_.read(count);
  for (int i = 1; i < kLevelHeaderLines; ++i) in_.skip();
  return count;
}

LevelLine LevelFileReader::next() {
  LevelLine level;
  in_.read(level.iline, level.v, level.J, level.E, level.p);
  return level;
}

LevelListing LevelFileReader::list(std::string_view program) {
  const std::string prefix = std::string(program) + ": " + in_.file_name() + ": line ";
  LevelListing listing;
  listing.file_name = in_.file_name();
  for (int k = 1; k <= kLevelHeaderLines; ++k) {
    const auto line = in_.try_read_line();
    if (!line) {
      throw InputError(prefix + std::to_string(in_.line_number() + 1) +
                       ": the file ends within its six header lines");
    }
    if (k == 2) {
      const auto colon = line->find(':');
      if (colon != std::string::npos) listing.data_file = trimmed(line->substr(colon + 1));
    }
  }
  int64_t smallest_v = INT64_MAX, largest_v = INT64_MIN;
  while (const auto line = in_.try_read_line()) {
    const std::vector<std::string_view> values = leading_values(*line, 5);
    if (values.empty()) continue;
    const bool overflowed = std::any_of(values.begin(), values.end(), [](std::string_view v) {
      return v.find('*') != std::string_view::npos;
    });
    if (overflowed) {
      ++listing.unreadable;
      continue;
    }
    std::optional<ListedLevel> level = parse_level_line(values);
    if (!level) {
      throw InputError(prefix + std::to_string(in_.line_number()) +
                       ": expected a level line beginning with iline, v, J, E and p, found \"" +
                       trimmed(*line) + "\"");
    }
    const std::string where = prefix + std::to_string(in_.line_number()) + ": ";
    if (listing.levels.size() >= static_cast<std::size_t>(kLargestLevelCount)) {
      throw InputError(where + "more than " + std::to_string(kLargestLevelCount) +
                       " levels; velk writes no more to a level file");
    }
    smallest_v = std::min(smallest_v, int64_t{level->v});
    largest_v = std::max(largest_v, int64_t{level->v});
    if (largest_v - smallest_v >= kLargestLevelCount || level->J < kSmallestJ ||
        level->J > kLargestJ) {
      throw InputError(where + "v = " + std::to_string(level->v) + ", J = " +
                       std::to_string(level->J) + " lies beyond what velk computes (v within " +
                       std::to_string(kLargestLevelCount) + " values, J from " +
                       std::to_string(kSmallestJ) + " to " + std::to_string(kLargestJ) + ")");
    }
    level->quasi_bound = line->find("res.") != std::string::npos;
    read_convergence(*line, *level);
    listing.levels.push_back(*level);
  }
  return listing;
}

LevelListing read_level_listing(std::string_view file_name, std::string_view program) {
  return LevelFileReader(file_name).list(program);
}

}  // namespace velk
