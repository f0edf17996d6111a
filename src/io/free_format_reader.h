// Reading the program's input files.
//
// A free-format read asks for a fixed list of integer and real items. It starts at the beginning
// of the next line and takes values separated by blanks, tabs, commas or line ends, continuing onto
// further lines while items remain; whatever stands on its last line after the last item is
// ignored, so input lines may carry trailing comments. A slash ends the read early and leaves the
// remaining items unchanged; so does a null value (two commas in a row) for its own item. Integers
// are written as integers (1.0 is not one). Reals may be written with or without a decimal point
// and with an E or D exponent or a signed exponent alone (1.0+5). Repeat counts such as
// 3*1.0, integers outside 32 bits and reals too large for a double (or written as NaN or Inf) are
// conversion errors; a real too small for a double reads as zero.
//
// A text read of width w reads one line and takes its first w characters, padding a shorter line
// with blanks. A skip consumes one line, whatever it holds.
//
// Carriage returns are blanks (and a text read drops the one ending its line), so files with
// Windows line ends read alike; a last line without a line end reads like any other. Every failure
// throws InputError naming the file, the line and what was expected.
//
// Only regular files are read. A FIFO, a device or a socket would block the run or feed it
// without end, so it is refused when it is opened, as a directory is; and a line longer than
// kMaxLineLength characters ends the read, so that a file without line ends cannot grow memory
// without bound.
//
// A reader also reads an InputText: a file's bytes read whole beforehand (read_input_text), or a
// text made in memory. Its reads, failures and messages are those of a reader of the file, in
// the same order: a file that could not be opened fails when the reader is made, and one whose
// read failed part way fails where a reader of the file would have met the failure. A caller that
// reads a file once this way can parse it several times without opening it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velk {

// The program's file names are 12 characters, blank padded; the file on disk has the name without
// the trailing blanks.
std::string trimmed_file_name(std::string_view name);

// The longest line an input may hold, its carriage return included (1 MiB); the program's own
// records are under a hundred characters.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

// The bytes of an input under the name its messages give.
struct InputText {
  std::string name;
  std::string bytes;
  // The InputError met opening the file, given again by every reader of this text.
  std::optional<std::string> open_failure;
  // The file could not be read beyond `bytes`.
  bool read_failed = false;
};

// Reads the file whole; never throws: a failure to open it or to read it is kept in the result.
// Reading stops once a line has grown beyond kMaxLineLength, where every reader stops.
InputText read_input_text(std::string_view file_name);

class FreeFormatReader {
 public:
  // Opens an existing regular file; a missing or unreadable name, a directory, a FIFO, a device
  // or a socket is an InputError (a missing file is never created). The open never blocks.
  explicit FreeFormatReader(std::string_view file_name);
  // Reads `text`, which must outlive the reader.
  explicit FreeFormatReader(const InputText& text);
  ~FreeFormatReader();

  FreeFormatReader(const FreeFormatReader&) = delete;
  FreeFormatReader& operator=(const FreeFormatReader&) = delete;

  // One free-format read of the given items, each an int32_t or a double.
  // A read without items consumes one line, as a skip does.
  template <class... Items>
  void read(Items&... items) {
    if constexpr (sizeof...(Items) == 0) {
      read_items({});
    } else {
      Item list[] = {make_item(items)...};
      read_items(list);
    }
  }

  void skip();
  // A skip that reports the end of the file instead of failing.
  bool try_skip();

  // Width 0 or more; a negative width is std::invalid_argument.
  std::string read_text(int width);
  // A text read that reports the end of the file instead of failing.
  std::optional<std::string> try_read_text(int width);
  // The next line as it stands, without its line end, or nothing at the end of the file.
  std::optional<std::string> try_read_line();

  const std::string& file_name() const { return name_; }
  // The number of the last line consumed (0 before the first read).
  int line_number() const { return line_number_; }

  struct Item {
    int32_t* integer = nullptr;
    double* real = nullptr;
  };
  void read_items(std::span<Item> items);

 private:
  static Item make_item(int32_t& value) { return Item{&value, nullptr}; }
  static Item make_item(double& value) { return Item{nullptr, &value}; }

  bool next_line(std::string& line);
  // Refills the buffer from the file; false at the end of the file.
  bool fill();
  // The end of the file met where `what` was expected on the next line.
  [[noreturn]] void fail(std::string_view what) const;
  // A value on the current line that is not `what`.
  [[noreturn]] void bad_value(std::string_view what, std::string_view token) const;

  std::string name_;
  int fd_ = -1;
  // Bytes read and not yet consumed: data_[begin_, end_). data_ is buffer_ for a file, the
  // text's bytes for an InputText.
  std::unique_ptr<char[]> buffer_;
  const char* data_ = nullptr;
  const InputText* text_ = nullptr;
  std::size_t begin_ = 0, end_ = 0;
  bool at_end_ = false;
  int line_number_ = 0;
};

// Conversions of one free-format value; they return nothing when the text is not such a value.
std::optional<int32_t> parse_integer(std::string_view text);
std::optional<double> parse_real(std::string_view text);

}  // namespace velk
