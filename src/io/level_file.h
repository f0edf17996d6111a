// The level files written by both level producers and read back by the transition runs and by
// velk-plot.
//
// Layout: six header lines, the first beginning with the number of level lines as an integer
// ("    3 !number of levels"), the second naming the data file after a colon; then one line per
// level beginning with five values: the level index iline, v, J, the term energy E (cm-1) and
// the parity index p. Anything after those five values is the producer's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/free_format_reader.h"

namespace velk {

// The count announced in the first header line: the product of the three range sizes as they
// come, formed in 32-bit arithmetic (it wraps rather than clamps, and may be negative).
int64_t level_count(int32_t vmin, int32_t vmax, int32_t Jmin, int32_t Jmax, int32_t pmin,
                    int32_t pmax);

// J(J+1) in 32-bit integer arithmetic, the precision the printed term values are formed in;
// formed unsigned so that a wrap is defined.
inline int32_t rotational_product(int32_t J) {
  return static_cast<int32_t>(static_cast<uint32_t>(J) * (static_cast<uint32_t>(J) + 1u));
}

// The count heads a level file in five columns (I5): a file holds 99999 levels at most, and a
// negative product of reversed ranges down to -9999.
inline constexpr int64_t kLargestLevelCount = 99999;
inline constexpr int64_t kSmallestLevelCount = -9999;

// 46340·46341 = 2147441940 is the last product J(J+1) below 2^31; J = -46341 gives the same one.
inline constexpr int32_t kLargestJ = 46340;
inline constexpr int32_t kSmallestJ = -46341;

// A file name as the program writes it: exactly 12 characters, cut or blank padded.
std::string padded_name(std::string_view name);

inline constexpr int kLevelHeaderLines = 6;

// The five values every level line begins with.
struct LevelLine {
  int32_t iline = 0, v = 0, J = 0;
  double E = 0.0;  // cm-1
  int32_t p = 0;
};

// A level line as a listing shows it: a quasi-bound level carries the marker "res.". A line of
// the level solver also tells how well the level converged: the last energy correction Dcor
// (columns 56-65) and the node count of the solution (columns 81-84), at the same places in
// both of its layouts. Lines of other producers, or these columns unreadable, leave them unset.
struct ListedLevel : LevelLine {
  bool quasi_bound = false;
  std::optional<double> Dcor;  // cm-1
  std::optional<int32_t> node;
};

// Every readable level of a file, in file order.
struct LevelListing {
  std::string file_name;
  std::string data_file;  // the name on header line 2, empty when there is none
  std::vector<ListedLevel> levels;
  int32_t unreadable = 0;  // level lines left out because a value overflowed its columns (****)
};

// A level file opened for reading. It serves two readers of the same layout:
//  - the transition runs, which read the level lines one by one with the program's free-format
//    reads (a short file or a value of the wrong kind is the input layer's InputError, naming
//    file and line);
//  - a listing of the whole file (read_level_listing), which takes each line on its own.
// A missing file is an InputError of the input layer.
class LevelFileReader {
 public:
  explicit LevelFileReader(std::string_view file_name);

  // Skips the six header lines.
  void skip_header();
  // Reads the count at the start of the first header line and skips the other five.
  int32_t read_count_and_skip_header();
  // One free-format read of the five values of the next level line.
  LevelLine next();
  // The whole file from its first line as a listing (read_level_listing).
  LevelListing list(std::string_view program);

 private:
  FreeFormatReader in_;
};

// Reads a whole level file of either producer: six header lines, then level lines whose first
// five values are separated by blanks, tabs or commas. Blank lines are passed over, a line with
// a value written as asterisks is counted in `unreadable`, and a line holding "res." is a
// quasi-bound level. A file shorter than its header, a level line whose first five values are
// not iline, v, J, E and p, or a file beyond what velk writes (more than kLargestLevelCount
// levels, v spread over more values, J outside kSmallestJ..kLargestJ) throws InputError naming the
// file and the line; its message begins with `program` ("velk-plot"), the program that lists the
// file.
LevelListing read_level_listing(std::string_view file_name, std::string_view program);

}  // namespace velk
