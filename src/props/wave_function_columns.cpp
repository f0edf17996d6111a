#include "props/wave_function_columns.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/errors.h"
#include "io/output_file.h"
#include "io/run_folder.h"
#include "props/csv_table.h"

namespace velk::props {
namespace {

// The rows of a band are read back together: about this many values at a time.
constexpr std::size_t kBandValues = std::size_t{1} << 21;

int open_scratch(const std::string& output_name) {
  const std::string path = resolved_file_name(output_name);
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  // A file without a name vanishes with its descriptor; where the file system cannot make one,
  // the system's temporary folder serves.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return -1;
  fd = ::dup(::fileno(file));
  std::fclose(file);
  return fd;
}

}  // namespace

double wave_function_table_bytes(std::size_t levels, int points) {
  return static_cast<double>(points) * (static_cast<double>(levels) + 1.0) *
         kBytesPerWaveFunctionCell;
}

WaveFunctionColumns::WaveFunctionColumns(std::size_t columns, const RadialGrid& grid,
                                         const std::string& output_name)
    : columns_(columns), grid_(grid), name_(output_name), fd_(open_scratch(output_name)) {
  if (fd_ < 0) {
    throw InputError("velk-props: cannot write output file \"" + name_ +
                     "\": no scratch file for its columns: " + std::strerror(errno));
  }
}

WaveFunctionColumns::~WaveFunctionColumns() {
  if (fd_ >= 0) ::close(fd_);
}

void WaveFunctionColumns::add(std::size_t column, std::span<const double> psi) {
  pending_columns_.push_back(column);
  const auto N = static_cast<std::size_t>(grid_.N);
  pending_.insert(pending_.end(), psi.begin() + 1,
                  psi.begin() + 1 + static_cast<std::ptrdiff_t>(N));
}

void WaveFunctionColumns::end_block() {
  if (pending_columns_.empty()) return;
  const auto N = static_cast<std::size_t>(grid_.N);
  const std::size_t width = pending_columns_.size();
  // Row by row within the block, so that a band of rows is one read.
  std::vector<double> rows(N * width);
  for (std::size_t c = 0; c < width; ++c) {
    for (std::size_t i = 0; i < N; ++i) rows[i * width + c] = pending_[c * N + i];
  }
  const auto* bytes = reinterpret_cast<const char*>(rows.data());
  std::size_t left = rows.size() * sizeof(double);
  int64_t at = size_;
  while (left > 0) {
    const ssize_t written = ::pwrite(fd_, bytes, left, at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      throw InputError("velk-props: writing output file \"" + name_ +
                       "\" failed: its scratch file: " + std::strerror(errno));
    }
    bytes += written;
    left -= static_cast<std::size_t>(written);
    at += written;
  }
  blocks_.push_back({pending_columns_, size_});
  size_ = at;
  pending_columns_.clear();
  pending_.clear();
  pending_.shrink_to_fit();
}

void WaveFunctionColumns::read_values(int64_t offset, std::span<double> values) const {
  auto* bytes = reinterpret_cast<char*>(values.data());
  std::size_t left = values.size() * sizeof(double);
  while (left > 0) {
    const ssize_t got = ::pread(fd_, bytes, left, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      throw InputError("velk-props: writing output file \"" + name_ +
                       "\" failed: reading its scratch file back: " +
                       (got == 0 ? std::string("short read") : std::strerror(errno)));
    }
    bytes += got;
    left -= static_cast<std::size_t>(got);
    offset += got;
  }
}

void WaveFunctionColumns::write_rows(OutputFile& out) {
  end_block();
  const auto N = static_cast<std::size_t>(grid_.N);
  const std::size_t band =
      std::max<std::size_t>(1, kBandValues / std::max<std::size_t>(1, columns_));
  std::vector<double> table(band * columns_);
  std::vector<bool> present(columns_, false);
  for (const Block& block : blocks_) {
    for (const std::size_t c : block.columns) present[c] = true;
  }
  std::vector<double> slice;
  for (std::size_t first = 0; first < N; first += band) {
    const std::size_t rows = std::min(band, N - first);
    for (const Block& block : blocks_) {
      const std::size_t width = block.columns.size();
      slice.resize(rows * width);
      read_values(block.offset + static_cast<int64_t>(first * width * sizeof(double)), slice);
      for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < width; ++c) {
          table[r * columns_ + block.columns[c]] = slice[r * width + c];
        }
      }
    }
    for (std::size_t r = 0; r < rows; ++r) {
      CsvRow row;
      row.number(grid_.R(static_cast<int>(first + r + 1)));
      for (std::size_t c = 0; c < columns_; ++c) {
        if (present[c]) {
          row.number(table[r * columns_ + c]);
        } else {
          row.empty();
        }
      }
      out.line(row.line());
    }
  }
}

}  // namespace velk::props
