#include "io/free_format_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "io/errors.h"
#include "io/run_folder.h"

namespace velk {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}
bool is_separator(char c) {
  return is_blank(c) || c == ',' || c == '/';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

constexpr std::size_t kBufferSize = 1 << 16;

// What a file that is not a regular file is, as a refusal names it.
const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a directory";
  if (S_ISFIFO(mode)) return "it is a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device";
  if (S_ISSOCK(mode)) return "it is a socket";
  return "it is not a regular file";
}

std::string quoted_token(std::string_view token) {
  constexpr std::size_t kShown = 40;
  std::string shown;
  for (char c : token.substr(0, kShown)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += (byte < 0x20 || byte >= 0x7f) ? '?' : c;
  }
  if (token.size() > kShown) shown += "...";
  return "\"" + shown + "\"";
}

}  // namespace

std::string trimmed_file_name(std::string_view name) {
  const auto end = name.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : name.substr(0, end + 1));
}

std::optional<int32_t> parse_integer(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  if (pos == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; pos < text.size(); ++pos) {
    if (!is_digit(text[pos])) return std::nullopt;
    value = value * 10 + (text[pos] - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<double> parse_real(std::string_view text) {
  // [sign] digits [. digits] [exponent], the exponent being E or D with an optional sign, or a
  // bare sign as list-directed input allows (1.0+5), followed by digits. The text is checked here
  // rather than left to strtod, which would also take hexadecimal, NaN and Inf.
  std::string normal;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) normal += text[pos++];
  int mantissa_digits = 0;
  while (pos < text.size() && is_digit(text[pos])) normal += text[pos++], ++mantissa_digits;
  if (pos < text.size() && text[pos] == '.') {
    normal += text[pos++];
    while (pos < text.size() && is_digit(text[pos])) normal += text[pos++], ++mantissa_digits;
  }
  if (mantissa_digits == 0) return std::nullopt;
  if (pos < text.size()) {
    const char c = text[pos];
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
      ++pos;
    } else if (c != '+' && c != '-') {
      return std::nullopt;
    }
    normal += 'e';
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) normal += text[pos++];
    int exponent_digits = 0;
    while (pos < text.size() && is_digit(text[pos])) normal += text[pos++], ++exponent_digits;
    if (exponent_digits == 0 || pos != text.size()) return std::nullopt;
  }
  // A value too small for a double reads as zero or a subnormal; one too large is an error.
  char* end = nullptr;
  const double value = std::strtod(normal.c_str(), &end);
  if (end != normal.c_str() + normal.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

namespace {

// Opens an existing regular file for reading, as every reader of the program does; a missing or
// unreadable name, a directory, a FIFO, a device or a socket is an InputError (a missing file is
// never created). The open never blocks.
int open_input(const std::string& name) {
  if (name.empty()) throw InputError("velk: a data file name is blank");
  // Only an existing regular file is read: a missing input is reported, never created. The kind
  // is taken from the open descriptor, and the open does not wait, so that a FIFO can neither
  // block the run nor be swapped in between the check and the reads.
  const std::string opening = "velk: cannot open input file \"" + name + "\": ";
  const std::string path = resolved_file_name(name);
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw InputError(opening + "no such file");
    // A socket cannot be opened at all; name it rather than call it unreadable.
    struct stat status {};
    if (error == ENXIO && ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
      throw InputError(opening + kind_of(status.st_mode));
    }
    throw InputError(opening + "it cannot be read");
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    ::close(fd);
    throw InputError(opening + "it cannot be read");
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    throw InputError(opening + kind_of(status.st_mode));
  }
  // Reads of a regular file wait for the disk as usual.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// read() without the interruptions of a signal.
ssize_t read_some(int fd, char* into, std::size_t size) {
  ssize_t got = 0;
  do {
    got = ::read(fd, into, size);
  } while (got < 0 && errno == EINTR);
  return got;
}

}  // namespace

InputText read_input_text(std::string_view file_name) {
  InputText text;
  text.name = trimmed_file_name(file_name);
  int fd = -1;
  try {
    fd = open_input(text.name);
  } catch (const InputError& error) {
    text.open_failure = error.what();
    return text;
  }
  auto chunk = std::make_unique<char[]>(kBufferSize);
  std::size_t line_length = 0;  // of the last line read so far
  for (;;) {
    const ssize_t got = read_some(fd, chunk.get(), kBufferSize);
    if (got < 0) {
      text.read_failed = true;
      break;
    }
    if (got == 0) break;
    const std::string_view part(chunk.get(), static_cast<std::size_t>(got));
    text.bytes.append(part);
    const auto newline = part.find_last_of('\n');
    line_length =
        newline == std::string_view::npos ? line_length + part.size() : part.size() - newline - 1;
    // No reader goes past a line this long: what follows it could never be read.
    if (line_length > kMaxLineLength) break;
  }
  ::close(fd);
  return text;
}

FreeFormatReader::FreeFormatReader(std::string_view file_name)
    : name_(trimmed_file_name(file_name)) {
  fd_ = open_input(name_);
  buffer_ = std::make_unique<char[]>(kBufferSize);
  data_ = buffer_.get();
}

FreeFormatReader::FreeFormatReader(const InputText& text)
    : name_(trimmed_file_name(text.name)), text_(&text) {
  if (text.open_failure) throw InputError(*text.open_failure);
  data_ = text.bytes.data();
  end_ = text.bytes.size();
}

FreeFormatReader::~FreeFormatReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool FreeFormatReader::fill() {
  if (at_end_) return false;
  // A text in memory holds all there is from the start.
  const ssize_t got =
      text_ ? (text_->read_failed ? -1 : 0) : read_some(fd_, buffer_.get(), kBufferSize);
  if (got < 0) {
    throw InputError("velk: " + name_ + ", line " + std::to_string(line_number_ + 1) +
                     ": the file cannot be read");
  }
  begin_ = 0;
  end_ = static_cast<std::size_t>(got);
  at_end_ = got == 0;
  return !at_end_;
}

bool FreeFormatReader::next_line(std::string& line) {
  line.clear();
  bool any = false;  // a last line without a line end is still a line
  for (;;) {
    if (begin_ == end_ && !fill()) {
      if (!any) return false;
      break;
    }
    any = true;
    const char* const start = data_ + begin_;
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    const std::size_t taken = newline ? static_cast<std::size_t>(newline - start) : end_ - begin_;
    if (line.size() + taken > kMaxLineLength) {
      throw InputError("velk: " + name_ + ", line " + std::to_string(line_number_ + 1) +
                       ": the line is longer than " + std::to_string(kMaxLineLength) +
                       " characters");
    }
    line.append(start, taken);
    begin_ += taken;
    if (newline) {
      ++begin_;
      break;
    }
  }
  ++line_number_;
  return true;
}

void FreeFormatReader::fail(std::string_view what) const {
  throw InputError("velk: " + name_ + ", line " + std::to_string(line_number_ + 1) + ": expected " +
                   std::string(what) + ", found the end of the file");
}

void FreeFormatReader::bad_value(std::string_view what, std::string_view token) const {
  throw InputError("velk: " + name_ + ", line " + std::to_string(line_number_) + ": expected " +
                   std::string(what) + ", found " + quoted_token(token));
}

void FreeFormatReader::skip() {
  if (!try_skip()) fail("a line");
}

bool FreeFormatReader::try_skip() {
  std::string line;
  return next_line(line);
}

std::string FreeFormatReader::read_text(int width) {
  auto text = try_read_text(width);
  if (!text) fail("a line of text");
  return *text;
}

std::optional<std::string> FreeFormatReader::try_read_text(int width) {
  if (width < 0) throw std::invalid_argument("text read of negative width");
  auto line = try_read_line();
  if (line) line->resize(static_cast<std::size_t>(width), ' ');
  return line;
}

std::optional<std::string> FreeFormatReader::try_read_line() {
  std::string line;
  if (!next_line(line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void FreeFormatReader::read_items(std::span<Item> items) {
  const int count = static_cast<int>(items.size());
  auto describe = [&](int index) {
    const Item& item = items[static_cast<std::size_t>(index)];
    std::string what = item.integer ? "an integer" : "a real number";
    if (count > 1)
      what += " (item " + std::to_string(index + 1) + " of " + std::to_string(count) + ")";
    return what;
  };

  std::string line;
  if (!next_line(line)) {
    if (count == 0) fail("a line");
    fail(describe(0));
  }
  int index = 0;
  std::size_t pos = 0;
  bool after_value = false;  // a comma after a value separates; a comma after a comma is null
  while (index < count) {
    while (pos < line.size() && is_blank(line[pos])) ++pos;
    if (pos == line.size()) {
      if (!next_line(line)) fail(describe(index));
      pos = 0;
      continue;
    }
    const char c = line[pos];
    if (c == '/') return;
    if (c == ',') {
      ++pos;
      if (!after_value) ++index;  // null value: the item keeps what it held
      after_value = false;
      continue;
    }
    std::size_t end = pos;
    while (end < line.size() && !is_separator(line[end])) ++end;
    const std::string_view token(line.data() + pos, end - pos);
    Item& item = items[static_cast<std::size_t>(index)];
    if (item.integer) {
      const auto value = parse_integer(token);
      if (!value) bad_value(describe(index), token);
      *item.integer = *value;
    } else {
      const auto value = parse_real(token);
      if (!value) bad_value(describe(index), token);
      *item.real = *value;
    }
    ++index;
    pos = end;
    after_value = true;
  }
}

}  // namespace velk
