// Writing lines in the program's two output styles.
//
// Formatted lines come from an edit-descriptor list such as "(I5,I4,F13.5,'text',2X,E10.2)":
//   Iw, Iw.m  integer right-aligned in w columns, at least m digits (zero-filled);
//   Fw.d      fixed point with d decimals, a zero before the point when there is room; Fw.0
//             writes the point (2.);
//   Ew.d      0.ddddE+xx with d >= 1 digits, the E dropped when the exponent needs three digits
//             (0.123+100), the zero dropped when there is no room;
//   Ew.dEe    as Ew.d with exactly e exponent digits, always with the E;
//   Aw, A     text cut to its first w characters or right-aligned; A writes the whole text;
//   nX        n blanks; 'text' written as it stands; a count before a descriptor repeats it.
// A value too wide for its field fills the field with asterisks. Rounding is to nearest on the
// exact binary value, ties to even. A negative value keeps its minus sign when it rounds to zero,
// and so does negative zero (F13.5 of -0.0 is -0.00000). When values remain at the end of the
// list a new line starts and the list is used again; the write stops at the first value
// descriptor without a value, the texts before it still written. A malformed format,
// a value of the wrong kind for its descriptor, or values given to a format without value
// descriptors is a programming error (std::logic_error).
//
// Free-format lines (FreeLine) hold items laid out as: a 32-bit integer in 12 columns; a double in
// 24 columns, fixed with 15 significant digits in the first 19 columns and 5 blanks when its
// magnitude rounded to 15 digits lies in [0.1, 1e15), otherwise (zero included) in exponent form
// with one digit before the point, 15 after and a three-digit exponent (16 significant digits of
// the value itself, so 999999999999999.9 gives 9.999999999999999E+014); a text as it stands, one
// blank before it when it begins a line. A line holds at most 80 characters: an item that does not
// fit starts a new line.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velk {

std::string format_integer(int64_t value, int width, int min_digits = 1);
std::string format_fixed(double value, int width, int decimals);
// exponent_digits 0 means the Ew.d form.
std::string format_exponent(double value, int width, int digits, int exponent_digits = 0);
std::string format_text(std::string_view text, int width);

using FormatValue = std::variant<int64_t, double, std::string>;

// The lines that one formatted write produces, without line ends.
std::vector<std::string> format_lines(std::string_view format, std::span<const FormatValue> values);
// One formatted write expected to fill exactly one line.
std::string format_line(std::string_view format, std::initializer_list<FormatValue> values);

std::string free_format_real(double value);

// The shortest decimal that reads back as the same double (the CSV columns, the files written for
// the program's readers).
std::string shortest_decimal(double value);

class FreeLine {
 public:
  FreeLine& operator<<(int32_t value);
  FreeLine& operator<<(double value);
  FreeLine& operator<<(std::string_view text);
  FreeLine& operator<<(const char* text) { return *this << std::string_view(text); }
  FreeLine& operator<<(const std::string& text) { return *this << std::string_view(text); }
  // A single character is a one-character text, not the number of its code.
  FreeLine& operator<<(char c) { return *this << std::string_view(&c, 1); }

  // The finished lines; a write without items gives one line holding a blank.
  std::vector<std::string> lines() const;
  std::string text() const;  // the lines joined by line ends, without a final one

 private:
  void append(const std::string& field, bool is_text);
  std::vector<std::string> lines_;
};

// One value in a printf format ("%g", "%.4g"), for the figures that warnings and messages quote.
std::string printed(const char* format, double value);

}  // namespace velk
