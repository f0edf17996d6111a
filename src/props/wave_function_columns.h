// The wave functions of many levels written as the columns of one table (R, then one column per
// level), with memory bounded by the levels of one J.
//
// The table's rows are grid points and its columns levels, while the levels come J by J: the
// columns of each J are set aside in a scratch file (no name in the file system, so that nothing
// is left whatever ends the program) as rows of that J's columns, and the table is then written
// row by row, a band of rows at a time, each band read back from every J's block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pec/radial_grid.h"

namespace velk {
class OutputFile;
}

namespace velk::props {

// The bytes of a cell, generously: the shortest round-trip text of a double and its comma, which
// for the values of a normalised wave function is mostly 18 to 22 characters ("0.123456789012345",
// "-1.234567890123456e-05"); the cells of the tails, where ψ is 0, take two. The bound said before
// a large table is begun is an upper one in practice (a table of 198 Na2 levels takes a quarter).
inline constexpr double kBytesPerWaveFunctionCell = 22.0;

// An upper bound of the bytes of a table of `levels` columns of wave functions on `points` grid
// points, said before a large table is begun.
double wave_function_table_bytes(std::size_t levels, int points);

class WaveFunctionColumns {
 public:
  // `columns` levels on `grid`; the scratch file is made beside `output_name`.
  WaveFunctionColumns(std::size_t columns, const RadialGrid& grid, const std::string& output_name);
  WaveFunctionColumns(const WaveFunctionColumns&) = delete;
  WaveFunctionColumns& operator=(const WaveFunctionColumns&) = delete;
  ~WaveFunctionColumns();

  // The wave function (slots 1..N) of column `column`, kept until the block ends.
  void add(std::size_t column, std::span<const double> psi);
  // Sets the columns added since the last call aside.
  void end_block();
  // Writes every grid point's row: R, then the columns in order, a column never added empty.
  void write_rows(OutputFile& out);

 private:
  struct Block {
    std::vector<std::size_t> columns;
    int64_t offset = 0;  // of its first value in the scratch file
  };
  void read_values(int64_t offset, std::span<double> values) const;

  std::size_t columns_;
  RadialGrid grid_;
  std::string name_;
  int fd_ = -1;
  int64_t size_ = 0;
  std::vector<Block> blocks_;
  std::vector<std::size_t> pending_columns_;
  std::vector<double> pending_;  // column by column, N values each
};

}  // namespace velk::props
